#include "core/document/preview_page_writer.h"

#include "core/document/velmora_document.h"

#include <QFileInfo>
#include <QTimer>

namespace {

// Pages up to this size are rewritten at every change; larger ones at most
// every kCoalesceMs while the user types.
constexpr qint64 kCoalesceFromBytes = 256 * 1024;
constexpr int kCoalesceMs = 150;

} // namespace

PreviewPageWriter::PreviewPageWriter(VelmoraDocument* doc, QObject* parent)
    : QObject(parent), m_pDoc(doc), m_pTimer(new QTimer(this)) {
    m_pTimer->setSingleShot(true);
    connect(m_pTimer, &QTimer::timeout, this, [this] { WriteNow(); });
    connect(doc, &VelmoraDocument::TableChanged, this, &PreviewPageWriter::OnTableChanged);
}

void PreviewPageWriter::OnTableChanged() {
    if (m_pDoc->Preview().IsEmpty())
        return; // nowhere to write yet
    if (m_nLastPageBytes >= kCoalesceFromBytes && m_lastWrite.isValid() &&
        m_lastWrite.elapsed() < kCoalesceMs) {
        if (!m_pTimer->isActive())
            m_pTimer->start(int(kCoalesceMs - m_lastWrite.elapsed()));
        return;
    }
    WriteNow();
}

void PreviewPageWriter::Flush() {
    if (m_pTimer->isActive())
        WriteNow();
}

void PreviewPageWriter::WriteNow(bool evenIfLarge) {
    m_pTimer->stop();
    m_lastWrite.start();
    const qint64 bytes = m_pDoc->Table().PageBytes(m_pDoc->Preview().page, QString());
    if (bytes > kLargestPreviewBytes && !evenIfLarge) {
        Q_EMIT HeldBack(bytes);
        return;
    }
    if (Status s = m_pDoc->WritePreviewPage(); !s) {
        Q_EMIT Failed(s.message());
        return;
    }
    m_nLastPageBytes = QFileInfo(m_pDoc->Preview().page).size();
    Q_EMIT Written(m_nLastPageBytes);
}
