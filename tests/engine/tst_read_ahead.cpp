#include "base/Error.h"
#include "engine/ReadAhead.h"
#include "tests/support/MemoryPicture.h"

#include <QTest>
#include <string>

using namespace kestrane;
using presentation::ReadAhead;
using testing::ChangedPicture;
using testing::MemoryPicture;

namespace {

// Distinct bytes at every position, so a chunk from the wrong place shows.
std::string pattern(std::size_t size, char seed)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = char(seed + i * 7 + i / 251);
    return bytes;
}

std::shared_ptr<MemoryPicture> picture(const std::string& bytes)
{
    return std::make_shared<MemoryPicture>("image.jpg", presentation::PictureFormat::Jpeg, bytes);
}

std::string text(const ReadAhead::Chunk& chunk)
{
    return std::string(reinterpret_cast<const char*>(chunk.bytes), chunk.length);
}

} // namespace

// The read-ahead hands out the pictures' bytes a chunk at a time: in the order they were added,
// read on its own thread, and also when asked out of that order.
class TestReadAhead : public QObject
{
    Q_OBJECT

private slots:
    void inOrder()
    {
        const std::size_t chunk = ReadAhead::chunkSize;
        const std::string first = pattern(2 * chunk + 10, 1);
        const std::string empty;
        const std::string last = pattern(chunk, 2);
        ReadAhead readAhead;
        const std::size_t a = readAhead.add(picture(first));
        readAhead.add(picture(empty));
        const std::size_t c = readAhead.add(picture(last));
        QCOMPARE(text(readAhead.chunk(a, 0)), first.substr(0, chunk));
        QCOMPARE(text(readAhead.chunk(a, chunk)), first.substr(chunk, chunk));
        QCOMPARE(text(readAhead.chunk(a, 2 * chunk)), first.substr(2 * chunk));
        QCOMPARE(text(readAhead.chunk(c, 0)), last);
    }

    void outOfOrder()
    {
        const std::size_t chunk = ReadAhead::chunkSize;
        const std::string first = pattern(3 * chunk, 3);
        const std::string second = pattern(1000, 4);
        ReadAhead readAhead;
        const std::size_t a = readAhead.add(picture(first));
        const std::size_t b = readAhead.add(picture(second));
        QCOMPARE(text(readAhead.chunk(b, 0)), second);
        QCOMPARE(text(readAhead.chunk(a, chunk + 5)), first.substr(chunk + 5, chunk));
        QCOMPARE(text(readAhead.chunk(a, 0)), first.substr(0, chunk));
        QCOMPARE(text(readAhead.chunk(b, 500)), second.substr(500));
    }

    // A picture that cannot be read fails the read that asks for it, not the ones before.
    void failingPicture()
    {
        const std::string good = pattern(100, 5);
        ReadAhead readAhead;
        const std::size_t a = readAhead.add(picture(good));
        const std::size_t b = readAhead.add(
            std::make_shared<ChangedPicture>("image2.jpg", presentation::PictureFormat::Jpeg, good));
        QCOMPARE(text(readAhead.chunk(a, 0)), good);
        try {
            readAhead.chunk(b, 0);
            QFAIL("the failed read went unnoticed");
        } catch (const Error& error) {
            QCOMPARE(error.code(), ErrorCode::PictureChanged);
        }
    }
};

QTEST_APPLESS_MAIN(TestReadAhead)
#include "tst_read_ahead.moc"
