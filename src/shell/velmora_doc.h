// A document: one table page. It holds no data of its own (the table lives
// in its Table Properties window) and has no file format; only its title.
#pragma once

#include <QObject>
#include <QString>

class CVelmoraDoc : public QObject {
    Q_OBJECT
public:
    explicit CVelmoraDoc(QString title, QObject* parent = nullptr)
        : QObject(parent), m_strTitle(std::move(title)) {}

    const QString& GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& title) {
        m_strTitle = title;
        Q_EMIT TitleChanged(title);
    }
    // New documents are "Untitled" followed by a number until saved.
    bool IsUntitled() const { return m_strTitle.left(8) == QLatin1String("Untitled"); }

Q_SIGNALS:
    void TitleChanged(const QString& title);

private:
    QString m_strTitle;
};
