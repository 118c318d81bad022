#include "engine/pptx/PptxParts.h"

#include "engine/Format.h"
#include "engine/pptx/PptxUnits.h"
#include "engine/pptx/XmlText.h"

#include <cstdio>
#include <map>

namespace kestrane::presentation::pptx {

namespace {

constexpr const char* declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr const char* pmlNamespaces =
    " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\""
    " xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";
constexpr const char* relationshipType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr const char* pmlType = "application/vnd.openxmlformats-officedocument.presentationml.";

// The group every shape tree starts with.
constexpr const char* rootGroup =
    "<p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr>"
    "<p:grpSpPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/>"
    "<a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"0\" cy=\"0\"/></a:xfrm></p:grpSpPr>";

// A UTC time as W3CDTF to the second: 2026-12-07T19:50:26Z.
std::string w3cdtf(std::chrono::sys_seconds time)
{
    const auto day = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss clock(time - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    return text;
}

class Relationships
{
public:
    Relationships() : m_xml(declaration)
    {
        m_xml += "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    }
    void add(const std::string& id, const std::string& type, const std::string& target)
    {
        m_xml += "<Relationship Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + target + "\"/>";
    }
    std::string finish() { return m_xml + "</Relationships>"; }

private:
    std::string m_xml;
};

std::string rId(std::size_t number)
{
    return "rId" + std::to_string(number);
}

// DrawingML angles are in 60000ths of a degree; the mirrors apply within the frame, before the turn.
std::string turnAttributes(const UprightTurn& turn)
{
    std::string attributes;
    if (turn.degrees != 0)
        attributes += " rot=\"" + std::to_string(turn.degrees * 60000) + "\"";
    if (turn.flipH)
        attributes += " flipH=\"1\"";
    if (turn.flipV)
        attributes += " flipV=\"1\"";
    return attributes;
}

std::string override(const std::string& part, const std::string& type)
{
    return "<Override PartName=\"" + part + "\" ContentType=\"" + type + "\"/>";
}

std::string colour(const char* name, const char* rgb)
{
    return std::string("<a:") + name + "><a:srgbClr val=\"" + rgb + "\"/></a:" + name + ">";
}

std::string threeTimes(const std::string& entry)
{
    return entry + entry + entry;
}

// Each picture is stored as it is, under the extension and content type of its own format.
struct MediaType
{
    const char* extension;
    const char* contentType;
};

MediaType mediaType(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Png:
        return {"png", "image/png"};
    case PictureFormat::Gif:
        return {"gif", "image/gif"};
    case PictureFormat::Bmp:
        return {"bmp", "image/bmp"};
    case PictureFormat::Tiff:
        return {"tiff", "image/tiff"};
    case PictureFormat::Jpeg:
    case PictureFormat::CmykJpeg:
        break;
    }
    return {"jpeg", "image/jpeg"};
}

// The text defaults PowerPoint writes for a blank deck: 18 pt in the theme's body fonts and text
// colour, each of the nine outline levels indented half an inch further than the one before.
std::string defaultTextStyle()
{
    std::string xml = "<p:defaultTextStyle><a:defPPr><a:defRPr lang=\"en-US\"/></a:defPPr>";
    for (int level = 1; level <= 9; ++level) {
        const std::string element = "a:lvl" + std::to_string(level) + "pPr";
        xml +=
            "<" + element + " marL=\"" + std::to_string(457200 * (level - 1)) +
            "\" algn=\"l\" defTabSz=\"914400\" rtl=\"0\" eaLnBrk=\"1\" latinLnBrk=\"0\" hangingPunct=\"1\">"
            "<a:defRPr sz=\"1800\" kern=\"1200\"><a:solidFill><a:schemeClr val=\"tx1\"/></a:solidFill>"
            "<a:latin typeface=\"+mn-lt\"/><a:ea typeface=\"+mn-ea\"/><a:cs "
            "typeface=\"+mn-cs\"/></a:defRPr></" +
            element + ">";
    }
    return xml + "</p:defaultTextStyle>";
}

} // namespace

std::string mediaFileName(std::size_t entry, PictureFormat format)
{
    return "image" + std::to_string(entry + 1) + "." + mediaType(format).extension;
}

std::string contentTypes(const Deck& deck)
{
    std::string xml = declaration;
    xml += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
           "<Default Extension=\"rels\" "
           "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
           "<Default Extension=\"xml\" ContentType=\"application/xml\"/>";
    // One default per picture extension in use, in a fixed order.
    std::map<std::string, const char*> media;
    for (const SlideContent& slide : deck.slides) {
        for (const PlacedPicture& placed : slide.pictures) {
            const MediaType type = mediaType(placed.picture->format());
            media.emplace(type.extension, type.contentType);
        }
    }
    for (const auto& [extension, contentType] : media)
        xml += "<Default Extension=\"" + extension + "\" ContentType=\"" + contentType + "\"/>";
    const std::size_t slideCount = deck.slides.size();
    const std::string pml = pmlType;
    xml += override("/ppt/presentation.xml", pml + "presentation.main+xml");
    xml += override("/ppt/slideMasters/slideMaster1.xml", pml + "slideMaster+xml");
    xml += override("/ppt/slideLayouts/slideLayout1.xml", pml + "slideLayout+xml");
    for (std::size_t i = 1; i <= slideCount; ++i)
        xml += override("/ppt/slides/slide" + std::to_string(i) + ".xml", pml + "slide+xml");
    xml += override("/ppt/theme/theme1.xml", "application/vnd.openxmlformats-officedocument.theme+xml");
    xml += override("/ppt/presProps.xml", pml + "presProps+xml");
    xml += override("/ppt/viewProps.xml", pml + "viewProps+xml");
    xml += override("/ppt/tableStyles.xml", pml + "tableStyles+xml");
    xml += override("/docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml");
    xml += override("/docProps/app.xml",
                    "application/vnd.openxmlformats-officedocument.extended-properties+xml");
    return xml + "</Types>";
}

std::string packageRelationships()
{
    Relationships rels;
    const std::string type = relationshipType;
    rels.add("rId1", type + "officeDocument", "ppt/presentation.xml");
    rels.add("rId2", "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties",
             "docProps/core.xml");
    rels.add("rId3", type + "extended-properties", "docProps/app.xml");
    return rels.finish();
}

std::string coreProperties(std::chrono::sys_seconds savedAt)
{
    const std::string time = w3cdtf(savedAt);
    std::string xml = declaration;
    xml += "<cp:coreProperties"
           " xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\""
           " xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\""
           " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
    xml += "<dcterms:created xsi:type=\"dcterms:W3CDTF\">" + time + "</dcterms:created>";
    xml += "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">" + time + "</dcterms:modified>";
    return xml + "</cp:coreProperties>";
}

std::string appProperties(std::size_t slideCount)
{
    std::string xml = declaration;
    xml += "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\">"
           "<Application>";
    xml += applicationName;
    xml += "</Application>";
    xml += "<Slides>" + std::to_string(slideCount) + "</Slides>";
    return xml + "</Properties>";
}

std::string presentation(std::size_t slideCount)
{
    std::string xml = declaration;
    xml += std::string("<p:presentation") + pmlNamespaces + ">";
    xml += "<p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" r:id=\"rId1\"/></p:sldMasterIdLst>";
    if (slideCount > 0) {
        xml += "<p:sldIdLst>";
        for (std::size_t i = 0; i < slideCount; ++i)
            xml += "<p:sldId id=\"" + std::to_string(256 + i) + "\" r:id=\"" + rId(6 + i) + "\"/>";
        xml += "</p:sldIdLst>";
    }
    const std::string width = std::to_string(toEmu(slideWidthPoints));
    const std::string height = std::to_string(toEmu(slideHeightPoints));
    const std::string type = slideIsScreen4x3 ? "screen4x3" : "custom";
    xml += "<p:sldSz cx=\"" + width + "\" cy=\"" + height + "\" type=\"" + type + "\"/>";
    xml += "<p:notesSz cx=\"" + height + "\" cy=\"" + width + "\"/>";
    return xml + defaultTextStyle() + "</p:presentation>";
}

std::string presentationRelationships(std::size_t slideCount)
{
    Relationships rels;
    const std::string type = relationshipType;
    rels.add("rId1", type + "slideMaster", "slideMasters/slideMaster1.xml");
    rels.add("rId2", type + "theme", "theme/theme1.xml");
    rels.add("rId3", type + "presProps", "presProps.xml");
    rels.add("rId4", type + "viewProps", "viewProps.xml");
    rels.add("rId5", type + "tableStyles", "tableStyles.xml");
    for (std::size_t i = 0; i < slideCount; ++i)
        rels.add(rId(6 + i), type + "slide", "slides/slide" + std::to_string(i + 1) + ".xml");
    return rels.finish();
}

std::string presentationProperties()
{
    return std::string(declaration) + "<p:presentationPr" + pmlNamespaces + "/>";
}

std::string viewProperties()
{
    return std::string(declaration) + "<p:viewPr" + pmlNamespaces +
           "><p:normalViewPr><p:restoredLeft sz=\"15620\"/><p:restoredTop sz=\"94660\"/></p:normalViewPr>"
           "<p:slideViewPr><p:cSldViewPr><p:cViewPr varScale=\"1\"><p:scale><a:sx n=\"100\" d=\"100\"/>"
           "<a:sy n=\"100\" d=\"100\"/></p:scale><p:origin x=\"0\" y=\"0\"/></p:cViewPr>"
           "<p:guideLst/></p:cSldViewPr></p:slideViewPr>"
           "<p:gridSpacing cx=\"76200\" cy=\"76200\"/></p:viewPr>";
}

std::string tableStyles()
{
    return std::string(declaration) +
           "<a:tblStyleLst xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
           " def=\"{5C22544A-7EE6-4342-B048-85BDC9FD1C3A}\"/>";
}

std::string theme()
{
    std::string xml = declaration;
    xml += "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" name=\"Office Theme\">"
           "<a:themeElements><a:clrScheme name=\"Office\">"
           "<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
           "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>";
    xml += colour("dk2", "1F497D") + colour("lt2", "EEECE1") + colour("accent1", "4F81BD") +
           colour("accent2", "C0504D") + colour("accent3", "9BBB59") + colour("accent4", "8064A2") +
           colour("accent5", "4BACC6") + colour("accent6", "F79646") + colour("hlink", "0000FF") +
           colour("folHlink", "800080");
    const std::string font = "<a:latin typeface=\"Calibri\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/>";
    xml += "</a:clrScheme><a:fontScheme name=\"Office\"><a:majorFont>" + font +
           "</a:majorFont><a:minorFont>" + font + "</a:minorFont></a:fontScheme>";
    const std::string fill = "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>";
    xml += "<a:fmtScheme name=\"Office\"><a:fillStyleLst>" + threeTimes(fill) +
           "</a:fillStyleLst><a:lnStyleLst>";
    for (const char* width : {"9525", "25400", "38100"})
        xml += std::string("<a:ln w=\"") + width + "\">" + fill + "</a:ln>";
    xml += "</a:lnStyleLst><a:effectStyleLst>" + threeTimes("<a:effectStyle><a:effectLst/></a:effectStyle>") +
           "</a:effectStyleLst><a:bgFillStyleLst>" + threeTimes(fill) + "</a:bgFillStyleLst></a:fmtScheme>";
    return xml + "</a:themeElements><a:objectDefaults/><a:extraClrSchemeLst/></a:theme>";
}

std::string slideMaster()
{
    std::string xml = declaration;
    xml += std::string("<p:sldMaster") + pmlNamespaces + ">";
    xml += std::string("<p:cSld><p:bg><p:bgRef idx=\"1001\"><a:schemeClr val=\"bg1\"/></p:bgRef></p:bg>") +
           "<p:spTree>" + rootGroup + "</p:spTree></p:cSld>";
    xml += "<p:clrMap bg1=\"lt1\" tx1=\"dk1\" bg2=\"lt2\" tx2=\"dk2\" accent1=\"accent1\" accent2=\"accent2\""
           " accent3=\"accent3\" accent4=\"accent4\" accent5=\"accent5\" accent6=\"accent6\" hlink=\"hlink\""
           " folHlink=\"folHlink\"/>";
    xml += "<p:sldLayoutIdLst><p:sldLayoutId id=\"2147483649\" r:id=\"rId1\"/></p:sldLayoutIdLst>";
    return xml + "<p:txStyles><p:titleStyle/><p:bodyStyle/><p:otherStyle/></p:txStyles></p:sldMaster>";
}

std::string slideMasterRelationships()
{
    Relationships rels;
    const std::string type = relationshipType;
    rels.add("rId1", type + "slideLayout", "../slideLayouts/slideLayout1.xml");
    rels.add("rId2", type + "theme", "../theme/theme1.xml");
    return rels.finish();
}

std::string slideLayout()
{
    return std::string(declaration) + "<p:sldLayout" + pmlNamespaces +
           " type=\"blank\" preserve=\"1\"><p:cSld name=\"Blank\"><p:spTree>" + rootGroup +
           "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sldLayout>";
}

std::string slideLayoutRelationships()
{
    Relationships rels;
    rels.add("rId1", std::string(relationshipType) + "slideMaster", "../slideMasters/slideMaster1.xml");
    return rels.finish();
}

std::string slide(const SlideContent& content)
{
    std::string xml = declaration;
    xml += std::string("<p:sld") + pmlNamespaces + "><p:cSld><p:spTree>" + rootGroup;
    for (std::size_t i = 0; i < content.pictures.size(); ++i) {
        const PlacedPicture& placed = content.pictures[i];
        const auto [frame, turn] = pictureTransform(placed.box, placed.picture->orientation());
        xml += "<p:pic><p:nvPicPr><p:cNvPr id=\"" + std::to_string(2 + i) + "\" name=\"Picture " +
               std::to_string(1 + i) + "\" descr=\"" + escapeXml(placed.picture->name()) + "\"/>";
        xml += "<p:cNvPicPr><a:picLocks noChangeAspect=\"1\"/></p:cNvPicPr><p:nvPr/></p:nvPicPr>";
        xml += "<p:blipFill><a:blip r:embed=\"" + rId(2 + i) +
               "\"/><a:stretch><a:fillRect/></a:stretch></p:blipFill>";
        xml += "<p:spPr><a:xfrm" + turnAttributes(turn) + "><a:off x=\"" + std::to_string(frame.left) +
               "\" y=\"" + std::to_string(frame.top) + "\"/><a:ext cx=\"" + std::to_string(frame.width) +
               "\" cy=\"" + std::to_string(frame.height) + "\"/></a:xfrm>";
        xml += "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></p:spPr></p:pic>";
    }
    return xml + "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sld>";
}

std::string slideRelationships(const SlideContent& content, const DistinctPictures& media)
{
    Relationships rels;
    const std::string type = relationshipType;
    rels.add("rId1", type + "slideLayout", "../slideLayouts/slideLayout1.xml");
    for (std::size_t i = 0; i < content.pictures.size(); ++i) {
        const Picture& picture = *content.pictures[i].picture;
        rels.add(rId(2 + i), type + "image",
                 "../media/" + mediaFileName(media.indexOf(picture), picture.format()));
    }
    return rels.finish();
}

} // namespace kestrane::presentation::pptx
