// A document: one table page, its title and its state (the table, the page
// sets, the animations), with signals that windows follow.
#pragma once

#include "core/document/velmora_document.h"

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

    VelmoraDocument& Model() { return m_model; }
    const VelmoraDocument& Model() const { return m_model; }
    CHtmlTable& Table() { return m_model.Table(); }

    // Whoever changed the table says so; the views rewrite their page.
    void NotifyTableChanged() { Q_EMIT TableChanged(); }

Q_SIGNALS:
    void TitleChanged(const QString& title);
    void TableChanged();

private:
    QString m_strTitle;
    VelmoraDocument m_model;
};
