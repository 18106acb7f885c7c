#include "core/imaging/palette_sampler.h"

#include "core/imaging/pan_counter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <mutex>
#include <thread>
#include <utility>

namespace {

constexpr int kCellBits = 5;
constexpr std::size_t kCellWords = (std::size_t(1) << (3 * kCellBits)) / 64;
// Frames a thread takes at a time from a source that may pan: a run of
// panned frames is counted whole every eight frames anyway (PanCounter).
constexpr int kPanFrames = 8;

} // namespace

int ThreadCount(int requested, int work) {
    const int n = requested > 0 ? requested : int(std::thread::hardware_concurrency());
    return std::clamp(n, 1, std::max(1, work));
}

PaletteSampler::PaletteSampler(FrameSource& source, EncodeControl& control)
    : m_source(source), m_control(control) {}

std::vector<int> PaletteSampler::ChooseSamples(int frameCount, QSize frameSize,
                                               std::size_t samplePixels) {
    const std::size_t framePixels =
        std::size_t(frameSize.width()) * std::size_t(frameSize.height());
    const std::size_t budget = std::max<std::size_t>(samplePixels, framePixels);
    const int sampled = int(std::min<std::size_t>(std::size_t(frameCount), budget / framePixels));
    std::vector<int> samples(std::size_t(std::max(sampled, 0)));
    for (int k = 0; k < sampled; ++k)
        samples[std::size_t(k)] = int((std::int64_t(k) * frameCount) / sampled);
    return samples;
}

int PaletteSampler::Steps(const FrameSource& source, int samples) {
    return source.IsRandomAccess() ? samples : source.FrameCount();
}

bool PaletteSampler::Count(const QImage& frame, ColorHistogram& histogram,
                           std::vector<std::uint64_t>& cells, std::uint64_t* frameCellCount) {
    return !frame.isNull() && histogram.AddFrame(frame) && CountCells(frame, cells, frameCellCount);
}

bool PaletteSampler::CountCells(const QImage& frame, std::vector<std::uint64_t>& cells,
                                std::uint64_t* frameCellCount) {
    constexpr int shift = 8 - kCellBits;
    const auto cellOf = [](QRgb c) {
        return (std::size_t(qRed(c) >> shift) << (2 * kCellBits)) |
               (std::size_t(qGreen(c) >> shift) << kCellBits) | std::size_t(qBlue(c) >> shift);
    };
    std::vector<std::uint64_t> mine(kCellWords, 0);
    if (frame.format() == QImage::Format_Indexed8 && !frame.colorTable().isEmpty()) {
        // The indices on the pixels looked at, then their colours' cells.
        std::array<bool, 256> seen{};
        for (int y = 0; y < frame.height(); y += 2) {
            const uchar* row = frame.constScanLine(y);
            for (int x = 0; x < frame.width(); x += 2)
                seen[row[x]] = true;
        }
        const QList<QRgb> table = frame.colorTable();
        for (int i = 0; i < 256; ++i) {
            if (!seen[std::size_t(i)])
                continue;
            const std::size_t cell = cellOf(i < table.size() ? table[i] : 0);
            mine[cell >> 6] |= std::uint64_t(1) << (cell & 63);
        }
    } else if (frame.format() != QImage::Format_RGB32 && frame.format() != QImage::Format_ARGB32) {
        const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
        return !rgb.isNull() && CountCells(rgb, cells, frameCellCount);
    } else {
        // The cells are looked at on every other row and column: the spread
        // is an estimate, and smooth pictures lose nothing by it.
        for (int y = 0; y < frame.height(); y += 2) {
            const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); x += 2) {
                const std::size_t cell = cellOf(row[x]);
                mine[cell >> 6] |= std::uint64_t(1) << (cell & 63);
            }
        }
    }
    std::uint64_t n = 0;
    for (std::size_t w = 0; w < kCellWords; ++w) {
        n += std::uint64_t(std::popcount(mine[w]));
        cells[w] |= mine[w];
    }
    *frameCellCount += n;
    return true;
}

bool PaletteSampler::RunFromStill(const std::vector<int>& samples) {
    const QSize size = m_source.FrameSize();
    QImage still = m_source.ScrollStill();
    if (still.isNull() || !m_source.IsRandomAccess() || size.width() % still.width() != 0 ||
        size.height() % still.height() != 0)
        return false;
    if (still.format() != QImage::Format_RGB32 && still.format() != QImage::Format_ARGB32)
        still = still.convertToFormat(QImage::Format_RGB32);
    if (still.isNull())
        return false; // no memory: the frames are counted as they come
    const int w = still.width(), h = still.height();
    const QString frameMemory =
        QStringLiteral("a %1 x %2 frame").arg(size.width()).arg(size.height());
    {
        EncodeControl::Timer timer(m_control, EncodeControl::Stage::Palette);
        const std::uint64_t times =
            std::uint64_t(size.width() / w) * std::uint64_t(size.height() / h) * samples.size();
        if (!m_control.Guard(frameMemory, [&] { m_histogram.AddFrame(still, times); }))
            return true;
    }
    // The spread of each sampled frame, on the pixels Count() looks at: frame
    // pixel (x, y) is still pixel ((x - u) mod w, (y - v) mod h).
    std::vector<std::uint64_t> cells(kCellWords, 0), mine(kCellWords);
    std::uint64_t frameCells = 0;
    constexpr int shift = 8 - kCellBits;
    for (const int index : samples) {
        if (m_control.Aborted())
            return true;
        {
            EncodeControl::Timer timer(m_control, EncodeControl::Stage::Palette);
            const QPoint offset = m_source.ScrollShift(index);
            const int x0 = int(((-std::int64_t(offset.x())) % w + w) % w);
            std::fill(mine.begin(), mine.end(), 0);
            for (int y = 0; y < size.height(); y += 2) {
                const int sy = int(((std::int64_t(y) - offset.y()) % h + h) % h);
                const auto* row = reinterpret_cast<const QRgb*>(still.constScanLine(sy));
                for (int x = 0, sx = x0; x < size.width(); x += 2) {
                    const QRgb c = row[sx];
                    const std::size_t cell = (std::size_t(qRed(c) >> shift) << (2 * kCellBits)) |
                                             (std::size_t(qGreen(c) >> shift) << kCellBits) |
                                             std::size_t(qBlue(c) >> shift);
                    mine[cell >> 6] |= std::uint64_t(1) << (cell & 63);
                    sx = (sx + 2) % w;
                }
            }
            for (std::size_t k = 0; k < kCellWords; ++k) {
                frameCells += std::uint64_t(std::popcount(mine[k]));
                cells[k] |= mine[k];
            }
        }
        if (index < 2) {
            // Whether the picture mostly stays is told from these two.
            const bool drawn = m_control.Guard(frameMemory, [&] {
                EncodeControl::Timer timer(m_control, EncodeControl::Stage::Draw);
                QImage frame;
                if (Status s = m_source.DrawFrame(index, &frame); !s) {
                    m_control.Fail(s);
                    return;
                }
                if (m_control.CheckFrame(frame, size, index))
                    m_first[index] = frame;
            });
            if (!drawn || m_control.Aborted())
                return true;
        }
        m_control.Step();
    }
    std::uint64_t animationCells = 0;
    for (const std::uint64_t word : cells)
        animationCells += std::uint64_t(std::popcount(word));
    m_nAnimationCells = int(animationCells);
    m_dFrameCells = samples.empty() ? 0 : double(frameCells) / double(samples.size());
    return true;
}

void PaletteSampler::Run(const std::vector<int>& samples, bool keep, int threads, bool fromStill) {
    if (fromStill && !keep && RunFromStill(samples))
        return;
    const int count = m_source.FrameCount();
    const int sampled = int(samples.size());
    const QSize size = m_source.FrameSize();
    const QString frameMemory =
        QStringLiteral("a %1 x %2 frame").arg(size.width()).arg(size.height());
    if (!m_control.Guard(QStringLiteral("the frames"),
                         [&] { m_kept.assign(keep ? count : 0, QImage()); }))
        return;
    std::vector<std::uint64_t> cells(kCellWords, 0);
    std::uint64_t frameCells = 0;

    if (m_source.IsRandomAccess()) {
        // Frames of a pan are counted by the strips that come into and go
        // out of view (see PanCounter), a thread taking a few frames one
        // after another at a time. Within 32 bits of pixels, where no count
        // saturates, the counts are those of counting every frame whole.
        const bool panned =
            sampled > 1 && m_source.MayPan() &&
            std::uint64_t(size.width()) * std::uint64_t(size.height()) * std::uint64_t(sampled) <=
                0xFFFFFFFFu;
        const int taken = panned ? kPanFrames : 1;
        std::atomic<int> next{0};
        std::mutex mergeMutex;
        RunOnThreads(ThreadCount(threads, sampled), [&](int) {
            ColorHistogram mine;
            PanCounter pans(mine);
            std::vector<std::uint64_t> myCells(kCellWords, 0);
            std::uint64_t myFrameCells = 0;
            QImage frame;
            for (int k = 0, end = 0;; ++k) {
                const bool follows = k < end;
                if (!follows) {
                    k = next.fetch_add(taken);
                    end = std::min(k + taken, sampled);
                }
                if (k >= sampled || m_control.Aborted())
                    break;
                const int index = samples[std::size_t(k)];
                const bool drawn = m_control.Guard(frameMemory, [&] {
                    {
                        EncodeControl::Timer timer(m_control, EncodeControl::Stage::Draw);
                        frame = QImage();
                        if (Status s = m_source.DrawFrame(index, &frame); !s) {
                            m_control.Fail(s);
                            return;
                        }
                        if (!m_control.CheckFrame(frame, size, index))
                            return;
                    }
                    EncodeControl::Timer timer(m_control, EncodeControl::Stage::Palette);
                    if (panned ? !pans.Add(frame, follows) ||
                                     !CountCells(frame, myCells, &myFrameCells)
                               : !Count(frame, mine, myCells, &myFrameCells))
                        m_control.FailOutOfMemory(frameMemory);
                });
                if (!drawn || m_control.Aborted())
                    break;
                // Each frame has its own slot; nothing else touches them now.
                if (keep)
                    m_kept[std::size_t(index)] = frame;
                if (index < 2)
                    m_first[index] = frame;
                m_control.Step();
            }
            EncodeControl::Timer timer(m_control, EncodeControl::Stage::Palette);
            if (!m_control.Guard(frameMemory, [&] {
                    if (!pans.Finish())
                        m_control.FailOutOfMemory(frameMemory);
                }))
                return;
            std::lock_guard lock(mergeMutex); // not the control's: a failure takes that
            m_control.Guard(QStringLiteral("the colour count"), [&] {
                // The first thread to finish hands its counts over whole:
                // merging into an empty histogram would give the same
                // entries after zeroing and walking a megabyte of cells.
                if (m_histogram.PixelCount() == 0 && m_histogram.ColorCount() == 0)
                    m_histogram = std::move(mine);
                else
                    m_histogram.Merge(mine);
            });
            for (std::size_t w = 0; w < kCellWords; ++w)
                cells[w] |= myCells[w];
            frameCells += myFrameCells;
        });
    } else {
        QImage frame;
        std::size_t s = 0;
        for (int i = 0; i < count && !m_control.Aborted(); ++i) {
            const bool ok = m_control.Guard(frameMemory, [&] {
                {
                    EncodeControl::Timer timer(m_control, EncodeControl::Stage::Draw);
                    if (Status status = m_source.DrawFrame(i, &frame); !status) {
                        m_control.Fail(status);
                        return;
                    }
                    if (!m_control.CheckFrame(frame, size, i))
                        return;
                }
                const bool sample = s < samples.size() && samples[s] == i;
                if (sample) {
                    EncodeControl::Timer timer(m_control, EncodeControl::Stage::Palette);
                    if (!Count(frame, m_histogram, cells, &frameCells))
                        m_control.FailOutOfMemory(frameMemory);
                    ++s;
                }
                // The source may draw the next frame into the same pixels.
                if (sample && keep) {
                    m_kept[std::size_t(i)] = frame.copy();
                    if (m_kept[std::size_t(i)].isNull())
                        m_control.FailOutOfMemory(frameMemory);
                }
                if (i < 2) {
                    m_first[i] = frame.copy();
                    if (m_first[i].isNull())
                        m_control.FailOutOfMemory(frameMemory);
                }
            });
            if (!ok || m_control.Aborted())
                break;
            m_control.Step();
        }
        m_source.Restart();
    }
    std::uint64_t animationCells = 0;
    for (const std::uint64_t w : cells)
        animationCells += std::uint64_t(std::popcount(w));
    m_nAnimationCells = int(animationCells);
    m_dFrameCells = sampled > 0 ? double(frameCells) / sampled : 0;
}
