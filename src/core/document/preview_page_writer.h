// Keeps a document's preview page in step with its table: every change is
// written at once while the page is small, and at most every 150 ms while a
// large page is being typed, so a grid of thousands of cells does not write
// megabytes at each keystroke. A page over kLargestPreviewBytes is not
// written while the table is edited (typing 100000 rows passes through 10000
// on the way): the preview keeps the last page a browser can show, and
// WriteNow(true) writes it all the same when the file itself is wanted.
#pragma once

#include <QElapsedTimer>
#include <QObject>

class QTimer;
class VelmoraDocument;

class PreviewPageWriter : public QObject {
    Q_OBJECT
public:
    explicit PreviewPageWriter(VelmoraDocument* doc, QObject* parent = nullptr);

    static constexpr qint64 kLargestPreviewBytes = 8 * 1024 * 1024;

    // Writes now, whatever is waiting; a page too large to preview only
    // with `evenIfLarge`.
    void WriteNow(bool evenIfLarge = false);
    // Writes a change that is still waiting; nothing when none is.
    void Flush();
    qint64 LastPageBytes() const { return m_nLastPageBytes; }

Q_SIGNALS:
    // The page was written: its size in bytes.
    void Written(qint64 bytes);
    // The page could not be written: the message for the user.
    void Failed(const QString& message);
    // The page would be `bytes` long, too large to preview: not written.
    void HeldBack(qint64 bytes);

private:
    void OnTableChanged();

    VelmoraDocument* m_pDoc;
    QTimer* m_pTimer;
    QElapsedTimer m_lastWrite;
    qint64 m_nLastPageBytes = 0;
};
