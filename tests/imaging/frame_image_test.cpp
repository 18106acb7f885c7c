// Frames in memory of their own (huge pages above 2 MB): every pixel
// writable, copies independent, and the memory given back whole.
#include "core/base/huge_pages.h"
#include "core/imaging/frame_image.h"

#include <QPainter>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

class FrameImageSizes : public ::testing::TestWithParam<QSize> {};

TEST_P(FrameImageSizes, EveryPixelIsTheFramesOwn) {
    const QSize size = GetParam();
    QImage frame = NewFrameImage(size);
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(frame.size(), size);
    EXPECT_EQ(frame.format(), QImage::Format_RGB32);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(frame.constBits()) % 16, 0u);
    // The last pixel of the last row sits at the end of the memory: a short
    // mapping would fault here.
    frame.fill(qRgb(10, 20, 30));
    frame.setPixel(size.width() - 1, size.height() - 1, qRgb(1, 2, 3));
    {
        QPainter painter(&frame);
        painter.fillRect(0, 0, 1, 1, QColor(200, 0, 0));
    }
    const QImage copy = frame;
    frame.setPixel(0, size.height() - 1, qRgb(9, 9, 9));
    EXPECT_EQ(copy.pixel(0, size.height() - 1), qRgb(10, 20, 30));
    EXPECT_EQ(copy.pixel(0, 0), qRgb(200, 0, 0));
    EXPECT_EQ(frame.pixel(size.width() - 1, size.height() - 1), qRgb(1, 2, 3));
}

INSTANTIATE_TEST_SUITE_P(AroundAHugePage, FrameImageSizes,
                         ::testing::Values(QSize(2, 2), QSize(600, 400), QSize(1024, 512),
                                           QSize(1023, 513), QSize(1200, 800), QSize(3, 700000)));

// Many frames, each dropped before the next, under an address space a
// little larger than the process already has: memory not given back would
// run it out long before the last frame.
TEST(FrameImage, DroppedFramesGiveTheirMemoryBack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "sanitizers reserve more address space than any limit";
#endif
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const rlim_t room = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
        const rlimit limit{room, room};
        if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(3);
        for (int i = 0; i < 600; ++i) {
            void* frame =
                AllocateFrameMemory(std::size_t(1200) * std::size_t(800 + i % 7) * 4 + 64);
            if (!frame)
                _exit(1);
            static_cast<char*>(frame)[0] = 1;
            FreeFrameMemory(frame, std::size_t(1200) * std::size_t(800 + i % 7) * 4 + 64);
        }
        QImage last = NewFrameImage(QSize(1200, 800));
        _exit(last.isNull() ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
