#include "engine/GifToPng.h"

#include "base/Error.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <exception>
#include <gif_lib.h>
#include <png.h>
#include <unistd.h>
#include <vector>

namespace kestrane::presentation {

namespace {

// An unnamed file that is gone once closed.
class TemporaryFile
{
public:
    explicit TemporaryFile(const std::string& path) : m_file(std::tmpfile())
    {
        if (m_file == nullptr)
            throw Error(ErrorCode::PictureUnreadable, path + ": no temporary file for the PNG copy", errno);
    }
    ~TemporaryFile() { std::fclose(m_file); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    FILE* get() const { return m_file; }

private:
    FILE* m_file;
};

// The PNG copy, read from its temporary file like a picture file.
class ConvertedPicture : public Picture
{
public:
    ConvertedPicture(std::unique_ptr<TemporaryFile> file, std::uint64_t size, std::string name,
                     std::string path)
        : m_file(std::move(file)), m_size(size), m_name(std::move(name)), m_path(std::move(path))
    {
    }

    const std::string& name() const override { return m_name; }
    PictureFormat format() const override { return PictureFormat::Png; }
    std::uint64_t size() const override { return m_size; }
    void read(std::uint64_t offset, void* buffer, std::size_t length) const override
    {
        auto* bytes = static_cast<unsigned char*>(buffer);
        for (std::size_t done = 0; done < length;) {
            const ssize_t got =
                ::pread(fileno(m_file->get()), bytes + done, length - done, off_t(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                throw Error(ErrorCode::PictureUnreadable, m_path + ": its PNG copy", got < 0 ? errno : 0);
            done += std::size_t(got);
        }
    }

private:
    std::unique_ptr<TemporaryFile> m_file;
    std::uint64_t m_size;
    std::string m_name;
    std::string m_path;
};

// giflib reads through this; what the picture throws is kept and rethrown once giflib has given up.
struct GifInput
{
    const Picture& picture;
    std::uint64_t offset = 0;
    std::exception_ptr error;
};

int readGif(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* input = static_cast<GifInput*>(gif->UserData);
    const auto count =
        std::size_t(std::min<std::uint64_t>(input->picture.size() - input->offset, std::uint64_t(length)));
    try {
        input->picture.read(input->offset, buffer, count);
    } catch (...) {
        input->error = std::current_exception();
        return 0;
    }
    input->offset += count;
    return int(count);
}

struct GifCloser
{
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

struct PngWriter
{
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

void silentError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void noWarning(png_structp, png_const_charp)
{
}

// libpng reports errors by a long jump back into the function that set it, so each step below
// sets its own and holds nothing that needs destroying.
bool writeHeader(png_structp png, png_infop info, FILE* out, png_uint_32 width, png_uint_32 height,
                 const png_color* palette, int colours, const png_byte* alpha, int alphas)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, out);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, colours);
    if (alphas > 0)
        png_set_tRNS(png, info, alpha, alphas, nullptr);
    png_write_info(png, info);
    return true;
}

bool writeRow(png_structp png, const png_byte* row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_write_row(png, row);
    return true;
}

bool writeEnd(png_structp png, png_infop info)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_write_end(png, info);
    return true;
}

class Conversion
{
public:
    Conversion(const Picture& gif, const std::string& path) : m_input{gif, 0, nullptr}, m_path(path) {}

    std::unique_ptr<Picture> run()
    {
        int error = 0;
        m_gif.reset(DGifOpen(&m_input, readGif, &error));
        if (!m_gif)
            damaged();
        const int transparent = skipToFirstImage();
        const GifImageDesc& image = m_gif->Image;
        const ColorMapObject* map = image.ColorMap ? image.ColorMap : m_gif->SColorMap;
        if (map == nullptr || image.Width <= 0 || image.Height <= 0)
            damaged();
        m_colours = map->ColorCount;
        m_row.resize(std::size_t(image.Width));

        std::vector<png_color> palette(std::size_t(map->ColorCount));
        for (int i = 0; i < map->ColorCount; ++i)
            palette[std::size_t(i)] = {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue};
        // Only the colours up to the transparent one need an alpha; every other is opaque.
        std::vector<png_byte> alpha;
        if (transparent >= 0 && transparent < map->ColorCount) {
            alpha.assign(std::size_t(transparent + 1), 255);
            alpha.back() = 0;
        }

        auto out = std::make_unique<TemporaryFile>(m_path);
        PngWriter writer;
        writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, silentError, noWarning);
        if (writer.png == nullptr || (writer.info = png_create_info_struct(writer.png)) == nullptr)
            throw std::bad_alloc();
        if (!writeHeader(writer.png, writer.info, out->get(), png_uint_32(image.Width),
                         png_uint_32(image.Height), palette.data(), map->ColorCount, alpha.data(),
                         int(alpha.size())))
            tempFileFailed();
        if (image.Interlace)
            writeInterlaced(writer.png);
        else
            writeInOrder(writer.png);
        if (!writeEnd(writer.png, writer.info) || std::fflush(out->get()) != 0)
            tempFileFailed();
        const off_t size = ftello(out->get());
        if (size <= 0)
            tempFileFailed();
        return std::make_unique<ConvertedPicture>(std::move(out), std::uint64_t(size), m_input.picture.name(),
                                                  m_path);
    }

private:
    [[noreturn]] void damaged()
    {
        if (m_input.error)
            std::rethrow_exception(m_input.error);
        throw Error(ErrorCode::PictureCorrupt, m_path);
    }

    [[noreturn]] void tempFileFailed()
    {
        throw Error(ErrorCode::PictureUnreadable, m_path + ": its PNG copy could not be written", errno);
    }

    // Returns the transparent colour of the graphic control block before the first image, if any.
    int skipToFirstImage()
    {
        int transparent = NO_TRANSPARENT_COLOR;
        for (;;) {
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(m_gif.get(), &type) == GIF_ERROR)
                damaged();
            if (type == IMAGE_DESC_RECORD_TYPE)
                break;
            if (type != EXTENSION_RECORD_TYPE)
                damaged();
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(m_gif.get(), &code, &block) == GIF_ERROR)
                damaged();
            GraphicsControlBlock control;
            if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr &&
                DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent = control.TransparentColor;
            while (block != nullptr) {
                if (DGifGetExtensionNext(m_gif.get(), &block) == GIF_ERROR)
                    damaged();
            }
        }
        if (DGifGetImageDesc(m_gif.get()) == GIF_ERROR)
            damaged();
        return transparent;
    }

    // The next row of the image as the GIF stores it; a colour outside the palette is damage.
    void decodeRow()
    {
        if (DGifGetLine(m_gif.get(), m_row.data(), int(m_row.size())) == GIF_ERROR)
            damaged();
        if (std::any_of(m_row.begin(), m_row.end(), [this](GifPixelType p) { return p >= m_colours; }))
            damaged();
    }

    void writeInOrder(png_structp png)
    {
        for (int y = 0; y < m_gif->Image.Height; ++y) {
            decodeRow();
            if (!writeRow(png, m_row.data()))
                tempFileFailed();
        }
    }

    // An interlaced GIF stores every eighth row from row 0, then from row 4, every fourth from row 2
    // and every second from row 1; the rows wait in a temporary file until all are there.
    void writeInterlaced(png_structp png)
    {
        const TemporaryFile rows(m_path);
        const int height = m_gif->Image.Height;
        const auto width = m_row.size();
        constexpr int first[] = {0, 4, 2, 1};
        constexpr int step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = first[pass]; y < height; y += step[pass]) {
                decodeRow();
                if (fseeko(rows.get(), off_t(y) * off_t(width), SEEK_SET) != 0 ||
                    std::fwrite(m_row.data(), 1, width, rows.get()) != width)
                    tempFileFailed();
            }
        }
        if (fseeko(rows.get(), 0, SEEK_SET) != 0)
            tempFileFailed();
        for (int y = 0; y < height; ++y) {
            if (std::fread(m_row.data(), 1, width, rows.get()) != width || !writeRow(png, m_row.data()))
                tempFileFailed();
        }
    }

    GifInput m_input;
    const std::string& m_path;
    std::unique_ptr<GifFileType, GifCloser> m_gif;
    int m_colours = 0;
    std::vector<GifPixelType> m_row;
};

} // namespace

std::unique_ptr<Picture> convertGifToPng(const Picture& gif, const std::string& path)
{
    return Conversion(gif, path).run();
}

} // namespace kestrane::presentation
