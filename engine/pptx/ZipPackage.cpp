#include "engine/pptx/ZipPackage.h"

#include "base/Error.h"
#include "engine/Pipeline.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>
#include <zip.h>
#include <zlib.h>

namespace kestrane::presentation {

// Deflates the package's text parts with one compression state. libzip would set up a new one
// for every entry, and its fresh tables cost more than compressing the small parts themselves.
class ZipDeflater
{
public:
    ZipDeflater()
    {
        // Raw deflate data, as zip entries hold it.
        if (deflateInit2(&m_stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK)
            throw Error(ErrorCode::SaveFailed, "cannot start compressing");
    }
    ~ZipDeflater() { deflateEnd(&m_stream); }
    ZipDeflater(const ZipDeflater&) = delete;
    ZipDeflater& operator=(const ZipDeflater&) = delete;

    std::string deflate(const std::string& text)
    {
        std::string out(deflateBound(&m_stream, uLong(text.size())), '\0');
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        m_stream.avail_in = uInt(text.size());
        m_stream.next_out = reinterpret_cast<Bytef*>(out.data());
        m_stream.avail_out = uInt(out.size());
        const int result = ::deflate(&m_stream, Z_FINISH);
        const uLong produced = m_stream.total_out;
        deflateReset(&m_stream);
        if (result != Z_STREAM_END)
            throw Error(ErrorCode::SaveFailed, "cannot compress a part");
        out.resize(produced);
        return out;
    }

private:
    z_stream m_stream{};
};

namespace {

// A fixed local time (2000-01-01 00:00): libzip stores local DOS time, so building it from local
// fields gives the same stored bytes in every time zone.
time_t fixedTimestamp()
{
    std::tm fields{};
    fields.tm_year = 100;
    fields.tm_mday = 1;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

// Runs a callback body; on an exception keeps it, tells libzip, and returns -1.
template <typename Body>
zip_int64_t guarded(CallbackErrors& errors, zip_error_t& error, int code, Body body)
{
    return errors.run(body, [&] {
        zip_error_set(&error, code, 0);
        return zip_int64_t(-1);
    });
}

zip_int64_t unsupported(zip_error_t& error)
{
    zip_error_set(&error, ZIP_ER_OPNOTSUPP, 0);
    return -1;
}

// Common part of the read-only sources libzip pulls entry data from.
class EntrySource
{
public:
    explicit EntrySource(CallbackErrors& errors) : m_errors(errors) { zip_error_init(&m_error); }
    virtual ~EntrySource() { zip_error_fini(&m_error); }
    EntrySource(const EntrySource&) = delete;
    EntrySource& operator=(const EntrySource&) = delete;

    static zip_int64_t callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        auto* self = static_cast<EntrySource*>(state);
        switch (command) {
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_READABLE;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&self->m_error, data, length);
        case ZIP_SOURCE_FREE:
            delete self;
            return 0;
        case ZIP_SOURCE_OPEN:
            self->m_offset = 0;
            return guarded(self->m_errors, self->m_error, ZIP_ER_OPEN, [&] { return self->open(); });
        case ZIP_SOURCE_READ:
            return guarded(self->m_errors, self->m_error, ZIP_ER_READ, [&] {
                const std::uint64_t left = self->size() - self->m_offset;
                const std::size_t count = std::size_t(length < left ? length : left);
                self->read(self->m_offset, data, count);
                self->m_offset += count;
                return zip_int64_t(count);
            });
        case ZIP_SOURCE_CLOSE:
            self->close();
            return 0;
        case ZIP_SOURCE_STAT:
            return guarded(self->m_errors, self->m_error, ZIP_ER_READ, [&] {
                auto* stat = static_cast<zip_stat_t*>(data);
                zip_stat_init(stat);
                self->describe(*stat);
                return zip_int64_t(sizeof(zip_stat_t));
            });
        default:
            return unsupported(self->m_error);
        }
    }

protected:
    virtual zip_int64_t open() = 0;
    virtual void close() = 0;
    // The number of bytes read() hands out.
    virtual std::uint64_t size() = 0;
    virtual void describe(zip_stat_t& stat) = 0;
    virtual void read(std::uint64_t offset, void* data, std::size_t length) = 0;

private:
    CallbackErrors& m_errors;
    zip_error_t m_error;
    std::uint64_t m_offset = 0;
};

// Renders its text when libzip first asks for it and hands libzip the deflated bytes with their
// CRC, so libzip copies them as they are. Drops them once copied, so one part at a time is held.
class TextSource : public EntrySource
{
public:
    TextSource(CallbackErrors& errors, ZipDeflater& deflater, std::function<std::string()> render)
        : EntrySource(errors), m_deflater(deflater), m_render(std::move(render))
    {
    }

protected:
    zip_int64_t open() override
    {
        render();
        return 0;
    }
    void close() override { std::string().swap(m_deflated); }
    std::uint64_t size() override
    {
        render();
        return m_deflated.size();
    }
    void describe(zip_stat_t& stat) override
    {
        render();
        stat.size = m_textSize;
        stat.comp_size = m_deflated.size();
        stat.comp_method = ZIP_CM_DEFLATE;
        stat.crc = m_crc;
        stat.valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC;
    }
    void read(std::uint64_t offset, void* data, std::size_t length) override
    {
        m_deflated.copy(static_cast<char*>(data), length, std::size_t(offset));
    }

private:
    void render()
    {
        if (m_rendered)
            return;
        const std::string text = m_render();
        m_textSize = text.size();
        m_crc = std::uint32_t(crc32_z(0, reinterpret_cast<const Bytef*>(text.data()), text.size()));
        m_deflated = m_deflater.deflate(text);
        m_rendered = true;
    }

    ZipDeflater& m_deflater;
    std::function<std::string()> m_render;
    std::string m_deflated;
    std::uint64_t m_textSize = 0;
    std::uint32_t m_crc = 0;
    bool m_rendered = false;
};

// libzip pulls entry data 8 KiB at a time; the picture comes a megabyte at a time from the
// stream, which keeps the system calls (and the picture's change checks) few and off this thread.
class PictureSource : public EntrySource
{
public:
    PictureSource(CallbackErrors& errors, const Picture& picture, PictureStream& stream)
        : EntrySource(errors), m_size(picture.size()), m_stream(stream), m_number(stream.add(picture))
    {
    }

protected:
    zip_int64_t open() override
    {
        m_chunk = {};
        return 0;
    }
    void close() override { m_chunk = {}; }
    std::uint64_t size() override { return m_size; }
    void describe(zip_stat_t& stat) override
    {
        stat.size = m_size;
        stat.valid = ZIP_STAT_SIZE;
    }
    void read(std::uint64_t offset, void* data, std::size_t length) override
    {
        auto* out = static_cast<unsigned char*>(data);
        while (length > 0) {
            if (offset < m_chunkStart || offset >= m_chunkStart + m_chunk.length) {
                m_chunk = m_stream.chunk(m_number, offset);
                m_chunkStart = offset;
            }
            const std::size_t from = std::size_t(offset - m_chunkStart);
            const std::size_t n = std::min(length, m_chunk.length - from);
            std::memcpy(out, m_chunk.bytes + from, n);
            out += n;
            offset += n;
            length -= n;
        }
    }

private:
    std::uint64_t m_size;
    PictureStream& m_stream;
    std::size_t m_number;
    PictureStream::Chunk m_chunk{};
    std::uint64_t m_chunkStart = 0;
};

} // namespace

// The archive itself as libzip sees it: a new, empty file whose writes go to the sink. Committing
// and rolling back are the sink owner's business (the atomic save).
class ZipPackage::SinkSource
{
public:
    SinkSource(ByteSink& sink, CallbackErrors& errors) : m_sink(sink), m_errors(errors)
    {
        zip_error_init(&m_error);
    }
    ~SinkSource() { zip_error_fini(&m_error); }
    SinkSource(const SinkSource&) = delete;
    SinkSource& operator=(const SinkSource&) = delete;

    static zip_int64_t callback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
    {
        auto* self = static_cast<SinkSource*>(state);
        switch (command) {
        case ZIP_SOURCE_SUPPORTS:
            return ZIP_SOURCE_SUPPORTS_WRITABLE;
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&self->m_error, data, length);
        case ZIP_SOURCE_STAT:
            // No archive exists yet: libzip starts a new one (it looks for a read error with ENOENT).
            zip_error_set(&self->m_error, ZIP_ER_READ, ENOENT);
            return -1;
        case ZIP_SOURCE_BEGIN_WRITE:
            self->m_start = self->m_sink.position();
            self->m_end = 0;
            return 0;
        case ZIP_SOURCE_WRITE:
            return guarded(self->m_errors, self->m_error, ZIP_ER_WRITE, [&] {
                self->m_sink.write(data, std::size_t(length));
                self->noteEnd();
                return zip_int64_t(length);
            });
        case ZIP_SOURCE_SEEK_WRITE:
            return guarded(self->m_errors, self->m_error, ZIP_ER_SEEK,
                           [&] { return self->seek(data, length); });
        case ZIP_SOURCE_TELL_WRITE:
            return zip_int64_t(self->m_sink.position() - self->m_start);
        case ZIP_SOURCE_COMMIT_WRITE:
        case ZIP_SOURCE_ROLLBACK_WRITE:
        case ZIP_SOURCE_REMOVE:
        case ZIP_SOURCE_FREE:
            return 0;
        default:
            return unsupported(self->m_error);
        }
    }

private:
    void noteEnd()
    {
        const std::uint64_t here = m_sink.position() - m_start;
        if (here > m_end)
            m_end = here;
    }

    zip_int64_t seek(void* data, zip_uint64_t length)
    {
        auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &m_error);
        if (args == nullptr)
            return -1;
        const std::int64_t base = args->whence == SEEK_SET   ? 0
                                  : args->whence == SEEK_CUR ? std::int64_t(m_sink.position() - m_start)
                                                             : std::int64_t(m_end);
        const std::int64_t target = base + args->offset;
        if (target < 0) {
            zip_error_set(&m_error, ZIP_ER_INVAL, 0);
            return -1;
        }
        m_sink.seek(m_start + std::uint64_t(target));
        return 0;
    }

    ByteSink& m_sink;
    CallbackErrors& m_errors;
    zip_error_t m_error;
    std::uint64_t m_start = 0;
    std::uint64_t m_end = 0;
};

ZipPackage::ZipPackage(ByteSink& sink)
    : m_output(std::make_unique<SinkSource>(sink, m_errors)), m_deflater(std::make_unique<ZipDeflater>()),
      m_stream(std::make_unique<PictureStream>())
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_function_create(&SinkSource::callback, m_output.get(), &error);
    if (source != nullptr) {
        m_archive = zip_open_from_source(source, ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (m_archive == nullptr)
            zip_source_free(source);
    }
    const std::string message = zip_error_strerror(&error);
    zip_error_fini(&error);
    if (m_archive == nullptr)
        throw Error(ErrorCode::SaveFailed, "cannot start the zip archive: " + message);
}

ZipPackage::~ZipPackage()
{
    if (m_archive != nullptr)
        zip_discard(m_archive);
}

void ZipPackage::addText(const std::string& name, std::function<std::string()> render)
{
    auto* state = new TextSource(m_errors, *m_deflater, std::move(render));
    zip_source_t* source = zip_source_function(m_archive, &EntrySource::callback, state);
    if (source == nullptr) {
        delete state;
        fail(name);
    }
    add(name, source, ZIP_CM_DEFLATE);
}

void ZipPackage::addPicture(const std::string& name, const Picture& picture)
{
    auto* state = new PictureSource(m_errors, picture, *m_stream);
    zip_source_t* source = zip_source_function(m_archive, &EntrySource::callback, state);
    if (source == nullptr) {
        delete state;
        fail(name);
    }
    add(name, source, ZIP_CM_STORE);
}

void ZipPackage::add(const std::string& name, zip_source_t* source, int method)
{
    static const time_t timestamp = fixedTimestamp();
    const zip_int64_t index = zip_file_add(m_archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(source);
        fail(name);
    }
    const auto entry = zip_uint64_t(index);
    // Marked as made on MS-DOS with no attributes, as office suites write their packages: a
    // document carries no file modes of its own (libzip's default is Unix mode 0666, which unzip
    // would restore as world-writable files), so unzip gives the user's usual ones.
    if (zip_set_file_compression(m_archive, entry, method, 0) != 0 ||
        zip_file_set_mtime(m_archive, entry, timestamp, 0) != 0 ||
        zip_file_set_external_attributes(m_archive, entry, 0, ZIP_OPSYS_DOS, 0) != 0)
        fail(name);
}

void ZipPackage::close()
{
    if (zip_close(m_archive) == 0) {
        m_archive = nullptr;
        return;
    }
    fail("writing the archive");
}

void ZipPackage::fail(const std::string& what)
{
    const std::string message = zip_strerror(m_archive);
    zip_discard(m_archive);
    m_archive = nullptr;
    m_errors.rethrowIfFailed();
    throw Error(ErrorCode::SaveFailed, what + ": " + message);
}

} // namespace kestrane::presentation
