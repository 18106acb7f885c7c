#include "core/imaging/color_histogram.h"

#include "core/imaging/color_sets.h"
#include "core/imaging/color_table.h"
#include "core/imaging/frame_image.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

namespace {

using color_table::HashOf;

// Ascending by colour. The colours are distinct 24-bit values (a cell's mean
// lies inside its cell), so two passes of a 12-bit radix sort give the order
// a comparison sort would, at a sixth of the time for a photograph's tens of
// thousands of colours; that sort is on the way to every palette.
void SortByColor(std::vector<ColorHistogram::Entry>& entries) {
    constexpr int kBits = 12;
    constexpr std::size_t kBuckets = std::size_t(1) << kBits;
    if (entries.size() < kBuckets) {
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.color < b.color; });
        return;
    }
    std::vector<ColorHistogram::Entry> spare(entries.size());
    std::vector<std::uint32_t> start(kBuckets + 1);
    for (const int shift : {0, kBits}) {
        std::fill(start.begin(), start.end(), 0);
        for (const auto& e : entries)
            ++start[((e.color >> shift) & (kBuckets - 1)) + 1];
        for (std::size_t b = 1; b <= kBuckets; ++b)
            start[b] += start[b - 1];
        for (const auto& e : entries)
            spare[start[(e.color >> shift) & (kBuckets - 1)]++] = e;
        entries.swap(spare);
    }
}

constexpr int kIdleRows = 8;

// A frame's colours while it has few, counted in a table of its own and
// handed to the histogram once the frame is done.
class FewColors {
public:
    // Counts the row from its start for as long as its colours are here (a
    // block of 16 pixels at a time); returns the pixels counted, and adds
    // the changes of colour among them to *changes.
    int CountRow(const QRgb* row, int w, int* changes) {
        int x0 = 0;
        for (; x0 + 16 <= w; x0 += 16) {
            std::size_t at[16];
            int missing = 0, changed = 0;
            for (int k = 0; k < 16; ++k) {
                const std::uint32_t c = row[x0 + k] & 0xFFFFFFu;
                at[k] = m_sets.Find(c, &missing);
                changed += int(x0 + k > 0 && c != (row[x0 + k - 1] & 0xFFFFFFu));
            }
            if (missing)
                return x0;
            *changes += changed;
            for (int k = 0; k < 16; ++k)
                ++m_sets.At(at[k]);
        }
        return x0;
    }
    // Takes the colour in, up to a palette's worth (a frame of more gains
    // little here); true when it was not here before.
    bool Put(std::uint32_t rgb) {
        if (m_nTaken >= 256 || !m_sets.Take(rgb, 0))
            return false;
        ++m_nTaken;
        return true;
    }
    template <typename Add> void Flush(Add add) const {
        for (std::size_t i = 0; i < ColorSets<std::uint64_t>::kSlots; ++i)
            if (m_sets.At(i) != 0)
                add(m_sets.Key(i), m_sets.At(i));
    }

private:
    ColorSets<std::uint64_t> m_sets;
    int m_nTaken = 0;
};

} // namespace

ColorHistogram::ColorHistogram() : m_keys(1u << 12, kEmpty), m_counts(1u << 12, 0) {}

ColorHistogram::ColorHistogram(Start start) : ColorHistogram() {
    if (start == Start::Cells)
        SwitchToCells();
}

void ColorHistogram::Grow() {
    color_table::Grow(m_keys, m_counts);
}

void ColorHistogram::SwitchToCells() {
    m_cells.assign(std::size_t(1) << (3 * kCellBits), Cell());
    const std::uint64_t pixels = m_nPixels;
    m_nUsed = 0;
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i] != kEmpty)
            AddToCell(m_keys[i], m_counts[i]);
    }
    m_nPixels = pixels;
    std::vector<std::uint32_t>().swap(m_keys);
    std::vector<std::uint32_t>().swap(m_counts);
}

inline ColorHistogram::Cell& ColorHistogram::CellOf(QRgb color) {
    constexpr int shift = 8 - kCellBits;
    return m_cells[(std::size_t(qRed(color) >> shift) << (2 * kCellBits)) |
                   (std::size_t(qGreen(color) >> shift) << kCellBits) |
                   std::size_t(qBlue(color) >> shift)];
}

void ColorHistogram::AddToCell(QRgb color, std::uint64_t count) {
    const int r = qRed(color), g = qGreen(color), b = qBlue(color);
    Cell& c = CellOf(color);
    if (c.n == 0)
        ++m_nUsed;
    c.r += std::uint64_t(r) * count;
    c.g += std::uint64_t(g) * count;
    c.b += std::uint64_t(b) * count;
    c.n += count;
    m_nPixels += count;
}

void ColorHistogram::Add(QRgb color, std::uint32_t count) {
    if (!m_cells.empty()) {
        AddToCell(color, count);
        return;
    }
    const std::uint32_t key = color & 0xFFFFFFu;
    std::uint32_t mask = std::uint32_t(m_keys.size() - 1);
    std::uint32_t slot = HashOf(key) & mask;
    while (m_keys[slot] != kEmpty) {
        if (m_keys[slot] == key) {
            const std::uint64_t sum = std::uint64_t(m_counts[slot]) + count;
            m_counts[slot] = std::uint32_t(std::min<std::uint64_t>(sum, 0xFFFFFFFFu));
            m_nPixels += count;
            return;
        }
        slot = (slot + 1) & mask;
    }
    m_keys[slot] = key;
    m_counts[slot] = count;
    m_nPixels += count;
    if (++m_nUsed > kExactLimit)
        SwitchToCells();
    else if (m_nUsed * 2 > m_keys.size())
        Grow();
}

bool ColorHistogram::AddFrame(const QImage& frame, std::uint64_t times) {
    // A count beyond 32 bits goes in as several, which adds up the same.
    const auto add = [this](QRgb color, std::uint64_t count) {
        for (; count > 0xFFFFFFFFu; count -= 0xFFFFFFFFu)
            Add(color, 0xFFFFFFFFu);
        Add(color, std::uint32_t(count));
    };
    if (frame.format() == QImage::Format_Indexed8 && !frame.colorTable().isEmpty()) {
        // Counted by index, then each index once as its colour.
        std::array<std::uint64_t, 256> counts{};
        const int w = frame.width();
        for (int y = 0; y < frame.height(); ++y) {
            const uchar* row = frame.constScanLine(y);
            for (int x = 0; x < w; ++x)
                ++counts[row[x]];
        }
        const QList<QRgb> table = frame.colorTable();
        for (int i = 0; i < 256; ++i)
            if (counts[std::size_t(i)] != 0)
                add(i < table.size() ? table[i] & 0xFFFFFFu : 0, counts[std::size_t(i)] * times);
        return true;
    }
    const QImage rgb = AsRgb32(frame);
    if (rgb.isNull() != frame.isNull())
        return false;
    // The sizes are read once: QImage's accessors are not inlined, and a
    // call per pixel cost as much as the counting.
    const int width = rgb.width(), height = rgb.height();
    // A frame of few colours is counted in a table of its own. Rows that
    // miss it though they bring no colour it can take in (their sets are
    // full: a photograph) soon end its use.
    std::unique_ptr<FewColors> few;       // made for the first row that tries it
    int idle = times > 0 ? 0 : kIdleRows; // a count of 0 still lists the colour
    // Long runs (a flat sky, stripes) are counted quicker by runs: the
    // table is tried on rows after a row of short ones.
    int changes = 0;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        const bool tried = idle < kIdleRows && changes * 8 > width;
        if (tried && !few)
            few = std::make_unique<FewColors>();
        changes = 0;
        int x = tried ? few->CountRow(row, width, &changes) : 0;
        if (x == width)
            continue;
        bool took = false;
        // Runs of one colour are common (stripes, flat areas): count them
        // with one table look-up.
        QRgb run = row[x] & 0xFFFFFFu;
        std::uint32_t length = 0;
        for (; x < width; ++x) {
            const QRgb c = row[x] & 0xFFFFFFu;
            if (c == run) {
                ++length;
                continue;
            }
            add(run, length * times);
            if (tried)
                took |= few->Put(run);
            ++changes;
            run = c;
            length = 1;
        }
        if (length)
            add(run, length * times);
        took |= tried && few->Put(run);
        if (tried && !took)
            ++idle;
    }
    if (few)
        few->Flush([&](QRgb color, std::uint64_t count) { add(color, count * times); });
    return true;
}

void ColorHistogram::Remove(QRgb color, std::uint64_t count) {
    if (!m_cells.empty()) {
        const int r = qRed(color), g = qGreen(color), b = qBlue(color);
        Cell& c = CellOf(color);
        count = std::min(count, c.n);
        c.r -= std::uint64_t(r) * count;
        c.g -= std::uint64_t(g) * count;
        c.b -= std::uint64_t(b) * count;
        c.n -= count;
        m_nPixels -= count;
        if (c.n == 0 && count > 0)
            --m_nUsed;
        return;
    }
    const std::uint32_t key = color & 0xFFFFFFu;
    const std::uint32_t mask = std::uint32_t(m_keys.size() - 1);
    for (std::uint32_t slot = HashOf(key) & mask; m_keys[slot] != kEmpty;
         slot = (slot + 1) & mask) {
        if (m_keys[slot] == key) {
            // The slot stays: a colour once counted keeps its place.
            count = std::min<std::uint64_t>(count, m_counts[slot]);
            m_counts[slot] -= std::uint32_t(count);
            m_nPixels -= count;
            return;
        }
    }
}

void ColorHistogram::Merge(const ColorHistogram& other) {
    if (!other.m_cells.empty()) {
        if (m_cells.empty())
            SwitchToCells();
        for (std::size_t i = 0; i < other.m_cells.size(); ++i) {
            const Cell& o = other.m_cells[i];
            if (o.n == 0)
                continue;
            Cell& c = m_cells[i];
            if (c.n == 0)
                ++m_nUsed;
            c.r += o.r, c.g += o.g, c.b += o.b, c.n += o.n;
        }
        m_nPixels += other.m_nPixels;
        return;
    }
    for (std::size_t i = 0; i < other.m_keys.size(); ++i) {
        if (other.m_keys[i] != kEmpty)
            Add(other.m_keys[i], other.m_counts[i]);
    }
}

std::vector<ColorHistogram::Entry> ColorHistogram::Entries() const {
    std::vector<Entry> entries;
    entries.reserve(m_nUsed);
    for (const Cell& c : m_cells) {
        if (c.n == 0)
            continue;
        const auto mean = [&](std::uint64_t sum) { return int((sum + c.n / 2) / c.n); };
        entries.push_back({qRgb(mean(c.r), mean(c.g), mean(c.b)) & 0xFFFFFFu,
                           std::uint32_t(std::min<std::uint64_t>(c.n, 0xFFFFFFFFu))});
    }
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        if (m_keys[i] != kEmpty)
            entries.push_back({m_keys[i], m_counts[i]});
    }
    // A colour's slot depends on the order the colours came in, which with
    // several threads is the order their frames happened to finish; the
    // quantiser and the refinement break ties by position, so the entries
    // go out in colour order whatever the order of counting.
    SortByColor(entries);
    return entries;
}
