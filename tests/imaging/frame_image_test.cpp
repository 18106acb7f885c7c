// Frames in memory of their own (huge pages above 2 MB): every pixel
// writable, copies independent, and the memory given back whole.
#include "core/base/huge_pages.h"
#include "core/imaging/frame_image.h"

#include "sanitized_build.h"
#include <QPainter>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

// Indexed8 frames for types that draw few colours.
TEST(FrameImage, EightBitFramesHaveWholeLines) {
    for (const QSize size : {QSize(3, 1), QSize(601, 400), QSize(1200, 800)}) {
        QImage frame = NewFrameImage(size, QImage::Format_Indexed8);
        ASSERT_FALSE(frame.isNull());
        EXPECT_EQ(frame.format(), QImage::Format_Indexed8);
        EXPECT_EQ(frame.bytesPerLine() % 4, 0);
        frame.setColorTable({qRgb(0, 0, 0), qRgb(1, 1, 1), qRgb(2, 2, 2), qRgb(3, 3, 3),
                             qRgb(4, 4, 4), qRgb(5, 5, 5), qRgb(6, 6, 6), qRgb(7, 7, 7)});
        frame.fill(7);
        frame.setPixel(size.width() - 1, size.height() - 1, 3);
        EXPECT_EQ(frame.pixelIndex(0, 0), 7);
        EXPECT_EQ(frame.pixelIndex(size.width() - 1, size.height() - 1), 3);
    }
}

INSTANTIATE_TEST_SUITE_P(AroundAHugePage, FrameImageSizes,
                         ::testing::Values(QSize(2, 2), QSize(600, 400), QSize(1024, 512),
                                           QSize(1023, 513), QSize(1200, 800), QSize(3, 700000)));

namespace {

// The process's address space in pages (0 when it cannot be read).
long MappedPages() {
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    return pages;
}

} // namespace

// Many frames, each dropped before the next, under an address space a
// little larger than the process already has: memory not given back would
// run it out long before the last frame.
TEST(FrameImage, DroppedFramesGiveTheirMemoryBack) {
    if (kSanitizedBuild)
        GTEST_SKIP() << "sanitizers reserve more address space than any limit";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const long pages = MappedPages();
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
        // Frames below a huge page share slabs: three held at a time, the
        // oldest dropped as the next comes, so every slab empties in turn
        // (and the address space stays near what it was: the heap would
        // stand in for slabs that ran it out).
        const long before = MappedPages();
        constexpr std::size_t kSmall = std::size_t(1200) * 800 + 64;
        void* held[3] = {};
        for (int i = 0; i < 1200; ++i) {
            FreeFrameMemory(held[i % 3], kSmall);
            held[i % 3] = AllocateFrameMemory(kSmall);
            if (!held[i % 3])
                _exit(1);
            static_cast<char*>(held[i % 3])[kSmall - 1] = 1;
        }
        if ((MappedPages() - before) * sysconf(_SC_PAGESIZE) > (64l << 20))
            _exit(4);
        QImage last = NewFrameImage(QSize(1200, 800));
        _exit(last.isNull() ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Frames below a huge page held together never share a byte, whatever the
// order they are given back in and taken again.
TEST(FrameImage, SmallFramesHeldTogetherKeepTheirOwnPixels) {
    struct Block {
        std::size_t bytes;
        unsigned char* data;
    };
    std::vector<Block> held;
    auto take = [&](std::size_t bytes) {
        auto* data = static_cast<unsigned char*>(AllocateFrameMemory(bytes));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % 64, 0u);
        std::memset(data, int(held.size() % 251), bytes);
        held.push_back({bytes, data});
    };
    for (int k = 0; k < 24; ++k)
        take(std::size_t(130 + 97 * k) << 10); // 130 KB to 2.3 MB
    for (std::size_t k = 0; k < held.size(); k += 2) {
        FreeFrameMemory(held[k].data, held[k].bytes);
        held[k].data = nullptr;
    }
    for (int k = 0; k < 12; ++k)
        take(std::size_t(200 + 150 * k) << 10);
    for (std::size_t k = 0; k < held.size(); ++k) {
        if (!held[k].data)
            continue;
        const auto mark = static_cast<unsigned char>(k % 251);
        EXPECT_EQ(held[k].data[0], mark) << k;
        EXPECT_EQ(held[k].data[held[k].bytes / 2], mark) << k;
        EXPECT_EQ(held[k].data[held[k].bytes - 1], mark) << k;
        FreeFrameMemory(held[k].data, held[k].bytes);
    }
    ReleaseSpareFrameMemory();
}
