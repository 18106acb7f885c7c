// Keeps a document's preview page in step with its table: every change is
// written at once while the page is small, and at most every 150 ms while a
// large page is being typed, so a grid of thousands of cells does not write
// megabytes at each keystroke.
#pragma once

#include <QElapsedTimer>
#include <QObject>

class QTimer;
class VelmoraDocument;

class PreviewPageWriter : public QObject {
    Q_OBJECT
public:
    explicit PreviewPageWriter(VelmoraDocument* doc, QObject* parent = nullptr);

    // Writes now, whatever is waiting.
    void WriteNow();
    // Writes a change that is still waiting; nothing when none is.
    void Flush();
    qint64 LastPageBytes() const { return m_nLastPageBytes; }

Q_SIGNALS:
    // The page was written: its size in bytes.
    void Written(qint64 bytes);
    // The page could not be written: the message for the user.
    void Failed(const QString& message);

private:
    void OnTableChanged();

    VelmoraDocument* m_pDoc;
    QTimer* m_pTimer;
    QElapsedTimer m_lastWrite;
    qint64 m_nLastPageBytes = 0;
};
