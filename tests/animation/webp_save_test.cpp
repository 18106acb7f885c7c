// The GIF and the WebP saved side by side: one progress for the two, and a
// cancel or failure of either leaving both previous files as they were.
#include "core/animation/moving_stripes_renderer.h"
#include "core/animation/rubber_clouds_renderer.h"
#include "core/animation/webp_save.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/webp_reader.h"
#include "file_contents.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <mutex>

namespace {

// Called from both saves' threads at once; cancels once `stopAt` is reached.
class Recorder : public ProgressSink {
public:
    explicit Recorder(int stopAt) : m_stopAt(stopAt) {}
    bool Progress(int done, int total) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++calls;
        last = {done, total};
        return m_stopAt < 0 || done < m_stopAt;
    }
    std::mutex m_mutex;
    int calls = 0;
    std::pair<int, int> last{0, 0};

private:
    int m_stopAt;
};

} // namespace

TEST(WebpSave, BothFilesTogetherWithOneProgressOrNeither) {
    QTemporaryDir dir;
    const QString gif = dir.filePath(QStringLiteral("a.gif"));
    const QString webp = dir.filePath(QStringLiteral("a.webp"));
    ASSERT_TRUE(WriteAll(gif, "old gif"));
    ASSERT_TRUE(WriteAll(webp, "old webp"));
    MovingStripesRenderer renderer;
    renderer.SetAnimationGifPath(gif);
    renderer.PrepareSave();

    for (int stopAt : {1, 7}) {
        Recorder cancel(stopAt);
        SaveOptions options;
        options.progress = &cancel;
        const Status s = WriteAnimatedGifAndWebp(renderer, options, WebpSaveOptions());
        EXPECT_FALSE(s.ok()) << stopAt;
        EXPECT_EQ(s.message(), CancelledMessage()) << s.message().toStdString();
        EXPECT_EQ(ReadAll(gif), QByteArray("old gif"));
        EXPECT_EQ(ReadAll(webp), QByteArray("old webp"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    }

    Recorder whole(-1);
    SaveOptions options;
    options.progress = &whole;
    WebpSaveOptions webpOptions;
    webpOptions.progress = &whole; // the same sink, as the windows pass it: counted once
    ASSERT_TRUE(WriteAnimatedGifAndWebp(renderer, options, webpOptions).ok());
    // The count covers both files and ends full.
    EXPECT_EQ(whole.last.first, whole.last.second);
    EXPECT_GT(whole.last.second, renderer.FrameCount() * 2);
    GifAnimation savedGif;
    WebpAnimation savedWebp;
    ASSERT_TRUE(ReadGif(gif, &savedGif).ok());
    ASSERT_TRUE(ReadWebp(webp, &savedWebp, false).ok());
    EXPECT_EQ(savedWebp.durations.size(), savedGif.frames.size());
    EXPECT_TRUE(savedWebp.record.startsWith("type=moving-stripes"));
}

// Saved together, the frames are drawn once for both files; each file must
// still be what its own save writes, the cells cut from the WebP's frames
// never reaching the GIF's.
TEST(WebpSave, BothFilesAreWhatEachSaveWritesAlone) {
    QTemporaryDir dir;
    RubberCloudsRenderer renderer;
    renderer.SetFrameWidth(90);
    renderer.SetFrameHeight(70);
    auto mask = std::make_shared<CellMask>(90, 70);
    for (int y = 10; y < 30; ++y)
        for (int x = 20; x < 60; ++x)
            mask->SetCell(x, y, true);
    for (MaskMode mode : {MaskMode::None, MaskMode::MergedIntoFrames}) {
        renderer.SetMask(mode, mask);
        renderer.SetAnimationGifPath(dir.filePath(QStringLiteral("alone.gif")));
        renderer.PrepareSave();
        ASSERT_TRUE(WriteAnimation(renderer).ok());
        WebpSaveOptions fast;
        fast.losslessEncoder = WebpLosslessEncoder::Fast;
        ASSERT_TRUE(
            WriteAnimatedWebp(renderer, dir.filePath(QStringLiteral("alone.webp")), fast).ok());
        for (int threads : {1, 2}) {
            SaveOptions options;
            options.threads = threads;
            renderer.SetAnimationGifPath(dir.filePath(QStringLiteral("both.gif")));
            ASSERT_TRUE(WriteAnimatedGifAndWebp(renderer, options, WebpSaveOptions()).ok());
            EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("both.gif"))),
                      ReadAll(dir.filePath(QStringLiteral("alone.gif"))))
                << int(mode) << " " << threads;
            EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("both.webp"))),
                      ReadAll(dir.filePath(QStringLiteral("alone.webp"))))
                << int(mode) << " " << threads;
        }
    }
}
