// The last stage of a save: frames finish in any order on the remap
// workers and are written to the GIF in order. It also hands out the frames
// to work on, at most `window` ahead of the last one written, so that memory
// stays bounded whatever the frame count.
#pragma once

#include "core/imaging/encode_control.h"
#include "core/imaging/gif_writer.h"

#include <cstdint>
#include <map>
#include <vector>

struct EncodedFrame {
    IndexedImage image;            // position, timing, transparency, local palette
    std::vector<std::uint8_t> lzw; // the pixels, compressed
};

class OrderedWriter {
public:
    OrderedWriter(GifWriter& writer, EncodeControl& control, int frameCount, int window);

    // The next frame to work on, or -1 when all are handed out or the save
    // was aborted. Waits while `window` frames are ahead of the writer.
    int Claim();
    // A finished frame; any thread, any order.
    void Put(int index, EncodedFrame frame);
    // Writes frames 0, 1, 2... as they arrive, on the calling thread, one
    // progress step each, until all are written or the save is aborted.
    void Run();

    int Written() const;

private:
    GifWriter& m_writer;
    EncodeControl& m_control;
    const int m_nCount;
    const int m_nWindow;
    // Under the control's lock:
    int m_nNextToClaim = 0;
    int m_nWritten = 0;
    std::map<int, EncodedFrame> m_ready;
};
