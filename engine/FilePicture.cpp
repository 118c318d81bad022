#include "engine/FilePicture.h"

#include "base/Error.h"
#include "engine/ImageHeader.h"
#include "engine/PptForm.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrane::presentation {

namespace {

std::string baseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool sameVersion(const struct stat& a, const struct stat& b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

class FilePicture : public Picture
{
public:
    FilePicture(std::string path, int fd, const struct stat& status)
        : m_path(std::move(path)), m_name(baseName(m_path)), m_fd(fd), m_status(status)
    {
    }
    ~FilePicture() override { ::close(m_fd); }

    void setFormat(PictureFormat format) { m_format = format; }
    void setOrientation(Orientation orientation) { m_orientation = orientation; }

    const std::string& name() const override { return m_name; }
    PictureFormat format() const override { return m_format; }
    Orientation orientation() const override { return m_orientation; }
    std::uint64_t size() const override { return std::uint64_t(m_status.st_size); }

    void read(std::uint64_t offset, void* buffer, std::size_t length) const override
    {
        checkUnchanged();
        if (readAt(offset, static_cast<unsigned char*>(buffer), length) != length)
            throw Error(ErrorCode::PictureChanged, m_path);
    }

    // Reads what is there, fewer bytes only at the end of the file.
    std::size_t readAt(std::uint64_t offset, unsigned char* buffer, std::size_t length) const
    {
        std::size_t done = 0;
        while (done < length) {
            const ssize_t got = ::pread(m_fd, buffer + done, length - done, off_t(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw Error(ErrorCode::PictureUnreadable, m_path, errno);
            if (got == 0)
                break;
            done += std::size_t(got);
        }
        return done;
    }

private:
    // The descriptor follows the file's inode, so a rewrite in place would reach the saved
    // presentation; a changed size or modification time betrays it.
    void checkUnchanged() const
    {
        struct stat now;
        if (::fstat(m_fd, &now) != 0)
            throw Error(ErrorCode::PictureUnreadable, m_path, errno);
        if (!sameVersion(now, m_status))
            throw Error(ErrorCode::PictureChanged, m_path);
    }

    std::string m_path;
    std::string m_name;
    int m_fd;
    struct stat m_status;
    PictureFormat m_format = PictureFormat::Jpeg;
    Orientation m_orientation = Orientation::TopLeft;
};

// Opens without blocking and without side effects on anything but a regular file: the type is
// checked before the open (a device is never opened) and again on the descriptor (the path may
// have been swapped in between).
int openRegularFile(const std::string& path, struct stat& status)
{
    if (::stat(path.c_str(), &status) != 0)
        throw Error(ErrorCode::PictureUnreadable, path, errno);
    if (!S_ISREG(status.st_mode))
        throw Error(ErrorCode::PictureNotRegularFile, path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw Error(ErrorCode::PictureUnreadable, path, errno);
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        throw Error(ErrorCode::PictureUnreadable, path, error);
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(fd);
        throw Error(ErrorCode::PictureNotRegularFile, path);
    }
    return fd;
}

PictureFormat formatOf(ImageKind kind, const std::string& path)
{
    switch (kind) {
    case ImageKind::Jpeg:
        return PictureFormat::Jpeg;
    case ImageKind::CmykJpeg:
        return PictureFormat::CmykJpeg;
    case ImageKind::Png:
        return PictureFormat::Png;
    case ImageKind::Gif:
        return PictureFormat::Gif;
    case ImageKind::Bmp:
        return PictureFormat::Bmp;
    case ImageKind::Tiff:
        return PictureFormat::Tiff;
    case ImageKind::Empty:
        throw Error(ErrorCode::PictureEmpty, path);
    case ImageKind::NotAnImage:
        throw Error(ErrorCode::PictureFormatUnknown, path);
    case ImageKind::Damaged:
        break;
    }
    throw Error(ErrorCode::PictureCorrupt, path);
}

} // namespace

std::shared_ptr<const Picture> openPictureFile(const std::string& path)
{
    struct stat status;
    const int fd = openRegularFile(path, status);
    auto picture = std::make_shared<FilePicture>(path, fd, status);
    const ReadAt read = [&picture](std::uint64_t offset, unsigned char* buffer, std::size_t length) {
        return picture->readAt(offset, buffer, length);
    };
    const ProbedImage probed = probeImage(read, picture->size());
    picture->setFormat(formatOf(probed.kind, path));
    picture->setOrientation(probed.orientation);
    // Made now, while the file is known to be as it was checked: what a .ppt stores of it is fixed
    // from here on, and a GIF that cannot be decoded is refused before anything is saved.
    picture->setPptForm(pptFormOf(*picture, path));
    return picture;
}

} // namespace kestrane::presentation
