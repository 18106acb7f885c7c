// What the renderer base guarantees every animation type: a save that runs
// out of memory ends with a message and keeps the previous file, frames a
// GIF cannot hold are refused before any work, and the notes every type
// gets.
#include "core/animation/animation_renderer.h"
#include "core/animation/animation_save.h"
#include "file_contents.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>
#include <new>

namespace {

class TestRenderer : public AnimationRenderer {
public:
    TestRenderer() : AnimationRenderer(16, 8) {}
    std::unique_ptr<AnimationRenderer> Clone() const override {
        return std::make_unique<TestRenderer>(*this);
    }
    AnimationKind Kind() const override { return AnimationKind::Unlisted; }
    void PrepareSave() override {
        if (m_bFailPrepare)
            throw std::bad_alloc();
        ChooseSeed();
    }
    int FrameCount() const override { return 3; }
    int FrameDelay(int index) const override { return index == 1 ? m_nDelay : 10; }
    void DrawFrame(int index, QImage* frame) const override {
        if (index == m_nFailAt)
            throw std::bad_alloc();
        frame->fill(qRgb(index * 60, 0, 0));
    }
    QStringList SaveNotes() const override { return m_ownNotes; }

    bool m_bFailPrepare = false;
    int m_nFailAt = -1;
    int m_nDelay = 10;
    QStringList m_ownNotes;
};

class RendererBase : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.filePath(QStringLiteral("a.gif"));
        ASSERT_TRUE(WriteAll(m_path, "old"));
        m_renderer.SetAnimationGifPath(m_path);
    }
    void ExpectUntouched() {
        EXPECT_EQ(ReadAll(m_path), QByteArray("old"));
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"a.gif"});
    }

    QTemporaryDir m_dir;
    QString m_path;
    TestRenderer m_renderer;
};

TEST_F(RendererBase, MemoryRunningOutWhileDrawingEndsTheSave) {
    for (int threads : {1, 2}) {
        m_renderer.m_nFailAt = 2;
        SaveOptions options;
        options.threads = threads;
        const Status s = SaveAnimation(m_renderer, options);
        ASSERT_FALSE(s);
        EXPECT_TRUE(s.message().startsWith(QStringLiteral("Not enough memory for")))
            << s.message().toStdString();
        ExpectUntouched();
    }
    m_renderer.m_nFailAt = -1;
    EXPECT_TRUE(SaveAnimation(m_renderer));
}

TEST_F(RendererBase, MemoryRunningOutWhilePreparingEndsTheSave) {
    m_renderer.m_bFailPrepare = true;
    const Status s = SaveAnimation(m_renderer);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().startsWith(QStringLiteral("Not enough memory for")));
    ExpectUntouched();
}

TEST_F(RendererBase, FramesBeyondTheGifLimitAreRefusedFirst) {
    m_renderer.SetFrameWidth(65536);
    m_renderer.m_nFailAt = 0; // never reached: nothing is drawn
    Status s = SaveAnimation(m_renderer);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("65535"))) << s.message().toStdString();
    m_renderer.SetFrameWidth(5);
    m_renderer.SetFrameHeight(std::numeric_limits<int>::max());
    s = SaveAnimation(m_renderer);
    ASSERT_FALSE(s);
    EXPECT_TRUE(s.message().contains(QStringLiteral("65535")));
    ExpectUntouched();
}

TEST_F(RendererBase, ShortDelaysAreNotedAfterTheTypesOwnNotes) {
    EXPECT_TRUE(m_renderer.AllSaveNotes().isEmpty());
    m_renderer.m_ownNotes = {QStringLiteral("own")};
    EXPECT_EQ(m_renderer.AllSaveNotes(), QStringList{QStringLiteral("own")});
    for (int delay : {0, 1}) {
        m_renderer.m_nDelay = delay;
        const QStringList notes = m_renderer.AllSaveNotes();
        ASSERT_EQ(notes.size(), 2) << delay;
        EXPECT_EQ(notes[0], QStringLiteral("own"));
        EXPECT_TRUE(notes[1].contains(QStringLiteral("10 hundredths"))) << notes[1].toStdString();
        EXPECT_TRUE(notes[1].contains(QString::number(delay)));
    }
    m_renderer.m_nDelay = 2;
    EXPECT_EQ(m_renderer.AllSaveNotes().size(), 1);
}

TEST(RendererSeed, ACopyTakenBeforeASaveDrawsWhatTheSaveDraws) {
    // The preview window draws a copy; the save that follows must take the
    // same seed, and the save after it a new one, which copies taken then
    // take too.
    TestRenderer r;
    std::uint32_t previous = 0;
    for (int save = 0; save < 3; ++save) {
        std::unique_ptr<AnimationRenderer> preview = r.Clone();
        preview->PrepareSave();
        r.PrepareSave();
        EXPECT_EQ(preview->GetLastSeed(), r.GetLastSeed()) << "save " << save;
        if (save > 0) {
            EXPECT_NE(r.GetLastSeed(), previous) << "save " << save;
        }
        previous = r.GetLastSeed();
    }
    r.SetFixedSeed(7u);
    r.PrepareSave();
    EXPECT_EQ(r.GetLastSeed(), 7u);
}

} // namespace
