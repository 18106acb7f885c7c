// Strokes closed Bezier outlines with a wide round pen (round caps and
// joins: every pixel within half the pen width of the curve), back to front:
// the outlines are given in the reverse of the order they would be painted,
// and each one only takes the pixels no later outline has taken. Once the
// frame is covered, the outlines still to come cannot show, and the caller
// can stop.
#pragma once

#include <QImage>
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

class WideRingPainter {
public:
    struct Point {
        double x;
        double y;
    };

    // Paints into *frame (RGB32, or Indexed8 with indices for colours),
    // which keeps its pixels where nothing is stroked. penWidth is the full
    // width of the pen.
    WideRingPainter(QImage* frame, double penWidth);

    // A chain of cubic Bezier segments: points 0..3 are the first segment,
    // 3..6 the second, and so on (1 + 3k points).
    void StrokeBeziers(const Point* points, int count, QRgb color);
    // A straight stroke from a to b (a capsule).
    void StrokeSegment(Point a, Point b, QRgb color);

    // Every pixel of the frame has been taken.
    bool Full() const { return m_nUncovered == 0; }
    std::int64_t Uncovered() const { return m_nUncovered; }
    // Paints every pixel still free: the background, given last, so that the
    // frame need not be cleared before the strokes.
    void FillFree(QRgb color);

    // Bands are worked out four rows at a time where the processor has AVX
    // (the default there), else two at a time; both give the same pixels.
    // Returns whether four at a time is now in use.
    static bool UseWideVectors(bool wide);

private:
    struct Span {
        int first;
        int last;
    };
    // Flattens into m_chain; a piece that cannot reach the frame ends the
    // chain there. inside: the piece's hull is known to be within reach.
    void FlattenCubic(const Point& p0, const Point& p1, const Point& p2, const Point& p3, int depth,
                      bool inside);
    void StrokeChain();
    // The straight part of a segment's stroke, without its round ends,
    // lengthened by the given amounts before a and after b; length is the
    // distance from a to b.
    void StrokeBand(Point a, Point b, double length, double extendA, double extendB, QRgb color);
    void StrokeDisc(Point p, QRgb color);
    // The rows y0..y1 of a band that is neither level nor upright.
    void SlantedRows(int y0, int y1, int c0, int c1, double ax, double ay, double dx, double dy,
                     double l2, double rl, double invDx, double invDy, QRgb color);
    void SlantedRowsWide(int y0, int y1, int c0, int c1, double ax, double ay, double dx,
                         double dy, double l2, double rl, double invDx, double invDy, QRgb color);
    static std::atomic<bool> s_bWide;
    // Paints the pixels of row y from x0 to x1 (inclusive, within the frame)
    // that are still free.
    void PaintFree(int y, int x0, int x1, QRgb color);
    // The same for a row that keeps its spans; and a row's free run cut in
    // two by a hole from a to b.
    void PaintSpans(int y, int x0, int x1, QRgb color);
    void SplitRun(int y, int a, int b);
    void RowFull(int y);

    // Pixels from..to of row y (none when to < from).
    void Fill(int y, int from, int to, QRgb color) {
        uchar* line = m_pBits + y * m_nStride;
        if (m_bBytes)
            FillBytes(line + from, to - from + 1, uchar(color));
        else
            std::fill(reinterpret_cast<QRgb*>(line) + from, reinterpret_cast<QRgb*>(line) + to + 1,
                      color);
    }
    // Most runs are a few pixels (the rings' new edges): two overlapping
    // stores instead of a call to memset, which cost a twentieth of a frame.
    static void FillBytes(uchar* p, int n, uchar value) {
        const std::uint64_t all = 0x0101010101010101ull * value;
        if (n > 8) {
            if (n > 16) {
                std::memset(p, value, std::size_t(n));
            } else {
                std::memcpy(p, &all, 8);
                std::memcpy(p + n - 8, &all, 8);
            }
        } else if (n >= 4) {
            const auto word = std::uint32_t(all);
            std::memcpy(p, &word, 4);
            std::memcpy(p + n - 4, &word, 4);
        } else if (n > 0) {
            // One to three pixels in four stores that cover them whatever
            // their number, without telling the numbers apart.
            p[0] = value;
            p[n - 1] = value;
            p[n / 2] = value;
            p[(n - 1) / 2] = value;
        }
    }

    uchar* m_pBits;
    qsizetype m_nStride;
    bool m_bBytes; // one byte a pixel
    int m_nWidth;
    int m_nHeight;
    double m_dRadius;
    double m_dJoinCosine;
    std::int64_t m_nUncovered;
    // Per row whose free pixels are not one run: the taken pixels as sorted,
    // disjoint, non-touching spans.
    std::vector<std::vector<Span>> m_taken;
    std::vector<int> m_free; // free pixels per row
    // Per row, the first and last free pixel (first > last once the row is
    // full): rings taken outside in leave each row's free pixels between the
    // two, so most rows of a band that lies over taken pixels are passed
    // over with two comparisons. Side by side, as every row of a stroke
    // reads both.
    // whole: the free pixels are exactly first..last, and the row's span
    // list is not kept (the taken pixels are the two ends).
    struct FreeRange {
        int first;
        int last;
        bool whole;
    };
    std::vector<FreeRange> m_freeRange;
    // A full row's range, and that of a row past a band's end.
    static constexpr FreeRange kFull{std::numeric_limits<int>::max(),
                                     std::numeric_limits<int>::min(), true};
    // A band's runs, painted after its rows are worked out, a batch at a
    // time: a call per run in the row loop spilled its dozen vector
    // constants around every call. A band paints each of its rows once, so
    // no run changes what another row of it finds free.
    class RunBatch {
    public:
        RunBatch(WideRingPainter* painter, QRgb color) : m_pPainter(painter), m_color(color) {}
        // Row y's run, kept when take is 1: stored either way, so that
        // which rows take one is not a branch.
        void Put(int y, int first, int last, int take) {
            m_runs[m_nRuns] = {y, first, last};
            m_nRuns += take;
        }
        // Paints the batch unless `room` more runs fit.
        void MakeRoom(int room) {
            if (m_nRuns > kBatch - room)
                Paint();
        }
        void Paint() {
            for (int k = 0; k < m_nRuns; ++k)
                m_pPainter->PaintFree(m_runs[k].y, m_runs[k].first, m_runs[k].last, m_color);
            m_nRuns = 0;
        }

    private:
        struct Run {
            int y, first, last;
        };
        static constexpr int kBatch = 64;
        WideRingPainter* m_pPainter;
        QRgb m_color;
        Run m_runs[kBatch];
        int m_nRuns = 0;
    };
    // The first and last row with a free pixel: the rings cover the frame
    // from its top and bottom edges inwards, so the rows of a stroke outside
    // these are not looked at one by one.
    int m_nFirstFreeRow;
    int m_nLastFreeRow;
    // Rows y0..y1 clamped to those that have free pixels; empty when y0 > y1.
    std::pair<int, int> FreeRows(int y0, int y1) const {
        return {std::max(y0, m_nFirstFreeRow), std::min(y1, m_nLastFreeRow)};
    }
    // Whether a shape reaching from x0 to x1 (inclusive) may find a free
    // pixel in row y.
    bool MayPaint(int y, int x0, int x1) const {
        const FreeRange& r = m_freeRange[std::size_t(y)];
        return x1 >= r.first && x0 <= r.last;
    }
    // The columns from x0 - 1 to x1 + 1, clamped to just outside the frame.
    std::pair<int, int> Columns(double x0, double x1) const;
    std::vector<Point> m_chain;
    std::vector<double> m_extend;
    std::vector<double> m_length;
    QRgb m_color = 0;
};
