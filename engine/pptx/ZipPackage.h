#pragma once

#include "engine/ByteSink.h"
#include "engine/CallbackErrors.h"
#include "engine/Picture.h"

#include <functional>
#include <memory>
#include <string>

struct zip;
struct zip_source;

namespace kestrane::presentation {

class PictureStream;
class ZipDeflater;

// A zip archive written through a ByteSink with libzip, in the order the entries were added.
// Nothing is held in memory beyond one entry at a time: text entries are rendered when libzip
// reaches them, pictures are read from their files as they are copied, a few megabytes ahead on a
// thread of their own. Every entry gets the same fixed timestamp, so the same entries give the same
// bytes. Zip64 records appear only where sizes, offsets or the number of entries need them. Failures
// inside libzip's callbacks are kept and rethrown once libzip has returned.
class ZipPackage
{
public:
    explicit ZipPackage(ByteSink& sink);
    ~ZipPackage();
    ZipPackage(const ZipPackage&) = delete;
    ZipPackage& operator=(const ZipPackage&) = delete;

    // A text entry, deflated; `render` runs while the archive is written.
    void addText(const std::string& name, std::function<std::string()> render);
    // A picture, stored as it is (it is compressed already); read while the archive is written.
    void addPicture(const std::string& name, const Picture& picture);
    // Writes the archive; throws the first kestrane::Error met on the way.
    void close();

private:
    void add(const std::string& name, zip_source* source, int method);
    [[noreturn]] void fail(const std::string& what);

    class SinkSource;
    CallbackErrors m_errors;
    std::unique_ptr<SinkSource> m_output;
    std::unique_ptr<ZipDeflater> m_deflater;
    std::unique_ptr<PictureStream> m_stream;
    struct zip* m_archive = nullptr;
};

} // namespace kestrane::presentation
