// What every writer must do, whatever its format: the same deck gives the same bytes, identical
// pictures are stored once, a picture that fails while read stops the save with its error, and
// decks past the format's limits are refused with a message that says which limit.
#include "base/Error.h"
#include "tests/support/MemoryPicture.h"
#include "tests/support/PptReader.h"
#include "tests/support/PptxReader.h"
#include "tests/support/Sinks.h"
#include "tests/support/TestPictures.h"
#include "tests/support/Writers.h"

#include <QTest>
#include <functional>
#include <set>

using namespace kestrane;
using namespace kestrane::presentation;
using namespace kestrane::testing;

namespace {

using PicturePtr = std::shared_ptr<const Picture>;
using MakeDeck = std::function<Deck()>;

// One picture per slide, all at the same place.
Deck sameBoxDeck(const std::vector<PicturePtr>& pictures, PictureBox box = {})
{
    Deck deck;
    for (const PicturePtr& picture : pictures)
        deck.slides.push_back({{{picture, box}}});
    return deck;
}

// For each frame in show order, the picture it shows as the file stores it: a .pptx's media part, a
// .ppt's picture entry. And how many pictures the file stores.
std::pair<std::vector<QString>, std::size_t> framesAndPictures(const QString& format, const ByteVector& file)
{
    std::vector<QString> frames;
    if (format == "ppt") {
        const PptFile read = readPpt(file);
        for (const PptSlide& slide : read.slides) {
            for (const PptFrame& frame : slide.frames)
                frames.push_back(QString::number(frame.pictureIndex));
        }
        return {frames, read.pictures.size()};
    }
    const auto package =
        readZip(QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size())));
    for (const PptxSlide& slide : readPptxSlides(package)) {
        for (const PptxPicture& picture : slide.pictures)
            frames.push_back(picture.mediaPart);
    }
    std::size_t media = 0;
    for (const auto& member : package)
        media += member.first.startsWith(QStringLiteral("ppt/media/")) ? 1 : 0;
    return {frames, media};
}

} // namespace

Q_DECLARE_METATYPE(MakeDeck)

class TestWriters : public QObject
{
    Q_OBJECT

private slots:
    void identicalInputGivesIdenticalFile_data()
    {
        QTest::addColumn<QString>("format");
        for (const char* name : formatNames)
            QTest::newRow(name) << QString(name);
    }

    // Nothing depends on the clock or on the order the writer's threads finish in.
    void identicalInputGivesIdenticalFile()
    {
        QFETCH(QString, format);
        const presentation::Format& w = writer(format.toStdString());
        const auto shared = noisePicture(3000, 1);
        const Deck deck = sameBoxDeck(
            {shared,
             std::make_shared<MemoryPicture>("image2.png", PictureFormat::Png, noise(500, 2).toStdString()),
             shared},
            {1, 2, 3, 4});
        MemorySink first;
        w.write(deck, first);
        QTest::qWait(1100);
        MemorySink second;
        w.write(deck, second);
        QVERIFY(first.bytes() == second.bytes());
    }

    void identicalPicturesAreStoredOnce_data() { identicalInputGivesIdenticalFile_data(); }

    // The same bytes are one picture, whether shown twice or found in two files; one byte apart, or
    // the same bytes taken for another format, they are two.
    void identicalPicturesAreStoredOnce()
    {
        QFETCH(QString, format);
        const auto original = noisePicture(5000, 1);
        std::string nearCopy = original->bytes();
        nearCopy[100] = char(nearCopy[100] ^ 1);
        const Deck deck = sameBoxDeck(
            {original, std::make_shared<MemoryPicture>("copy.jpg", PictureFormat::Jpeg, original->bytes()),
             original, std::make_shared<MemoryPicture>("near.jpg", PictureFormat::Jpeg, nearCopy),
             std::make_shared<MemoryPicture>("cmyk.jpg", PictureFormat::CmykJpeg, original->bytes())});
        MemorySink sink;
        try {
            writer(format.toStdString()).write(deck, sink);
            const auto [frames, stored] = framesAndPictures(format, sink.bytes());
            QCOMPARE(stored, std::size_t(3));
            QCOMPARE(frames.size(), std::size_t(5));
            QCOMPARE(frames[1], frames[0]);
            QCOMPARE(frames[2], frames[0]);
            QCOMPARE(std::set<QString>(frames.begin(), frames.end()).size(), std::size_t(3));
        } catch (const std::exception& error) {
            QFAIL(error.what());
        }
    }

    void failingPicture_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("digested");
        // Both formats take every digest before they write anything.
        for (const char* format : formatNames) {
            QTest::addRow("%s: while taking its digest", format) << QString(format) << false;
            QTest::addRow("%s: while copying it", format) << QString(format) << true;
        }
    }

    // The picture's own error reaches the caller, naming the picture.
    void failingPicture()
    {
        QFETCH(QString, format);
        QFETCH(bool, digested);
        const auto changing = std::make_shared<MemoryPicture>("image7.jpg", PictureFormat::Jpeg,
                                                              noiseJpeg(1000, 7).toStdString());
        if (digested)
            changing->digest();
        changing->change();
        // Megabytes ahead of it, so that the file has begun by the time it is copied.
        const Deck deck = sameBoxDeck({noisePicture(3 << 20, 8), changing});
        MemorySink sink;
        try {
            writer(format.toStdString()).write(deck, sink);
            QFAIL("the failed read went unnoticed");
        } catch (const Error& error) {
            QCOMPARE(error.code(), ErrorCode::PictureChanged);
            QVERIFY2(QString::fromStdString(error.description()).contains("image7.jpg"), error.what());
        }
        QCOMPARE(!sink.bytes().empty(), digested);
    }

    void limits_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<MakeDeck>("make");
        QTest::addColumn<QStringList>("message"); // what the refusal says; empty: the deck fits
        const PicturePtr small = noisePicture(100, 1);
        auto box = [small](PictureBox b) { return MakeDeck([=] { return sameBoxDeck({small}, b); }); };
        // Every refusal of a .pptx says which limit, in points.
        auto pptx = [](const char* name, const MakeDeck& make, const QStringList& says = {}) {
            QTest::addRow("pptx: %s", name)
                << QStringLiteral("pptx") << make
                << (says.isEmpty() ? QStringList() : QStringList{"PowerPoint (.pptx) allows"} + says);
        };
        // Every refusal of a .ppt points to what the user can do: the format without these limits.
        auto ppt = [](const char* name, const MakeDeck& make, const QString& limit = {}) {
            QTest::addRow("ppt: %s", name)
                << QStringLiteral("ppt") << make
                << (limit.isEmpty()
                        ? QStringList()
                        : QStringList{limit, "; convert again and save under a name ending in .pptx"});
        };

        // .pptx: offsets and extents in EMU (12700 per point) must fit readers' 32-bit integers, and a
        // size above zero must stay above zero.
        const QString placement = "picture noise1.jpg on slide 1";
        const QString positions = "picture positions only from -169093.2 to 169093.2 points";
        const QString extents = "picture sizes only from 0 to 169093.2 points";
        const QStringList tooSmall{"picture sizes only in steps of 1/12700 point",
                                   placement + " is too small to show"};
        const double emu = 1.0 / 12700;
        pptx("widest", box({-2147483648.0 * emu, 0, 2147483647.0 * emu, 1}));
        pptx("left beyond", box({2147483648.0 * emu, 0, 1, 1}),
             {positions, placement + " has a left of 169093.2"});
        pptx("top beyond", box({0, -2147483649.0 * emu, 1, 1}),
             {positions, placement + " has a top of -169093.2"});
        pptx("width beyond", box({0, 0, 2147483648.0 * emu, 1}),
             {extents, placement + " has a width of 169093.2"});
        pptx("negative width", box({0, 0, -0.1, 1}), {extents, placement + " has a width of -0.1"});
        pptx("infinite width", box({0, 0, qInf(), 1}), {extents, placement + " has a width of inf"});
        pptx("half an EMU wide", box({0, 0, 0.5 * emu, 1}));
        pptx("width rounds to nothing", box({0, 0, 5e-324, 1}), tooSmall);
        pptx("height rounds to nothing", box({0, 0, 1, 0.49 * emu}), tooSmall);
        // A photo turned a quarter has its frame's sides swapped about the box's centre: for a box
        // 1000 points higher than wide the frame's left lies 500 points left of the box's.
        auto turned = [](PictureBox b) {
            return MakeDeck([=] {
                const auto photo = noisePicture(100, 1);
                photo->setOrientation(Orientation::RightTop);
                return sameBoxDeck({photo}, b);
            });
        };
        pptx("turned frame inside", turned({-168593.2, 0, 1, 1001}));
        pptx("turned frame beyond", turned({-168593.2, 0, 1, 1001.2}),
             {positions, placement + ", turned upright, has its frame's left at -169093.3"});

        // .ppt edges: left, top, right = left + width, bottom = top + height, in 1/8 point.
        const QString edges = "picture edges only from -4096 to 4095.875 points";
        ppt("left at -4096", box({-4096, 0, 1, 1}));
        ppt("left below -4096", box({-4096.0625, 0, 1, 1}), edges);
        ppt("top at -4096", box({0, -4096, 1, 1}));
        ppt("top below -4096", box({0, -4096.0625, 1, 1}), edges);
        ppt("right at 4095.875", box({4000, 0, 95.875, 1}));
        ppt("right past 4095.875", box({4000, 0, 95.9375, 1}), edges);
        ppt("bottom at 4095.875", box({0, 4095, 1, 0.875}));
        ppt("bottom past 4095.875", box({0, 4095, 1, 0.9375}), edges);
        ppt("not a number", box({qQNaN(), 0, 1, 1}), edges);
        ppt("infinite", box({0, 0, qInf(), 1}), edges);
        const QString tiny = "picture 1 on slide 1 is too small to show";
        ppt("width of 1/16 point", box({0, 0, 0.0625, 1}));
        ppt("width rounds to nothing", box({0, 0, 5e-324, 1}), tiny);
        ppt("height rounds to nothing", box({0, 0.0625, 1, 0.0625}), tiny);
        ppt("second picture of slide 2", MakeDeck([small] {
                Deck deck;
                deck.slides = {{{{small, {}}}}, {{{small, {}}, {small, {0, 0, 5000, 1}}}}};
                return deck;
            }),
            "picture 2 on slide 2 has an edge at 5000");

        // .ppt slides: drawing ids
        auto slides = [](int count) {
            return MakeDeck([count] {
                Deck deck;
                deck.slides.resize(std::size_t(count));
                return deck;
            });
        };
        ppt("4093 slides", slides(4093));
        ppt("4094 slides", slides(4094), "at most 4093 slides, this presentation has 4094");

        // .ppt bytes of pictures: 25 bytes of record around each
        const std::uint64_t twoGiB = 0x80000000;
        auto sizes = [](std::vector<std::uint64_t> pictureSizes) {
            return MakeDeck([=] {
                std::vector<PicturePtr> pictures;
                for (std::uint64_t size : pictureSizes)
                    pictures.push_back(std::make_shared<ZeroPicture>(size));
                return sameBoxDeck(pictures);
            });
        };
        const QString bytesLimit = "at most 2 GiB of pictures in all";
        ppt("one picture of 2 GiB", sizes({twoGiB - 25}));
        ppt("one picture over 2 GiB", sizes({twoGiB - 24}), bytesLimit);
        ppt("two pictures of 2 GiB", sizes({twoGiB / 2 - 25, twoGiB / 2 - 25}));
        ppt("two pictures over 2 GiB", sizes({twoGiB / 2 - 25, twoGiB / 2 - 24}), bytesLimit);
        ppt("a picture shown twice counts once", MakeDeck([] {
                const PicturePtr huge = std::make_shared<ZeroPicture>(0x60000000);
                return sameBoxDeck({huge, huge});
            }));

        // .ppt picture entries: a 12-bit count
        auto distinct = [](int count) {
            return MakeDeck([count] {
                Deck deck;
                deck.slides.resize(1);
                for (int i = 0; i < count; ++i)
                    deck.slides[0].pictures.push_back({std::make_shared<ZeroPicture>(10), {}});
                return deck;
            });
        };
        ppt("4095 pictures", distinct(4095));
        ppt("4096 pictures", distinct(4096), "at most 4095 different pictures");
    }

    void limits()
    {
        QFETCH(QString, format);
        QFETCH(MakeDeck, make);
        QFETCH(QStringList, message);
        const Deck deck = make();
        const presentation::Format& w = writer(format.toStdString());
        if (message.isEmpty()) {
            w.checkLimits(deck);
            return;
        }
        try {
            w.checkLimits(deck);
            QFAIL("the deck was accepted");
        } catch (const Error& error) {
            QCOMPARE(error.code(), ErrorCode::FormatLimitExceeded);
            const QString text = QString::fromStdString(error.description());
            for (const QString& says : message)
                QVERIFY2(text.contains(says), qPrintable(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestWriters)
#include "tst_writers.moc"
