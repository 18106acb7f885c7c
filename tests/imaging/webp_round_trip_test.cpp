// The animated WebP writer checked through libwebp's own demuxer and
// decoder, and the reader that refuses what is not a sound WebP.
#include "core/animation/animation_record.h"
#include "core/base/atomic_file.h"
#include "core/base/limits.h"
#include "core/imaging/webp_reader.h"
#include "core/imaging/webp_writer.h"
#include "file_contents.h"

#include <webp/demux.h>
#include <webp/mux.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <utility>
#include <vector>

namespace {

// Frames of many colours (a ramp that moves a pixel a frame) or of two
// (a checkerboard that swaps), with the delays the test names.
class TestSource : public FrameSource {
public:
    TestSource(QSize size, std::vector<int> delays, bool fewColors = false)
        : m_size(size), m_delays(std::move(delays)), m_bFew(fewColors) {}
    int FrameCount() const override { return int(m_delays.size()); }
    QSize FrameSize() const override { return m_size; }
    int FrameDelay(int index) const override { return m_delays[std::size_t(index)]; }
    Status DrawFrame(int index, QImage* frame) override {
        ++drawn;
        if (index == failAt)
            return Status::Error(QStringLiteral("cancelled"));
        *frame = Expected(index);
        return Status::Ok();
    }
    QImage Expected(int index) const {
        QImage frame(m_size, QImage::Format_RGB32);
        for (int y = 0; y < m_size.height(); ++y)
            for (int x = 0; x < m_size.width(); ++x) {
                frame.setPixel(x, y,
                               m_bFew
                                   ? ((x + y + index) % 2 ? qRgb(200, 30, 40) : qRgb(10, 90, 250))
                                   : qRgb((x * 7 + index * 40) & 255, (y * 5 + index * 40) & 255,
                                          (x * y) & 255));
            }
        return frame;
    }
    std::atomic<int> drawn{0};
    int failAt = -1;

private:
    QSize m_size;
    std::vector<int> m_delays;
    bool m_bFew;
};

class StopAt : public ProgressSink {
public:
    explicit StopAt(int done) : m_n(done) {}
    bool Progress(int done, int) override { return done < m_n; }

private:
    int m_n;
};

struct Decoded {
    std::vector<QImage> frames; // ARGB32
    std::vector<int> durations;
    int loops = -1;
};

// libwebp's own decoding, independent of our reader.
Decoded DecodeWithLibwebp(const QByteArray& bytes) {
    Decoded out;
    WebPData data{reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                  std::size_t(bytes.size())};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    if (!decoder)
        return out;
    WebPAnimInfo info;
    WebPAnimDecoderGetInfo(decoder, &info);
    out.loops = int(info.loop_count);
    int previous = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        std::uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder, &canvas, &timestamp))
            break;
        out.frames.push_back(
            QImage(canvas, int(info.canvas_width), int(info.canvas_height), QImage::Format_RGBA8888)
                .convertToFormat(QImage::Format_ARGB32));
        out.durations.push_back(timestamp - previous);
        previous = timestamp;
    }
    WebPAnimDecoderDelete(decoder);
    return out;
}

QByteArray Encode(FrameSource& source, const WebpOptions& options, WebpStats* stats = nullptr) {
    QByteArray bytes;
    const Status s = EncodeAnimatedWebpData(source, options, nullptr, &bytes, stats);
    EXPECT_TRUE(s.ok()) << s.message().toStdString();
    return bytes;
}

} // namespace

// Lossless frames come back pixel for pixel, with their exact delays
// (including those a GIF's viewers would stretch), looping forever, drawn
// ahead on threads or one at a time; few colours through our own frame
// encoder, many through libwebp's.
TEST(WebpWriter, LosslessRoundTripKeepsFramesAndDelays) {
    for (const bool few : {false, true})
        for (int threads : {1, 4}) {
            TestSource source(QSize(37, 21), {0, 1, 7, 250, 3}, few);
            WebpOptions options;
            options.compression = WebpCompression::Lossless;
            options.threads = threads;
            options.losslessEncoder = WebpLosslessEncoder::Fast;
            WebpStats stats;
            const Decoded decoded = DecodeWithLibwebp(Encode(source, options, &stats));
            EXPECT_TRUE(stats.lossless);
            EXPECT_EQ(decoded.loops, 0);
            ASSERT_EQ(decoded.frames.size(), 5u) << threads;
            EXPECT_EQ(decoded.durations, (std::vector<int>{0, 10, 70, 2500, 30}));
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(decoded.frames[std::size_t(i)],
                          source.Expected(i).convertToFormat(QImage::Format_ARGB32))
                    << "frame " << i << " threads " << threads << (few ? " few colours" : "");
        }
}

// A merged mask makes the cells fully transparent and leaves the rest
// opaque, in both compressions (the alpha plane is kept losslessly).
TEST(WebpWriter, MergedMaskCellsAreTransparent) {
    CellMask mask(10, 6); // wider than the frame: only the overlap counts
    for (int y = 1; y < 4; ++y)
        for (int x = 2; x < 9; ++x)
            mask.SetCell(x, y, true);
    for (WebpCompression compression : {WebpCompression::Lossless, WebpCompression::Lossy}) {
        TestSource source(QSize(8, 8), {4, 4});
        WebpOptions options;
        options.compression = compression;
        options.mask = &mask;
        const Decoded decoded = DecodeWithLibwebp(Encode(source, options));
        ASSERT_EQ(decoded.frames.size(), 2u) << decoded.durations.size();
        for (const QImage& frame : decoded.frames)
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    const bool cell = y < 6 && mask.IsCell(x, y);
                    EXPECT_EQ(qAlpha(frame.pixel(x, y)), cell ? 0 : 255)
                        << x << "," << y << " lossless "
                        << (compression == WebpCompression::Lossless);
                }
    }
}

// Auto chooses lossless for frames of few colours and lossy for the rest;
// the reader sees which, and reads back the record and the delays.
TEST(WebpWriter, AutoCompressionAndRecordReadBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.webp"));
    const QByteArray record("type=flowing-clouds\nversion=1.2\nspeed=3\nseed=77\n");
    for (bool few : {true, false}) {
        TestSource source(QSize(64, 48), {5, 6, 7}, few);
        WebpOptions options;
        options.record = record;
        ASSERT_TRUE(EncodeAnimatedWebp(source, path, options).ok());
        WebpAnimation webp;
        const Status s = ReadWebp(path, &webp, true);
        ASSERT_TRUE(s.ok()) << s.message().toStdString();
        EXPECT_EQ(webp.lossless, std::vector<bool>(3, few));
        EXPECT_EQ(webp.durations, (std::vector<int>{50, 60, 70}));
        EXPECT_EQ(webp.record, record);
        EXPECT_EQ(webp.frames.size(), 3u);
        const std::optional<AnimationRecord> parsed = ParseAnimationRecord(webp.record);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->type, QStringLiteral("flowing-clouds"));
        EXPECT_EQ(parsed->seed, 77u);
    }
}

// Frames that repeat or change only in a small patch (at odd places, since
// a WebP frame starts on even ones) each keep a frame of their own with
// their own delay, so frame N is the GIF's frame N; the bytes are the same
// for any number of threads.
TEST(WebpWriter, OneFramePerFrameAndTheSameBytesForAnyThreads) {
    const QSize size(23, 17);
    TestSource base(size, {});
    const std::vector<int> shown{0, 0, 1, 1, -1, 1, 2};
    const auto expected = [&](int index) {
        if (shown[std::size_t(index)] >= 0)
            return base.Expected(shown[std::size_t(index)]);
        QImage patched = base.Expected(1);
        for (int y = 5; y < 8; ++y)
            for (int x = 11; x < 14; ++x)
                patched.setPixel(x, y, qRgb(1, 2, 3));
        return patched;
    };
    struct Source : FrameSource {
        std::function<QImage(int)> draw;
        QSize size;
        int FrameCount() const override { return 7; }
        QSize FrameSize() const override { return size; }
        int FrameDelay(int index) const override { return index + 1; }
        Status DrawFrame(int index, QImage* frame) override {
            *frame = draw(index);
            return Status::Ok();
        }
    } source;
    source.draw = expected;
    source.size = size;
    for (const auto& [compression, encoder] :
         {std::pair(WebpCompression::Lossless, WebpLosslessEncoder::Library),
          std::pair(WebpCompression::Lossless, WebpLosslessEncoder::Fast),
          std::pair(WebpCompression::Lossless, WebpLosslessEncoder::Smaller),
          std::pair(WebpCompression::Lossy, WebpLosslessEncoder::Library)}) {
        QByteArray first;
        for (int threads : {1, 2, 5}) {
            WebpOptions options;
            options.compression = compression;
            options.threads = threads;
            options.losslessEncoder = encoder;
            const QByteArray bytes = Encode(source, options);
            if (first.isEmpty())
                first = bytes;
            EXPECT_EQ(bytes, first) << threads;
        }
        WebpAnimation webp;
        ASSERT_TRUE(ReadWebpData(first, &webp, false).ok());
        EXPECT_EQ(webp.durations, (std::vector<int>{10, 20, 30, 40, 50, 60, 70}));
        const Decoded decoded = DecodeWithLibwebp(first);
        ASSERT_EQ(decoded.frames.size(), 7u);
        for (int i = 0; i < 7; ++i) {
            const QImage want = expected(i).convertToFormat(QImage::Format_ARGB32);
            if (compression == WebpCompression::Lossless) {
                EXPECT_EQ(decoded.frames[std::size_t(i)], want) << "frame " << i;
            } else {
                // Lossy frames are close, and the patch shows where it is.
                const QRgb got = decoded.frames[std::size_t(i)].pixel(12, 6);
                EXPECT_NEAR(qGreen(got), qGreen(want.pixel(12, 6)), 24) << "frame " << i;
            }
        }
    }
}

// By default the first frame picks the lossless encoder: the file is the
// smaller of ours and libwebp's, on hard-edged stripes and on noise of 200
// colours alike.
TEST(WebpWriter, LosslessEncoderChosenByTheSmallerFirstFrame) {
    struct OneFrame : FrameSource {
        QImage image;
        int FrameCount() const override { return 1; }
        QSize FrameSize() const override { return image.size(); }
        int FrameDelay(int) const override { return 10; }
        Status DrawFrame(int, QImage* frame) override {
            *frame = image;
            return Status::Ok();
        }
    };
    OneFrame stripes, noise;
    stripes.image = QImage(96, 40, QImage::Format_RGB32);
    noise.image = stripes.image.copy();
    std::uint32_t random = 12345;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 96; ++x) {
            stripes.image.setPixel(x, y, qRgb(((x * 3 + y * y) / 7 % 5) * 50, 40, 200));
            random = random * 1103515245u + 12345u;
            noise.image.setPixel(x, y, qRgb(int(random >> 24) % 200, 90, 30));
        }
    for (OneFrame* source : {&stripes, &noise}) {
        std::map<WebpLosslessEncoder, qsizetype> bytes;
        for (WebpLosslessEncoder encoder : {WebpLosslessEncoder::Fast, WebpLosslessEncoder::Library,
                                            WebpLosslessEncoder::Smaller}) {
            WebpOptions options;
            options.compression = WebpCompression::Lossless;
            options.losslessEncoder = encoder;
            bytes[encoder] = Encode(*source, options).size();
        }
        EXPECT_NE(bytes[WebpLosslessEncoder::Fast], bytes[WebpLosslessEncoder::Library]);
        EXPECT_EQ(bytes[WebpLosslessEncoder::Smaller],
                  std::min(bytes[WebpLosslessEncoder::Fast], bytes[WebpLosslessEncoder::Library]))
            << (source == &stripes ? "stripes" : "noise");
    }
}

// Auto keeps the smaller of lossless and lossy: a checkerboard of two
// colours is lossless, a soft noisy picture of no more than 256 colours
// (a scanned texture, clouds drawn in one ramp) is lossy.
TEST(WebpWriter, AutoKeepsTheSmallerCompression) {
    struct Noisy : FrameSource {
        int FrameCount() const override { return 3; }
        QSize FrameSize() const override { return QSize(96, 64); }
        int FrameDelay(int) const override { return 10; }
        Status DrawFrame(int index, QImage* frame) override {
            *frame = QImage(FrameSize(), QImage::Format_RGB32);
            std::uint32_t hash = 12345;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 96; ++x) {
                    hash = hash * 1103515245u + 12345u;
                    const int wave = int(70 * std::sin((x + index) / 9.0) * std::cos(y / 7.0));
                    const int g = std::clamp(128 + wave + int((hash >> 16) % 17) - 8, 0, 255);
                    frame->setPixel(x, y, qRgb(g, g / 2 + 60, 255 - g));
                }
            return Status::Ok();
        }
    } noisy;
    TestSource checkers(QSize(96, 64), {10, 10, 10}, true);
    for (FrameSource* source : std::initializer_list<FrameSource*>{&noisy, &checkers}) {
        std::map<WebpCompression, QByteArray> bytes;
        for (WebpCompression c :
             {WebpCompression::Auto, WebpCompression::Lossless, WebpCompression::Lossy}) {
            WebpOptions options;
            options.compression = c;
            bytes[c] = Encode(*source, options);
        }
        const bool losslessSmaller =
            bytes[WebpCompression::Lossless].size() <= bytes[WebpCompression::Lossy].size();
        EXPECT_EQ(losslessSmaller, source == &checkers);
        EXPECT_EQ(bytes[WebpCompression::Auto],
                  bytes[losslessSmaller ? WebpCompression::Lossless : WebpCompression::Lossy]);
    }
}

// The record sits in the XMP packet under our namespace, whatever its text
// holds (markup characters, a carriage return, a control character); files
// that carry it in the chunk of its own are still read, and another
// program's XMP is no record.
TEST(WebpWriter, RecordTravelsInTheXmpPacket) {
    TestSource source(QSize(8, 8), {5});
    for (const QByteArray& record :
         {QByteArray("type=dynamic-picture\npicture=/a&b/<c>.png\r\nseed=7\n"),
          QByteArray("type=x\nname=bell\x07\n")}) {
        WebpOptions options;
        options.record = record;
        const QByteArray bytes = Encode(source, options);
        EXPECT_TRUE(bytes.contains("XMP ")) << record.toStdString();
        EXPECT_FALSE(bytes.contains(kWebpRecordChunk));
        // The canvas chunk announces the metadata (its XMP flag).
        ASSERT_EQ(bytes.mid(12, 4), QByteArray("VP8X"));
        EXPECT_TRUE(bytes[20] & 0x04);
        WebpAnimation webp;
        ASSERT_TRUE(ReadWebpData(bytes, &webp, false).ok());
        EXPECT_EQ(webp.record, record);
    }

    const QByteArray plain = Encode(source, WebpOptions());
    const auto withChunk = [&](const char* fourcc, const QByteArray& payload) {
        WebPData in{reinterpret_cast<const std::uint8_t*>(plain.constData()),
                    std::size_t(plain.size())};
        WebPMux* mux = WebPMuxCreate(&in, 1);
        WebPData chunk{reinterpret_cast<const std::uint8_t*>(payload.constData()),
                       std::size_t(payload.size())};
        EXPECT_EQ(WebPMuxSetChunk(mux, fourcc, &chunk, 1), WEBP_MUX_OK);
        WebPData out;
        WebPDataInit(&out);
        EXPECT_EQ(WebPMuxAssemble(mux, &out), WEBP_MUX_OK);
        const QByteArray result(reinterpret_cast<const char*>(out.bytes), qsizetype(out.size));
        WebPDataClear(&out);
        WebPMuxDelete(mux);
        return result;
    };
    WebpAnimation webp;
    ASSERT_TRUE(
        ReadWebpData(withChunk(kWebpRecordChunk, "type=rubber-clouds\n"), &webp, false).ok());
    EXPECT_EQ(webp.record, QByteArray("type=rubber-clouds\n"));
    const QByteArray foreign("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
                             "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/>"
                             "</x:xmpmeta>");
    for (const QByteArray& xmp : {foreign, QByteArray("<not xml")}) {
        ASSERT_TRUE(ReadWebpData(withChunk("XMP ", xmp), &webp, false).ok());
        EXPECT_TRUE(webp.record.isEmpty());
    }
}

// Frames a WebP cannot hold are refused before one is drawn; a cancel or a
// frame that fails leaves the previous file exactly as it was.
// The file is written as the frames come, its header finished at the end;
// the bytes are the container libwebpmux makes of the same frames (it
// reassembles them unchanged), the file's the same as in memory: several
// frames lossless (blended where little changes) and lossy, with cells cut
// out (the alpha flag, known only at the end) or not, with and without a
// record, and one frame (a still image).
TEST(WebpWriter, TheContainerIsTheOneLibwebpmuxAssembles) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.webp"));
    CellMask mask(40, 30);
    for (int y = 3; y < 9; ++y)
        for (int x = 4; x < 20; ++x)
            mask.SetCell(x, y, true);
    for (const bool few : {true, false})
        for (const int frames : {1, 2, 5})
            for (const bool cells : {false, true})
                for (const bool record : {false, true}) {
                    std::vector<int> delays(std::size_t(frames), 4);
                    TestSource source(QSize(31, 23), delays, few);
                    WebpOptions options;
                    options.mask = cells ? &mask : nullptr;
                    options.record =
                        record ? QByteArray("type=rubber-clouds\nseed=5\n") : QByteArray();
                    const QByteArray bytes = Encode(source, options);
                    const std::string what = std::string(few ? "few" : "many") + " colours, " +
                                             std::to_string(frames) + " frames" +
                                             (cells ? ", cells" : "") + (record ? ", record" : "");
                    WebPData in{reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                std::size_t(bytes.size())};
                    WebPMux* mux = WebPMuxCreate(&in, 1);
                    ASSERT_NE(mux, nullptr) << what;
                    WebPData out;
                    WebPDataInit(&out);
                    EXPECT_EQ(WebPMuxAssemble(mux, &out), WEBP_MUX_OK) << what;
                    EXPECT_EQ(
                        QByteArray(reinterpret_cast<const char*>(out.bytes), qsizetype(out.size)),
                        bytes)
                        << what;
                    WebPDataClear(&out);
                    WebPMuxDelete(mux);
                    EXPECT_EQ(DecodeWithLibwebp(bytes).frames.size(), std::size_t(frames)) << what;
                    TestSource again(QSize(31, 23), delays, few);
                    ASSERT_TRUE(EncodeAnimatedWebp(again, path, options).ok()) << what;
                    EXPECT_EQ(ReadAll(path), bytes) << what;
                }
}

TEST(WebpWriter, RefusesOversizeAndKeepsPreviousFileOnFailure) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.webp"));
    const QByteArray previous("previous content");
    ASSERT_TRUE(WriteAll(path, previous));
    for (QSize size : {QSize(kMaxWebpSide + 1, 2), QSize(2, kMaxWebpSide + 1)}) {
        TestSource huge(size, {5});
        const Status s = EncodeAnimatedWebp(huge, path, WebpOptions());
        EXPECT_FALSE(s.ok());
        EXPECT_TRUE(s.message().contains(QStringLiteral("16383"))) << s.message().toStdString();
        EXPECT_EQ(huge.drawn.load(), 0);
    }
    TestSource failing(QSize(16, 16), {5, 5, 5, 5});
    failing.failAt = 2;
    EXPECT_FALSE(EncodeAnimatedWebp(failing, path, WebpOptions()).ok());
    TestSource cancelled(QSize(16, 16), {5, 5, 5, 5});
    StopAt stop(3);
    EXPECT_FALSE(EncodeAnimatedWebp(cancelled, path, WebpOptions(), &stop).ok());
    EXPECT_EQ(ReadAll(path), previous);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.webp")});
    // The disk filling at any write, the header's last ones at the end
    // included: the reason is told and the previous file stays.
    WebpOptions cut;
    CellMask mask(16, 16);
    mask.SetCell(3, 3, true);
    cut.mask = &mask; // so that the alpha flag is written at the end too
    int failures = 0;
    for (int nth = 1;; ++nth) {
        TestSource source(QSize(16, 16), {5, 5, 5, 5});
        AtomicFile::FailForTesting(nth, ENOSPC);
        const Status s = EncodeAnimatedWebp(source, path, cut);
        AtomicFile::FailForTesting(0, 0);
        if (s.ok())
            break;
        ++failures;
        EXPECT_TRUE(s.message().startsWith(QStringLiteral("Cannot write ") + path))
            << s.message().toStdString();
        EXPECT_TRUE(s.message().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))));
        EXPECT_EQ(ReadAll(path), previous) << "failing write " << nth;
        ASSERT_LT(nth, 100);
    }
    // Header, frames, the size and alpha flag over the header, the flush.
    EXPECT_GE(failures, 4 + 4);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.webp")});
}

// What is not a sound WebP is refused with a reason: another format, a cut
// file, damaged chunks, and a file whose frames would take more memory than
// the read may.
TEST(WebpReader, RefusesCorruptForeignAndOversizedFiles) {
    TestSource source(QSize(40, 30), {5, 5, 5});
    WebpOptions options;
    options.record = "type=moving-stripes\n";
    const QByteArray good = Encode(source, options);
    WebpAnimation webp;
    ASSERT_TRUE(ReadWebpData(good, &webp, true).ok());

    QByteArray damaged = good;
    damaged[16] = char(0x7f); // the first chunk's size
    // Lossless data is checked as it is decoded (lossy data decodes to
    // whatever the damage makes of it).
    WebpOptions lossless;
    lossless.compression = WebpCompression::Lossless;
    QByteArray badPixels = Encode(source, lossless);
    // Inside the first frame's pixel data, past its chunk and VP8L headers.
    const qsizetype pixels = badPixels.indexOf("VP8L") + 8 + 5 + 16;
    ASSERT_GT(pixels, 16);
    for (qsizetype i = pixels; i < pixels + 40; ++i)
        badPixels[i] = char(~badPixels[i]);
    const std::vector<std::pair<QByteArray, const char*>> cases{
        {QByteArray("GIF89a\x01\x00\x01\x00", 10), "not a WebP"},
        {good.left(good.size() - 7), "cut short"},
        {good.left(30), "cut short"},
        {damaged, ""},
        {badPixels, ""},
    };
    for (const auto& [bytes, reason] : cases) {
        const Status s = ReadWebpData(bytes, &webp, true, QStringLiteral("x.webp"));
        EXPECT_FALSE(s.ok()) << reason;
        EXPECT_TRUE(s.message().startsWith(QStringLiteral("Cannot read x.webp: ")))
            << s.message().toStdString();
        EXPECT_TRUE(s.message().contains(QLatin1String(reason))) << s.message().toStdString();
    }
    // 3 canvases of 40 x 30 are 14400 bytes: a smaller budget refuses the
    // pixels but still describes the file.
    const Status s = ReadWebpData(good, &webp, true, QStringLiteral("x.webp"), good.size() + 8000);
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(s.message().contains(QStringLiteral("more memory"))) << s.message().toStdString();
    EXPECT_TRUE(
        ReadWebpData(good, &webp, false, QStringLiteral("x.webp"), good.size() + 8000).ok());
    EXPECT_EQ(webp.record, QByteArray("type=moving-stripes\n"));
}
