#include "base/Error.h"
#include "engine/Pipeline.h"
#include "tests/support/MemoryPicture.h"

#include <QTest>
#include <string>
#include <vector>

using namespace kestrane;
using presentation::BufferRing;
using presentation::PictureStream;
using testing::ChangedPicture;
using testing::MemoryPicture;

namespace {

constexpr qint64 mib = BufferRing::bufferSize;

// Asks for the bytes of `picture` from `offset` on; `fails`: the picture cannot be read, and the
// request throws.
struct Request
{
    int picture;
    qint64 offset;
    bool fails = false;
};

// Distinct bytes at every position, so bytes from the wrong place show.
std::string pattern(qint64 size, int seed)
{
    std::string bytes(std::size_t(size), '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(seed + i * 7 + i / 251);
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<qint64>)
Q_DECLARE_METATYPE(std::vector<Request>)

// The stream reads pictures ahead on its ring's thread and hands out their bytes, in the order the
// pictures were added or out of it; a picture that cannot be read fails the requests
// that reach it, not the ones before.
class TestPipeline : public QObject
{
    Q_OBJECT

private slots:
    void stream_data()
    {
        QTest::addColumn<std::vector<qint64>>("sizes");
        QTest::addColumn<int>("failing"); // the picture that cannot be read, or -1
        QTest::addColumn<std::vector<Request>>("requests");
        QTest::newRow("in order, past an empty picture")
            << std::vector<qint64>{2 * mib + 10, 0, mib} << -1
            << std::vector<Request>{{0, 0}, {0, 5}, {0, mib}, {0, 2 * mib}, {2, 0}};
        QTest::newRow("out of order") << std::vector<qint64>{3 * mib, 1000} << -1
                                      << std::vector<Request>{{1, 0}, {0, mib + 5}, {0, 0}, {1, 500}};
        QTest::newRow("failing picture") << std::vector<qint64>{100, 100, 100} << 1
                                         << std::vector<Request>{{0, 0}, {1, 0, true}, {0, 50}, {2, 0}};
    }

    void stream()
    {
        QFETCH(std::vector<qint64>, sizes);
        QFETCH(int, failing);
        QFETCH(std::vector<Request>, requests);
        std::vector<std::string> bytes;
        std::vector<std::unique_ptr<MemoryPicture>> pictures;
        PictureStream stream;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            bytes.push_back(pattern(sizes[i], int(i)));
            const auto format = presentation::PictureFormat::Jpeg;
            if (int(i) == failing)
                pictures.push_back(std::make_unique<ChangedPicture>("image.jpg", format, bytes[i]));
            else
                pictures.push_back(std::make_unique<MemoryPicture>("image.jpg", format, bytes[i]));
            QCOMPARE(stream.add(*pictures[i]), i);
        }
        for (const Request& request : requests) {
            const std::string& expected = bytes[std::size_t(request.picture)];
            try {
                const PictureStream::Chunk chunk =
                    stream.chunk(std::size_t(request.picture), std::uint64_t(request.offset));
                QVERIFY(chunk.length > 0 && chunk.length <= BufferRing::bufferSize);
                QCOMPARE(std::string(reinterpret_cast<const char*>(chunk.bytes), chunk.length),
                         expected.substr(std::size_t(request.offset), chunk.length));
                QVERIFY2(!request.fails, "the failed read went unnoticed");
            } catch (const Error& error) {
                QVERIFY2(request.fails, error.what());
                QCOMPARE(error.code(), ErrorCode::PictureChanged);
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
