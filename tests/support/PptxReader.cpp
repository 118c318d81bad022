#include "tests/support/PptxReader.h"

#include <QDir>
#include <QXmlStreamReader>
#include <stdexcept>

namespace kestrane::testing {

namespace {

const QString relationshipsNs =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

const QByteArray& member(const std::map<QString, ZipMember>& package, const QString& part)
{
    const auto found = package.find(part);
    if (found == package.end())
        throw std::runtime_error("missing part " + part.toStdString());
    return found->second.data;
}

QString folderOf(const QString& part)
{
    const auto slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash);
}

QString relationshipsPart(const QString& part)
{
    const QString folder = folderOf(part);
    const QString name = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    return (folder.isEmpty() ? QString() : folder + u'/') + QStringLiteral("_rels/") + name +
           QStringLiteral(".rels");
}

qint64 number(const QXmlStreamAttributes& attributes, const char* name)
{
    bool ok = false;
    const qint64 value = attributes.value(QLatin1String(name)).toLongLong(&ok);
    if (!ok)
        throw std::runtime_error(std::string("not a whole number: ") + name);
    return value;
}

} // namespace

std::map<QString, Relationship> readRelationships(const std::map<QString, ZipMember>& package,
                                                  const QString& part)
{
    std::map<QString, Relationship> relationships;
    QXmlStreamReader xml(member(package, relationshipsPart(part)));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship")
            continue;
        const auto attributes = xml.attributes();
        const QString id = attributes.value(QLatin1String("Id")).toString();
        if (relationships.count(id))
            throw std::runtime_error("duplicate relationship id " + id.toStdString() + " in " +
                                     part.toStdString());
        const QString target =
            QDir::cleanPath(folderOf(part) + u'/' + attributes.value(QLatin1String("Target")).toString());
        relationships[id] = {attributes.value(QLatin1String("Type")).toString(),
                             target.startsWith(u'/') ? target.mid(1) : target};
    }
    if (xml.hasError())
        throw std::runtime_error("bad relationships of " + part.toStdString());
    return relationships;
}

std::vector<PptxSlide> readPptxSlides(const std::map<QString, ZipMember>& package)
{
    const QString presentation = QStringLiteral("ppt/presentation.xml");
    const auto presentationRels = readRelationships(package, presentation);
    std::vector<PptxSlide> slides;
    QXmlStreamReader xml(member(package, presentation));
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"sldId") {
            const QString id = xml.attributes().value(relationshipsNs, QLatin1String("id")).toString();
            slides.push_back({presentationRels.at(id).target, {}});
        }
    }
    for (PptxSlide& slide : slides) {
        const auto rels = readRelationships(package, slide.part);
        QXmlStreamReader part(member(package, slide.part));
        PptxPicture picture;
        while (!part.atEnd()) {
            part.readNext();
            if (part.isEndElement() && part.name() == u"pic")
                slide.pictures.push_back(picture);
            if (!part.isStartElement())
                continue;
            const auto attributes = part.attributes();
            if (part.name() == u"pic") {
                picture = PptxPicture();
            } else if (part.name() == u"cNvPr") {
                picture.description = attributes.value(QLatin1String("descr")).toString();
            } else if (part.name() == u"blip") {
                picture.mediaPart =
                    rels.at(attributes.value(relationshipsNs, QLatin1String("embed")).toString()).target;
                picture.image = member(package, picture.mediaPart);
            } else if (part.name() == u"off") {
                picture.x = number(attributes, "x");
                picture.y = number(attributes, "y");
            } else if (part.name() == u"ext") {
                picture.width = number(attributes, "cx");
                picture.height = number(attributes, "cy");
            }
        }
        if (part.hasError())
            throw std::runtime_error("bad XML in " + slide.part.toStdString());
    }
    return slides;
}

} // namespace kestrane::testing
