#include "core/imaging/cell_mask.h"

#include <algorithm>

CellMask CellMask::FromImage(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    CellMask mask(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        std::uint8_t* out = mask.m_bits.data() + std::size_t(y) * mask.m_nWidth;
        for (int x = 0; x < rgb.width(); ++x) {
            // Nearer to white than to black in RGB distance: r+g+b > 382.5.
            out[x] = (qRed(row[x]) + qGreen(row[x]) + qBlue(row[x])) * 2 > 765 ? 1 : 0;
        }
    }
    return mask;
}

IndexedImage CellMask::ToIndexedImage(COLORREF cellColor) const {
    IndexedImage image(m_nWidth, m_nHeight);
    image.pixels = m_bits;
    image.palette = {qRgb(0, 0, 0), qRgb(RedOf(cellColor), GreenOf(cellColor), BlueOf(cellColor))};
    image.transparentIndex = 0;
    return image;
}

void MergeCellMask(IndexedImage& frame, const CellMask& mask) {
    const int w = std::min(frame.width, mask.Width());
    const int h = std::min(frame.height, mask.Height());
    for (int y = 0; y < h; ++y) {
        std::uint8_t* out = frame.Row(y);
        const std::uint8_t* cell = mask.Row(y);
        for (int x = 0; x < w; ++x) {
            if (cell[x])
                out[x] = 0;
        }
    }
    frame.transparentIndex = 0;
}
