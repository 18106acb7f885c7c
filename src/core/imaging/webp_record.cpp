// Writes and finds the record in an XMP packet; the packet is untrusted when
// read, so only our one element is taken from it and anything malformed
// counts as no record.
#include "core/imaging/webp_record.h"

#include <QXmlStreamReader>

namespace {

constexpr char kRecordElement[] = "record";

// Text that XML carries as it is; otherwise (control characters XML 1.0 has
// no place for) the record goes as base64.
bool FitsXmlText(const QByteArray& text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\n' && c != '\t' && c != '\r')
            return false;
    }
    return QString::fromUtf8(text).toUtf8() == text;
}

QByteArray Escaped(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() + 16);
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        // A parser turns a bare CR into a line feed.
        case '\r':
            out += "&#13;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

QByteArray WebpRecordXmp(const QByteArray& record) {
    const bool plain = FitsXmlText(record);
    QByteArray xmp;
    xmp += "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
           " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "  <rdf:Description rdf:about=\"\" xmlns:velmora=\"";
    xmp += kWebpRecordNamespace;
    xmp += "\">\n   <velmora:";
    xmp += kRecordElement;
    xmp += plain ? ">" : " velmora:encoding=\"base64\">";
    xmp += plain ? Escaped(record) : record.toBase64();
    xmp += "</velmora:";
    xmp += kRecordElement;
    xmp += ">\n  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"r\"?>";
    return xmp;
}

QByteArray WebpRecordFromXmp(const QByteArray& xmp) {
    QXmlStreamReader reader(xmp);
    const QLatin1String ns(kWebpRecordNamespace);
    while (reader.readNext() != QXmlStreamReader::Invalid && !reader.atEnd()) {
        if (!reader.isStartElement() || reader.namespaceUri() != ns ||
            reader.name() != QLatin1String(kRecordElement))
            continue;
        const bool base64 =
            reader.attributes().value(ns, QLatin1String("encoding")) == QLatin1String("base64");
        const QString text = reader.readElementText();
        if (reader.hasError())
            return {};
        if (!base64)
            return text.toUtf8();
        auto decoded = QByteArray::fromBase64Encoding(text.toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        return decoded ? *decoded : QByteArray();
    }
    return {};
}
