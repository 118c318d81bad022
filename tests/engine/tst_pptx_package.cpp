#include "engine/pptx/PptxWriter.h"
#include "tests/support/MemoryPicture.h"
#include "tests/support/PptxReader.h"
#include "tests/support/Sinks.h"
#include "tests/support/TestPictures.h"

#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>
#include <memory>

using namespace kestrane;
using presentation::Deck;
using presentation::PictureFormat;

namespace {

// Picture n is n + 100 bytes of its own.
QByteArray pictureBytes(int variant)
{
    return testing::noiseJpeg(100 + variant, std::uint32_t(variant));
}

Deck deckOf(const QList<QList<PictureFormat>>& slides)
{
    Deck deck;
    int variant = 0;
    for (const auto& formats : slides) {
        presentation::SlideContent slide;
        for (PictureFormat format : formats) {
            ++variant;
            const std::string name =
                "image" + std::to_string(variant) + (format == PictureFormat::Png ? ".png" : ".jpg");
            // Every orientation in turn, whatever the kind: the writer goes by what the picture says.
            auto picture =
                std::make_shared<testing::MemoryPicture>(name, format, pictureBytes(variant).toStdString());
            picture->setOrientation(presentation::Orientation((variant - 1) % 8 + 1));
            slide.pictures.push_back({picture, {55, -60, 612.5, 792}});
        }
        deck.slides.push_back(slide);
    }
    return deck;
}

QByteArray write(const Deck& deck)
{
    testing::MemorySink sink;
    presentation::writePptx(deck, sink);
    return QByteArray(reinterpret_cast<const char*>(sink.bytes().data()), qsizetype(sink.bytes().size()));
}

// Offsets of the local file headers, in archive order.
QList<qsizetype> localHeaders(const QByteArray& archive)
{
    QList<qsizetype> offsets;
    for (qsizetype at = archive.indexOf("PK\3\4"); at >= 0; at = archive.indexOf("PK\3\4", at + 4))
        offsets << at;
    return offsets;
}

template <typename T>
T little(const QByteArray& bytes, qsizetype at)
{
    return qFromLittleEndian<T>(bytes.constData() + at);
}

// A Zip64 extra field holding `values`.
QByteArray zip64Field(const QList<quint64>& values)
{
    QByteArray field(4 + 8 * values.size(), '\0');
    qToLittleEndian<quint16>(1, field.data());
    qToLittleEndian<quint16>(quint16(8 * values.size()), field.data() + 2);
    for (qsizetype i = 0; i < values.size(); ++i)
        qToLittleEndian<quint64>(values[i], field.data() + 4 + 8 * i);
    return field;
}

QString schemaFor(const QString& part)
{
    if (part.endsWith(QStringLiteral(".rels")))
        return QStringLiteral("opc-relationships.xsd");
    if (part == QStringLiteral("[Content_Types].xml"))
        return QStringLiteral("opc-contentTypes.xsd");
    if (part == QStringLiteral("docProps/app.xml"))
        return QStringLiteral("shared-documentPropertiesExtended.xsd");
    if (part.startsWith(QStringLiteral("ppt/theme/")) || part == QStringLiteral("ppt/tableStyles.xml"))
        return QStringLiteral("dml-main.xsd");
    if (part.startsWith(QStringLiteral("ppt/")) && part.endsWith(QStringLiteral(".xml")))
        return QStringLiteral("pml.xsd");
    return {};
}

// Every attribute value in the relationships namespace (r:id, r:embed) of a part.
QStringList relationshipReferences(const QByteArray& xml)
{
    QStringList ids;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        for (const auto& attribute : reader.attributes()) {
            if (attribute.namespaceUri() ==
                u"http://schemas.openxmlformats.org/officeDocument/2006/relationships")
                ids << attribute.value().toString();
        }
    }
    return ids;
}

QStringList attributeValues(const QByteArray& xml, const QString& element, const QString& attribute)
{
    QStringList values;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == element)
            values << reader.attributes().value(attribute).toString();
    }
    return values;
}

} // namespace

class TestPptxPackage : public QObject
{
    Q_OBJECT

private:
    void decks()
    {
        QTest::addColumn<QList<QList<PictureFormat>>>("slides");
        QTest::newRow("no slides") << QList<QList<PictureFormat>>{};
        QTest::newRow("one picture") << QList<QList<PictureFormat>>{{PictureFormat::Jpeg}};
        QTest::newRow("every kind") << QList<QList<PictureFormat>>{
            {PictureFormat::Jpeg}, {PictureFormat::CmykJpeg}, {PictureFormat::Png},
            {PictureFormat::Gif},  {PictureFormat::Bmp},      {PictureFormat::Tiff}};
        QTest::newRow("empty slide and several pictures") << QList<QList<PictureFormat>>{
            {}, {PictureFormat::Jpeg, PictureFormat::Png, PictureFormat::Jpeg}, {PictureFormat::Jpeg}};
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xmllint")).isEmpty())
            QFAIL("xmllint (Debian package libxml2-utils) is not installed");
        if (!QFileInfo::exists(QStringLiteral(KESTRANE_OOXML_SCHEMAS "/pml.xsd")))
            QFAIL("the ECMA-376 schemas are not at " KESTRANE_OOXML_SCHEMAS);
    }

    void schemaValid_data() { decks(); }

    // Every XML part validates against its ECMA-376 schema; core properties are well-formed.
    void schemaValid()
    {
        QFETCH(QList<QList<PictureFormat>>, slides);
        const auto package = testing::readZip(write(deckOf(slides)));
        QTemporaryDir dir;
        QMap<QString, QStringList> bySchema;
        int index = 0;
        for (const auto& [part, member] : package) {
            if (!part.endsWith(QStringLiteral(".xml")) && !part.endsWith(QStringLiteral(".rels")))
                continue;
            const QString file = dir.filePath(QString::number(++index) + QStringLiteral(".xml"));
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(member.data);
            out.close();
            const QString schema = schemaFor(part);
            QVERIFY2(!schema.isEmpty() || part == QStringLiteral("docProps/core.xml"), qPrintable(part));
            bySchema[schema] << file;
        }
        for (auto it = bySchema.cbegin(); it != bySchema.cend(); ++it) {
            QStringList arguments{QStringLiteral("--noout")};
            if (!it.key().isEmpty())
                arguments << QStringLiteral("--schema")
                          << QStringLiteral(KESTRANE_OOXML_SCHEMAS "/") + it.key();
            QProcess xmllint;
            xmllint.start(QStringLiteral("xmllint"), arguments + it.value());
            QVERIFY(xmllint.waitForFinished(60000));
            QVERIFY2(xmllint.exitCode() == 0, xmllint.readAllStandardError().constData());
        }
    }

    void structure_data() { decks(); }

    void structure()
    {
        QFETCH(QList<QList<PictureFormat>>, slides);
        const QByteArray archive = write(deckOf(slides));
        const auto package = testing::readZip(archive);

        // [Content_Types].xml comes first; names are unique ignoring case
        QCOMPARE(archive.mid(30, 19), QByteArray("[Content_Types].xml"));
        QSet<QString> folded;
        for (const auto& entry : package)
            folded.insert(entry.first.toLower());
        QCOMPARE(folded.size(), qsizetype(package.size()));

        // every part has a content type, every override names a part
        const QByteArray types = package.at(QStringLiteral("[Content_Types].xml")).data;
        const QStringList defaults =
            attributeValues(types, QStringLiteral("Default"), QStringLiteral("Extension"));
        const QStringList overrides =
            attributeValues(types, QStringLiteral("Override"), QStringLiteral("PartName"));
        for (const QString& part : overrides)
            QVERIFY2(package.count(part.mid(1)), qPrintable(part));
        for (const auto& [part, member] : package) {
            // Made on MS-DOS with no attributes, as office suites write: unzip then gives files the
            // user's usual modes (libzip's default, Unix 0666, would make them world-writable).
            QVERIFY2(member.madeOn == 0 && member.attributes == 0, qPrintable(part));
            if (part == QStringLiteral("[Content_Types].xml"))
                continue;
            const QString extension = part.section(u'.', -1);
            QVERIFY2(overrides.contains(u'/' + part) || defaults.contains(extension), qPrintable(part));
        }

        // relationships: targets exist, ids unique (the reader checks), every reference resolves
        for (const auto& [part, member] : package) {
            if (part.endsWith(QStringLiteral(".rels")) || part == QStringLiteral("[Content_Types].xml"))
                continue;
            if (!part.endsWith(QStringLiteral(".xml")))
                QCOMPARE(member.compressionMethod, 0);
            else
                QCOMPARE(member.compressionMethod, 8);
            const QString relsPart = QFileInfo(part).path() + QStringLiteral("/_rels/") +
                                     QFileInfo(part).fileName() + QStringLiteral(".rels");
            if (!package.count(relsPart.startsWith(QStringLiteral("./")) ? relsPart.mid(2) : relsPart))
                continue;
            const auto rels = testing::readRelationships(package, part);
            for (const auto& [id, relationship] : rels)
                QVERIFY2(package.count(relationship.target), qPrintable(part + u' ' + relationship.target));
            for (const QString& id : relationshipReferences(member.data))
                QVERIFY2(rels.count(id), qPrintable(part + u' ' + id));
        }

        // ids in their ranges and unique
        const QByteArray presentation = package.at(QStringLiteral("ppt/presentation.xml")).data;
        QSet<qint64> slideIds;
        for (const QString& id :
             attributeValues(presentation, QStringLiteral("sldId"), QStringLiteral("id"))) {
            QVERIFY(id.toLongLong() >= 256 && id.toLongLong() <= 2147483647);
            slideIds.insert(id.toLongLong());
        }
        QCOMPARE(slideIds.size(), slides.size());
        const QStringList masterIds =
            attributeValues(presentation, QStringLiteral("sldMasterId"), QStringLiteral("id")) +
            attributeValues(package.at(QStringLiteral("ppt/slideMasters/slideMaster1.xml")).data,
                            QStringLiteral("sldLayoutId"), QStringLiteral("id"));
        QCOMPARE(QSet<QString>(masterIds.begin(), masterIds.end()).size(), masterIds.size());
        for (const QString& id : masterIds)
            QVERIFY(id.toLongLong() >= 2147483648LL);
        const auto read = testing::readPptxSlides(package);
        QCOMPARE(qsizetype(read.size()), slides.size());
        for (const auto& slide : read) {
            const QStringList shapeIds =
                attributeValues(package.at(slide.part).data, QStringLiteral("cNvPr"), QStringLiteral("id"));
            QCOMPARE(QSet<QString>(shapeIds.begin(), shapeIds.end()).size(), shapeIds.size());
        }

        // the pictures, in order, with their bytes, names and EMU geometry
        const std::map<PictureFormat, std::pair<QString, QString>> mediaTypes{
            {PictureFormat::Jpeg, {"jpeg", "image/jpeg"}}, {PictureFormat::CmykJpeg, {"jpeg", "image/jpeg"}},
            {PictureFormat::Png, {"png", "image/png"}},    {PictureFormat::Gif, {"gif", "image/gif"}},
            {PictureFormat::Bmp, {"bmp", "image/bmp"}},    {PictureFormat::Tiff, {"tiff", "image/tiff"}}};
        QMap<QString, QString> defaultTypes;
        const QStringList defaultContentTypes =
            attributeValues(types, QStringLiteral("Default"), QStringLiteral("ContentType"));
        for (qsizetype i = 0; i < defaults.size(); ++i)
            defaultTypes[defaults[i]] = defaultContentTypes[i];
        QList<PictureFormat> formats;
        for (const auto& slideFormats : slides)
            formats += slideFormats;
        int variant = 0;
        for (qsizetype s = 0; s < slides.size(); ++s) {
            QCOMPARE(qsizetype(read[std::size_t(s)].pictures.size()), slides[s].size());
            for (const auto& shape : read[std::size_t(s)].pictures) {
                QVERIFY2(shape.description.startsWith(QStringLiteral("image%1.").arg(variant + 1)),
                         qPrintable(shape.description));
                QCOMPARE(shape.image, pictureBytes(variant + 1));
                // each kind under its own extension, with its own content type
                const auto [extension, contentType] = mediaTypes.at(formats[variant++]);
                QCOMPARE(shape.mediaPart.section(u'.', -1), extension);
                QCOMPARE(defaultTypes.value(extension), contentType);
                // orientations 5 to 8 turn the frame a quarter: its sides swap about the box's centre
                const bool turned = (variant - 1) % 8 >= 4;
                QCOMPARE((QList<qint64>{shape.x, shape.y, shape.width, shape.height}),
                         turned ? (QList<qint64>{-441325, 377825, 10058400, 7778750})
                                : (QList<qint64>{698500, -762000, 7778750, 10058400}));
            }
        }
    }

    void slideSize()
    {
        const auto package = testing::readZip(write(deckOf({})));
        const QByteArray presentation = package.at(QStringLiteral("ppt/presentation.xml")).data;
        QVERIFY(presentation.contains("<p:sldSz cx=\"9144000\" cy=\"6858000\" type=\"screen4x3\"/>"));
        // the text defaults PowerPoint writes for a blank deck: nine levels half an inch apart
        QStringList margins;
        for (int level = 1; level <= 9; ++level)
            margins +=
                attributeValues(presentation, QStringLiteral("lvl%1pPr").arg(level), QStringLiteral("marL"));
        QCOMPARE(margins, (QStringList{"0", "457200", "914400", "1371600", "1828800", "2286000", "2743200",
                                       "3200400", "3657600"}));
    }

    // Small packages carry no Zip64 records; 65535 entries already need them, as that count is the
    // sign to look for them: 14 parts, two for each slide and the one picture they share.
    void zip64OnlyWhenNeeded()
    {
        const QByteArray small = write(deckOf({{PictureFormat::Jpeg}, {PictureFormat::Png}}));
        QVERIFY(!small.contains("PK\6\6"));
        for (qsizetype offset : localHeaders(small)) {
            QVERIFY(quint8(small[offset + 4]) <= 20);
            QCOMPARE(small.mid(offset + 28, 2), QByteArray(2, '\0'));
        }

        Deck large;
        const auto shared = testing::noisePicture(100, 1);
        for (int i = 0; i < 32760; ++i)
            large.slides.push_back({{{shared, {0, 0, 1, 1}}}});
        const QByteArray archive = write(large);
        QVERIFY(archive.contains("PK\6\6"));
        QCOMPARE(qsizetype(testing::readZip(archive).size()), qsizetype(0xFFFF));
    }

    // Past 4 GiB, read from the records as the pictures are not kept: the large picture's sizes go
    // to Zip64 fields in both its headers, the offsets beyond 4 GiB to those of the central ones, and
    // the central directory's offset to the Zip64 end record.
    void zip64PastFourGiB()
    {
        const quint64 large = (quint64(1) << 32) + (quint64(1) << 24);
        Deck deck;
        for (const std::shared_ptr<const presentation::Picture>& picture :
             {std::shared_ptr<const presentation::Picture>(testing::noisePicture(100, 1)),
              std::shared_ptr<const presentation::Picture>(std::make_shared<testing::ZeroPicture>(large)),
              std::shared_ptr<const presentation::Picture>(testing::noisePicture(100, 2))})
            deck.slides.push_back({{{picture, {0, 0, 1, 1}}}});
        testing::RecordSink sink;
        presentation::writePptx(deck, sink);
        const int entries = 14 + 2 * 3 + 3;

        const quint64 endAt = sink.position() - 22;
        const QByteArray end = sink.at(endAt, 22);
        const QByteArray locator = sink.at(endAt - 20, 20);
        QCOMPARE(little<quint32>(end, 0), 0x06054b50u);
        QCOMPARE(little<quint16>(end, 10), quint16(entries));
        QCOMPARE(little<quint32>(end, 16), 0xFFFFFFFFu);
        QCOMPARE(little<quint32>(locator, 0), 0x07064b50u);
        const quint64 zip64EndAt = little<quint64>(locator, 8);
        const QByteArray zip64End = sink.at(zip64EndAt, 56);
        QCOMPARE(little<quint32>(zip64End, 0), 0x06064b50u);
        QCOMPARE(little<quint16>(zip64End, 14), quint16(45));
        QCOMPARE(little<quint64>(zip64End, 32), quint64(entries));
        const quint64 directory = little<quint64>(zip64End, 48);
        QCOMPARE(quint64(little<quint32>(end, 12)), little<quint64>(zip64End, 40));
        QCOMPARE(directory + little<quint64>(zip64End, 40), zip64EndAt);

        // Each entry's local header lies where the one before it ended, names it and has its sizes.
        quint64 at = directory;
        quint64 nextLocal = 0;
        for (int i = 0; i < entries; ++i) {
            const QByteArray central = sink.at(at, 46);
            QCOMPARE(little<quint32>(central, 0), 0x02014b50u);
            const quint16 nameLength = little<quint16>(central, 28);
            const QByteArray name = sink.at(at + 46, nameLength);
            const QByteArray extra = sink.at(at + 46 + nameLength, little<quint16>(central, 30));
            at += 46 + nameLength + quint64(extra.size());
            const QByteArray local = sink.at(nextLocal, 30);
            QCOMPARE(little<quint32>(local, 0), 0x04034b50u);
            QCOMPARE(sink.at(nextLocal + 30, nameLength), name);
            const QByteArray localExtra = sink.at(nextLocal + 30 + nameLength, little<quint16>(local, 28));
            quint64 size = little<quint32>(central, 20);
            if (name == "ppt/media/image2.jpeg") {
                size = large;
                QCOMPARE(little<quint32>(central, 42), quint32(nextLocal));
                QCOMPARE(extra, zip64Field({large, large}));
                QCOMPARE(localExtra, zip64Field({large, large}));
                QCOMPARE(little<quint16>(local, 4), quint16(45));
                QCOMPARE(little<quint32>(local, 18), 0xFFFFFFFFu);
                QCOMPARE(little<quint32>(local, 22), 0xFFFFFFFFu);
            } else if (name == "ppt/media/image3.jpeg") {
                QVERIFY(nextLocal > large);
                QCOMPARE(little<quint32>(central, 42), 0xFFFFFFFFu);
                QCOMPARE(extra, zip64Field({nextLocal}));
                QCOMPARE(localExtra, QByteArray());
                QCOMPARE(little<quint16>(local, 4), quint16(10));
                QCOMPARE(little<quint32>(local, 18), quint32(size));
            } else {
                QCOMPARE(little<quint32>(central, 42), quint32(nextLocal));
                QCOMPARE(extra, QByteArray());
                QCOMPARE(localExtra, QByteArray());
                QVERIFY(little<quint16>(local, 4) <= 20);
            }
            QCOMPARE(little<quint16>(central, 6), quint16(extra.isEmpty() ? little<quint16>(local, 4) : 45));
            nextLocal += 30 + nameLength + quint64(localExtra.size()) + size;
        }
        QCOMPARE(nextLocal, directory);
    }
};

QTEST_GUILESS_MAIN(TestPptxPackage)
#include "tst_pptx_package.moc"
