// An animated WebP's container written as its frames come, so that a save
// holds only the frames in flight, never the whole file: the RIFF header,
// VP8X and ANIM first, an ANMF chunk per frame, the XMP packet last; the
// file size and the alpha flag, known only at the end, are written over
// their places then. The bytes are the ones libwebpmux assembles from the
// same frames (a single frame covering the canvas becomes a still image, as
// there).
#pragma once

#include "core/base/status.h"

#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <cstdint>

class WebpContainerWriter {
public:
    // Where the bytes go: appended in order, and a few header bytes written
    // again over their places at the end. False when the bytes could not
    // be taken (the sink keeps the reason).
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual bool Append(const char* data, qint64 size) = 0;
        virtual bool Overwrite(qint64 offset, const char* data, qint64 size) = 0;
    };

    // background: 0xAARRGGBB; loops: 0 for forever; xmp: whether Finish()
    // will be given an XMP packet (its flag goes out with the header).
    WebpContainerWriter(Sink* sink, QSize canvas, std::uint32_t background, int loops, bool xmp);

    // still: one frame as a still WebP (RIFF, an optional VP8X, an optional
    // ALPH, then VP8 or VP8L), placed at offset (even coordinates) for
    // `duration` milliseconds; blend: drawn over the frame before rather
    // than replacing it. An error for a still that is not one; a sink that
    // failed shows in SinkOk().
    Status AddFrame(const QByteArray& still, QPoint offset, int duration, bool blend);
    // Ends the file with the XMP packet (when announced) and writes the
    // header's late values. An error for a file over a WebP's 4 GiB.
    Status Finish(const QByteArray& xmp);
    // Whether every byte so far reached the sink.
    bool SinkOk() const { return m_bSinkOk; }

private:
    struct Image {
        QByteArray alpha; // the ALPH chunk, header included, or empty
        QByteArray image; // the VP8 or VP8L chunk, header included
        QSize size;
        bool hasAlpha = false;
    };
    static Status Parse(const QByteArray& still, Image* out);
    void Append(const QByteArray& bytes);
    void AppendHeader();
    void AppendFrame(const Image& image, QPoint offset, int duration, bool blend);

    Sink* m_pSink;
    QSize m_canvas;
    std::uint32_t m_nBackground;
    int m_nLoops;
    bool m_bXmp;
    int m_nFrames = 0;
    bool m_bAlpha = false;
    bool m_bSinkOk = true;
    qint64 m_nWritten = 0;
    // The first frame waits for the second: alone it makes a still image.
    Image m_first;
    QPoint m_firstOffset;
    int m_nFirstDuration = 0;
    bool m_bFirstBlend = false;
};

// A sink into memory.
class WebpByteSink : public WebpContainerWriter::Sink {
public:
    explicit WebpByteSink(QByteArray* bytes) : m_pBytes(bytes) {}
    bool Append(const char* data, qint64 size) override;
    bool Overwrite(qint64 offset, const char* data, qint64 size) override;

private:
    QByteArray* m_pBytes;
};
