#include "conversion/SlideBuilder.h"

#include "platform/ObjectFactory.h"

namespace kestrane {

std::string imagePath(const std::string& imagedir, std::uint64_t n)
{
    return imagedir + "/image" + std::to_string(n) + ".jpg";
}

void AddImages(ObjectFactory& objects, automation::Presentation& pres, const std::string& imagedir,
               const FieldReader& fields, const BuildProgress& progress)
{
    const std::unique_ptr<FileSystemObject> fileSystem = objects.CreateFileSystemObject();
    for (std::uint64_t n = 1;; ++n) {
        // The file found may differ from the name asked for in letter case; it is the one inserted.
        const std::optional<std::string> found = fileSystem->FileExists(imagePath(imagedir, n));
        if (!found)
            break;
        const std::shared_ptr<automation::Slide> slide =
            pres.Slides().Add(static_cast<int>(n), automation::ppLayoutBlank);
        const std::string left = fields(PlacementField::Left);
        const std::string top = fields(PlacementField::Top);
        const std::string width = fields(PlacementField::Width);
        const std::string height = fields(PlacementField::Height);
        slide->Shapes().AddPicture(*found, automation::msoFalse, automation::msoTrue, left, top, width,
                                   height);
        progress(n);
    }
}

} // namespace kestrane
