#include "core/imaging/webp_container.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kRiffHeaderSize = 12;
constexpr int kChunkHeaderSize = 8;
constexpr int kAnmfHeaderSize = 16;
// VP8X flags.
constexpr std::uint8_t kAnimationFlag = 0x02;
constexpr std::uint8_t kXmpFlag = 0x04;
constexpr std::uint8_t kAlphaFlag = 0x10;
// Where the header's late values go: the RIFF size, the VP8X flags.
constexpr qint64 kRiffSizeAt = 4;
constexpr qint64 kVp8xFlagsAt = kRiffHeaderSize + kChunkHeaderSize;

void PutLE(QByteArray* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->append(char((value >> (8 * i)) & 0xFF));
}

std::uint32_t GetLE(const char* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint32_t(std::uint8_t(p[i])) << (8 * i);
    return value;
}

QByteArray ChunkHeader(const char* tag, std::uint32_t size) {
    QByteArray header(tag, 4);
    PutLE(&header, size, 4);
    return header;
}

// A chunk's bytes on disk: header, payload, and a pad byte after an odd one.
QByteArray Chunk(const char* tag, const QByteArray& payload) {
    QByteArray chunk = ChunkHeader(tag, std::uint32_t(payload.size()));
    chunk += payload;
    if (payload.size() & 1)
        chunk.append('\0');
    return chunk;
}

QByteArray Vp8xChunk(std::uint8_t flags, QSize canvas) {
    QByteArray payload;
    PutLE(&payload, flags, 4);
    PutLE(&payload, std::uint32_t(canvas.width() - 1), 3);
    PutLE(&payload, std::uint32_t(canvas.height() - 1), 3);
    return Chunk("VP8X", payload);
}

} // namespace

bool WebpByteSink::Append(const char* data, qint64 size) {
    m_pBytes->append(data, qsizetype(size));
    return true;
}

bool WebpByteSink::Overwrite(qint64 offset, const char* data, qint64 size) {
    if (offset < 0 || offset + size > m_pBytes->size())
        return false;
    std::memcpy(m_pBytes->data() + offset, data, std::size_t(size));
    return true;
}

WebpContainerWriter::WebpContainerWriter(Sink* sink, QSize canvas, std::uint32_t background,
                                         int loops, bool xmp)
    : m_pSink(sink), m_canvas(canvas), m_nBackground(background), m_nLoops(loops), m_bXmp(xmp) {}

Status WebpContainerWriter::Parse(const QByteArray& still, Image* out) {
    const Status bad = Status::Error(QStringLiteral("The WebP encoder wrote a frame that is not "
                                                    "a WebP image"));
    if (still.size() < kRiffHeaderSize || !still.startsWith("RIFF") ||
        std::memcmp(still.constData() + 8, "WEBP", 4) != 0)
        return bad;
    qsizetype at = kRiffHeaderSize;
    while (at + kChunkHeaderSize <= still.size()) {
        const char* tag = still.constData() + at;
        const qsizetype size = qsizetype(GetLE(tag + 4, 4));
        const qsizetype disk = kChunkHeaderSize + size + (size & 1);
        if (size > still.size() - at - kChunkHeaderSize)
            return bad;
        // The last chunk's pad byte may be missing; it is written anyway.
        QByteArray chunk = still.mid(at, std::min(disk, still.size() - at));
        if (chunk.size() < disk)
            chunk.append('\0');
        const char* payload = tag + kChunkHeaderSize;
        if (std::memcmp(tag, "ALPH", 4) == 0) {
            out->alpha = chunk;
        } else if (std::memcmp(tag, "VP8 ", 4) == 0) {
            // A key frame: the start code, then 14-bit width and height.
            if (size < 10)
                return bad;
            out->size =
                QSize(int(GetLE(payload + 6, 2) & 0x3FFF), int(GetLE(payload + 8, 2) & 0x3FFF));
            out->image = chunk;
            out->hasAlpha = !out->alpha.isEmpty();
            return Status::Ok();
        } else if (std::memcmp(tag, "VP8L", 4) == 0) {
            // The signature byte, then 14 bits of width - 1 and of height - 1
            // and the bit that says alpha is used.
            if (size < 5)
                return bad;
            const std::uint32_t bits = GetLE(payload + 1, 4);
            out->size = QSize(int(bits & 0x3FFF) + 1, int((bits >> 14) & 0x3FFF) + 1);
            out->image = chunk;
            out->hasAlpha = ((bits >> 28) & 1) != 0;
            return Status::Ok();
        }
        // VP8X and anything else a still may hold are the animation's to say.
        at += disk;
    }
    return bad;
}

void WebpContainerWriter::Append(const QByteArray& bytes) {
    if (m_bSinkOk && !m_pSink->Append(bytes.constData(), bytes.size()))
        m_bSinkOk = false;
    m_nWritten += bytes.size();
}

void WebpContainerWriter::AppendHeader() {
    QByteArray header("RIFF", 4);
    PutLE(&header, 0, 4); // the size, once known
    header += "WEBP";
    header += Vp8xChunk(kAnimationFlag | (m_bXmp ? kXmpFlag : 0), m_canvas);
    QByteArray anim;
    PutLE(&anim, m_nBackground, 4);
    PutLE(&anim, std::uint32_t(m_nLoops), 2);
    header += Chunk("ANIM", anim);
    Append(header);
}

void WebpContainerWriter::AppendFrame(const Image& image, QPoint offset, int duration, bool blend) {
    const qsizetype size = kAnmfHeaderSize + image.alpha.size() + image.image.size();
    QByteArray frame = ChunkHeader("ANMF", std::uint32_t(size));
    PutLE(&frame, std::uint32_t(offset.x() / 2), 3);
    PutLE(&frame, std::uint32_t(offset.y() / 2), 3);
    PutLE(&frame, std::uint32_t(image.size.width() - 1), 3);
    PutLE(&frame, std::uint32_t(image.size.height() - 1), 3);
    PutLE(&frame, std::uint32_t(duration), 3);
    // Bit 1: replace rather than blend; bit 0 (dispose to the background)
    // stays clear.
    frame.append(char(blend ? 0 : 2));
    Append(frame);
    Append(image.alpha);
    Append(image.image);
    m_bAlpha = m_bAlpha || image.hasAlpha;
}

Status WebpContainerWriter::AddFrame(const QByteArray& still, QPoint offset, int duration,
                                     bool blend) {
    Image image;
    if (Status s = Parse(still, &image); !s)
        return s;
    ++m_nFrames;
    if (m_nFrames == 1) {
        m_first = std::move(image);
        m_firstOffset = offset;
        m_nFirstDuration = duration;
        m_bFirstBlend = blend;
        return Status::Ok();
    }
    if (m_nFrames == 2) {
        AppendHeader();
        AppendFrame(m_first, m_firstOffset, m_nFirstDuration, m_bFirstBlend);
        m_first = Image();
    }
    AppendFrame(image, offset, duration, blend);
    return Status::Ok();
}

Status WebpContainerWriter::Finish(const QByteArray& xmp) {
    if (m_nFrames == 0)
        return Status::Error(QStringLiteral("The WebP has no frames"));
    const QByteArray metadata = m_bXmp ? Chunk("XMP ", xmp) : QByteArray();
    if (m_nFrames == 1 && m_first.size == m_canvas) {
        // One frame over the whole canvas is a still image: a VP8X only
        // where there is something to flag.
        const std::uint8_t flags =
            std::uint8_t((m_bXmp ? kXmpFlag : 0) | (!m_first.alpha.isEmpty() ? kAlphaFlag : 0));
        QByteArray header("RIFF", 4);
        PutLE(&header, 0, 4);
        header += "WEBP";
        if (flags != 0)
            header += Vp8xChunk(flags | (m_first.hasAlpha ? kAlphaFlag : 0), m_canvas);
        Append(header);
        Append(m_first.alpha);
        Append(m_first.image);
        Append(metadata);
        m_first = Image();
    } else {
        if (m_nFrames == 1) {
            AppendHeader();
            AppendFrame(m_first, m_firstOffset, m_nFirstDuration, m_bFirstBlend);
            m_first = Image();
        }
        Append(metadata);
        if (m_bAlpha && m_bSinkOk) {
            const char flags = char(kAnimationFlag | (m_bXmp ? kXmpFlag : 0) | kAlphaFlag);
            m_bSinkOk = m_pSink->Overwrite(kVp8xFlagsAt, &flags, 1);
        }
    }
    if (m_nWritten - kChunkHeaderSize > 0xFFFFFFFFll)
        return Status::Error(QStringLiteral("The WebP would be larger than a WebP can be (4 GiB)"));
    QByteArray size;
    PutLE(&size, std::uint32_t(m_nWritten - kChunkHeaderSize), 4);
    if (m_bSinkOk)
        m_bSinkOk = m_pSink->Overwrite(kRiffSizeAt, size.constData(), size.size());
    return Status::Ok();
}
