#include <gtest/gtest.h>

#include <libheif/heif_cxx.h>

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

#include "TestImages.h"
#include "library/decoding/DecodeBudget.h"
#include "library/decoding/ImageDecoder.h"
#include "platform/RegularFile.h"

using namespace framlet;
using Failure = ImageDecoder::Failure;

namespace {

// One pixel, two colours, no extensions: GIF has no writer in Qt.
const QByteArray kTinyGif =
    QByteArray::fromHex("47494638396101000100800000000000ffffff2c00000000010001000002024401003b");

class ImageDecoderTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString screenshot(const QString& name, QSize size, const char* format) {
        EXPECT_TRUE(test::writeScreenshot(path(name), size, format));
        return path(name);
    }
    // Writes the bytes under the name; the file's path.
    QString bytes(const QString& name, const QByteArray& bytes) {
        EXPECT_TRUE(test::put(path(name), bytes));
        return path(name);
    }
    QString saved(const QString& name, const QImage& image, const char* format = nullptr) {
        EXPECT_TRUE(image.save(path(name), format));
        return path(name);
    }
    // A screenshot with ink in two opposite corners: no edge of it is of one colour.
    QString inkedToTheEdges(const QString& name, QSize size, const char* format) {
        QImage image = test::drawScreenshot(size);
        image.setPixelColor(0, 0, Qt::black);
        image.setPixelColor(size.width() - 1, size.height() - 1, Qt::black);
        return saved(name, image, format);
    }
    QTemporaryDir m_dir;
    DecodeBudget m_budget{DecodeBudget::processCapacity};
    const ImageDecoder m_decoder{m_budget};
};

TEST_F(ImageDecoderTest, DecodesEveryQtFormatByContentWhateverTheName) {
    const QList<QPair<QString, const char*>> files{
        {"a.png", "png"},      {"b.jpg", "jpeg"},           {"d.bmp", "bmp"},
        {"e.tiff", "tiff"},    {"jpeg inside.png", "jpeg"}, {"two\nlines.png", "png"},
        {"ünïcödé.PNG", "png"}};
    for (const auto& [name, format] : files) {
        const auto result = m_decoder.decode(screenshot(name, QSize(200, 120), format));
        EXPECT_TRUE(result.ok()) << name.toStdString() << ": " << result.message.toStdString();
        EXPECT_EQ(result.image.size(), QSize(200, 120)) << name.toStdString();
    }
    EXPECT_EQ(m_decoder.decode(bytes("tiny.gif", kTinyGif)).image.size(), QSize(1, 1));
}

TEST_F(ImageDecoderTest, ThumbnailsFitTheLongestSideAndAreNeverEnlarged) {
    for (const auto& [format, size, thumbnail] : {std::tuple{"png", QSize(100, 50), QSize(100, 50)},
                                                  {"png", QSize(1280, 800), QSize(320, 200)},
                                                  {"jpeg", QSize(800, 1600), QSize(160, 320)}}) {
        const QString file = screenshot(QString("shot.") + format, size, format);
        EXPECT_EQ(m_decoder.decodeThumbnail(file, 320).image.size(), thumbnail) << format;
    }
    // A sliver keeps one pixel rather than vanishing.
    EXPECT_EQ(ImageDecoder::resized(QImage(QSize(4000, 2), QImage::Format_RGB32), 320).size(),
              QSize(320, 1));
    EXPECT_TRUE(ImageDecoder::resized(QImage(), 320).isNull());
    EXPECT_TRUE(ImageDecoder::resized(QImage(QSize(10, 10), QImage::Format_RGB32), 0).isNull());
}

TEST_F(ImageDecoderTest, ReducedJpegDecodeKeepsThePicture) {
    const QString big = saved("big.jpg", test::drawScreenshot(QSize(1920, 1080)), "jpeg");
    const auto result = m_decoder.decodeThumbnail(big, 320);
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.image.size(), QSize(320, 180));
    // The dark title bar and the light page survive the reduced decode where they were.
    EXPECT_LT(qGray(result.image.pixel(160, 2)), 90);
    EXPECT_GT(qGray(result.image.pixel(10, 170)), 200);
}

TEST_F(ImageDecoderTest, FailuresAreToldApart) {
    EXPECT_EQ(m_decoder.decode(path("absent.png")).failure, Failure::missing);

    EXPECT_EQ(m_decoder.decode(bytes("empty.png", {})).failure, Failure::corrupt);
    QByteArray noise(4096, '\0');
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    EXPECT_EQ(m_decoder.decodeThumbnail(bytes("noise.png", noise), 320).failure, Failure::corrupt);
    EXPECT_EQ(m_decoder.decode(bytes("notes.txt", "just some text")).failure, Failure::unsupported);
    EXPECT_EQ(m_decoder.decode(m_dir.path()).failure, Failure::unsupported);

    const QString locked = screenshot("locked.png", {20, 20}, "png");
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    if (!QFile(locked).open(QIODevice::ReadOnly)) {  // root reads everything
        EXPECT_EQ(m_decoder.decode(locked).failure, Failure::unreadable);
    }
}

// A screenshot swapped for a FIFO between the folder's listing and the decoder's open: the open
// must neither wait for a writer nor read the FIFO. Links are not followed either.
TEST_F(ImageDecoderTest, OnlyRegularFilesAreOpenedAndNothingWaits) {
    const QString file = screenshot("swapped.png", {40, 30}, "png");
    const QByteArray encoded = QFile::encodeName(file);
    RegularFile::setBeforeOpenForTesting([&encoded](const QString&) {
        ::unlink(encoded.constData());
        ::mkfifo(encoded.constData(), 0600);
    });
    auto decoding = std::async(std::launch::async,
                               [this, file] { return m_decoder.decodeThumbnail(file, 320); });
    // Only a guard against hanging the suite: a blocked open is let go by a writer, and fails.
    const bool returned = decoding.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!returned) {
        ::close(::open(encoded.constData(), O_WRONLY | O_NONBLOCK));
    }
    const ImageDecoder::Result result = decoding.get();
    RegularFile::setBeforeOpenForTesting(nullptr);
    EXPECT_TRUE(returned) << "the open waited for a writer";
    EXPECT_EQ(result.failure, Failure::unsupported);

    const QString target = screenshot("target.png", {40, 30}, "png");
    ASSERT_TRUE(QFile::link(target, path("link.png")));
    EXPECT_EQ(m_decoder.decode(path("link.png")).failure, Failure::unsupported);
}

TEST_F(ImageDecoderTest, RecognitionGetsGreyPixelsWithinItsBudget) {
    // A 4K screenshot keeps every pixel; a larger one is scaled to what recognition needs.
    const auto uhd =
        m_decoder.decodeForRecognition(inkedToTheEdges("uhd.png", {3840, 2160}, "png"));
    ASSERT_TRUE(uhd.ok());
    EXPECT_EQ(uhd.image.size(), QSize(3840, 2160));
    EXPECT_EQ(uhd.image.format(), QImage::Format_Grayscale8);
    const auto large =
        m_decoder.decodeForRecognition(inkedToTheEdges("large.jpg", {6000, 4000}, "jpeg"));
    ASSERT_TRUE(large.ok());
    EXPECT_LE(qint64(large.image.width()) * large.image.height(), ImageDecoder::recognitionPixels);
    EXPECT_NEAR(double(large.image.width()) / large.image.height(), 1.5, 0.01);
    // Transparent areas read as they looked on screen: over white, not black.
    QImage shadow(40, 40, QImage::Format_ARGB32);
    shadow.fill(Qt::transparent);
    shadow.setPixelColor(0, 0, Qt::black);
    shadow.setPixelColor(39, 39, Qt::black);
    const auto read = m_decoder.decodeForRecognition(saved("shadow.png", shadow));
    EXPECT_EQ(qGray(read.image.pixel(20, 20)), 255);
}

TEST_F(ImageDecoderTest, RecognitionReadsWhatWasDrawnOnAHugeCanvasAtItsOwnSize) {
    QImage canvas(6000, 6000, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.fillRect(1000, 2000, 50, 40, Qt::black);
    painter.fillRect(3000, 2500, 30, 30, Qt::darkGray);
    painter.end();
    const auto drawn = m_decoder.decodeForRecognition(saved("canvas.png", canvas));
    ASSERT_TRUE(drawn.ok());
    // Not scaled, so its text keeps its size; a margin stays around what was drawn.
    EXPECT_EQ(drawn.image.size(), QSize(2030 + 64, 530 + 64));
    EXPECT_EQ(qGray(drawn.image.pixel(32, 32)), 0);
    EXPECT_EQ(qGray(drawn.image.pixel(31, 31)), 255);

    QImage blank(5000, 5000, QImage::Format_RGB32);
    blank.fill(Qt::blue);
    const auto nothing = m_decoder.decodeForRecognition(saved("blank.png", blank));
    EXPECT_TRUE(nothing.ok());
    EXPECT_TRUE(nothing.image.isNull());
}

// A lease that frees its bytes without waking the waiters would stop every decode for good; the
// test then fails within its deadline instead of hanging. The threads keep their state alive
// themselves, so they may be left waiting.
TEST(DecodeBudget, ConcurrentDecodesNeverHoldMoreThanTheCapAndAlwaysFinish) {
    struct Shared {
        DecodeBudget budget{100};
        std::atomic<qint64> held{0};
        std::atomic<qint64> most{0};
        QSemaphore finished;
    };
    const auto shared = std::make_shared<Shared>();
    constexpr int kThreads = 8;
    for (int i = 0; i < kThreads; ++i) {
        // 40 each, and one larger than the whole cap, which must wait to have it alone.
        const qint64 bytes = i == 3 ? 500 : 40;
        std::thread([shared, bytes] {
            for (int round = 0; round < 50; ++round) {
                const DecodeBudget::Lease lease = shared->budget.acquire(bytes);
                const qint64 now = shared->held += std::min<qint64>(bytes, 100);
                qint64 seen = shared->most;
                while (now > seen && !shared->most.compare_exchange_weak(seen, now)) {
                }
                std::this_thread::yield();
                shared->held -= std::min<qint64>(bytes, 100);
            }
            shared->finished.release();
        }).detach();
    }
    ASSERT_TRUE(shared->finished.tryAcquire(kThreads, 20000))
        << "decodes still waiting for bytes long after every lease was released";
    EXPECT_LE(shared->most.load(), 100);
    EXPECT_EQ(shared->budget.inUse(), 0);
}

TEST_F(ImageDecoderTest, HalfWrittenFilesAreCorruptNotPartialImages) {
    EXPECT_EQ(m_decoder.decode(bytes("cut.gif", kTinyGif.chopped(1))).failure, Failure::corrupt);
    for (const char* format : {"png", "jpeg", "bmp"}) {
        // The first part of a real image, as a screenshot tool leaves it mid-write.
        const QString name = "cut." + QLatin1String(format);
        const QByteArray whole = test::contents(screenshot(name, QSize(800, 600), format));
        const QString file = bytes(name, whole.left(whole.size() * 2 / 3));
        const auto full = m_decoder.decode(file);
        EXPECT_EQ(full.failure, Failure::corrupt) << format;
        EXPECT_TRUE(full.image.isNull()) << format;
        EXPECT_EQ(m_decoder.decodeThumbnail(file, 320).failure, Failure::corrupt) << format;
    }
    // Cut inside the end chunk's checksum: every pixel is there, but the file is not finished.
    const QByteArray png = test::contents(screenshot("end.png", {40, 30}, "png"));
    EXPECT_EQ(m_decoder.decode(bytes("end.png", png.chopped(2))).failure, Failure::corrupt);
    // A progressive JPEG holds several scans: one cut between them is still unfinished.
    QImageWriter writer(path("progressive.jpg"), "jpeg");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(test::drawScreenshot(QSize(800, 600))));
    const QByteArray whole = test::contents(path("progressive.jpg"));
    const QString cut = bytes("progressive.jpg", whole.left(whole.size() / 2));
    EXPECT_EQ(m_decoder.decode(cut).failure, Failure::corrupt);
}

TEST_F(ImageDecoderTest, BytesAfterTheImagesEndDoNotMatter) {
    // Cameras and phones append trailers and motion-photo videos; some tools pad with zeros.
    QByteArray video = QByteArray(
        "\0\0\0\x18"
        "ftypmp42",
        12);
    video.append(QByteArray(8192, '\0'));
    QRandomGenerator(3).fillRange(reinterpret_cast<quint32*>(video.data() + 12), 2048);
    const QList<QPair<QString, QByteArray>> files{
        {"trailer.png", test::contents(screenshot("t.png", {300, 200}, "png"))},
        {"motion.jpg", test::contents(screenshot("m.jpg", {300, 200}, "jpeg"))},
        {"padded.gif", kTinyGif},
    };
    for (const auto& [name, image] : files) {
        for (const QByteArray& extra : {video, QByteArray(100, '\0')}) {
            const auto result = m_decoder.decode(bytes(name, image + extra));
            EXPECT_TRUE(result.ok()) << name.toStdString() << ": " << result.message.toStdString();
            EXPECT_FALSE(result.image.isNull()) << name.toStdString();
        }
    }
}

TEST_F(ImageDecoderTest, HugeDimensionsAreRefusedBeforeDecoding) {
    const QByteArray end = QByteArray::fromHex("0000000049454e44ae426082");
    // Only the header: a reader that trusted it would try to allocate 3.6 GB.
    const QString bomb = bytes("bomb.png", test::pngHeader(30000, 30000) + end);
    EXPECT_EQ(m_decoder.decode(bomb).failure, Failure::tooLarge);
    EXPECT_EQ(m_decoder.decodeThumbnail(bomb, 320).failure, Failure::tooLarge);
    // Within the side limit but beyond the pixel budget.
    const QString wide = bytes("wide.png", test::pngHeader(32000, 4000) + end);
    EXPECT_EQ(m_decoder.decode(wide).failure, Failure::tooLarge);
}

// Writes a HEIC with libheif's own encoder; false when this libheif cannot encode.
bool writeHeic(const QString& path, const QImage& source) {
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    try {
        heif::Image image;
        image.create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB);
        image.add_plane(heif_channel_interleaved, rgb.width(), rgb.height(), 8);
        int stride = 0;
        uint8_t* plane = image.get_plane(heif_channel_interleaved, &stride);
        for (int y = 0; y < rgb.height(); ++y) {
            std::memcpy(plane + y * stride, rgb.constScanLine(y), size_t(rgb.width()) * 3);
        }
        heif::Context context;
        heif::Encoder encoder(heif_compression_HEVC);
        context.encode_image(image, encoder);
        context.write_to_file(QFile::encodeName(path).toStdString());
        return true;
    } catch (const heif::Error&) {
        return false;
    }
}

TEST_F(ImageDecoderTest, HeicDecodesAndACutHeicIsCorrupt) {
    const QString file = path("photo.heic");
    if (!writeHeic(file, test::drawScreenshot(QSize(640, 400)))) {
        GTEST_SKIP() << "this libheif has no HEVC encoder";
    }
    const auto full = m_decoder.decode(file);
    ASSERT_TRUE(full.ok()) << full.message.toStdString();
    EXPECT_EQ(full.image.size(), QSize(640, 400));
    EXPECT_LT(qGray(full.image.pixel(320, 3)), 90);  // the title bar
    EXPECT_EQ(m_decoder.decodeThumbnail(file, 320).image.size(), QSize(320, 200));

    const QByteArray whole = test::contents(file);
    EXPECT_EQ(m_decoder.decode(bytes("cut.heic", whole.left(whole.size() / 2))).failure,
              Failure::corrupt);

    // The same file claiming 60000 x 60000 pixels in its image-size property.
    QByteArray bomb = whole;
    const qsizetype ispe = bomb.indexOf("ispe");
    ASSERT_GT(ispe, 0);
    bomb.replace(ispe + 8, 8, QByteArray::fromHex("0000ea600000ea60"));
    EXPECT_EQ(m_decoder.decodeThumbnail(bytes("bomb.heic", bomb), 320).failure, Failure::tooLarge);
}

}  // namespace
