// A document window's document: the title it is shown under and the core
// document that holds its state and announces every change.
#pragma once

#include "core/document/velmora_document.h"

#include <QObject>
#include <QString>

class CVelmoraDoc : public QObject {
    Q_OBJECT
public:
    explicit CVelmoraDoc(QString title, QObject* parent = nullptr)
        : QObject(parent), m_strTitle(std::move(title)) {
        connect(&m_model, &VelmoraDocument::ModifiedChanged, this,
                [this] { Q_EMIT TitleChanged(DisplayTitle()); });
    }

    const QString& GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& title) {
        m_strTitle = title;
        Q_EMIT TitleChanged(DisplayTitle());
    }
    // The title with a "*" while the document has changes to save.
    QString DisplayTitle() const {
        return m_model.IsModified() ? m_strTitle + QLatin1Char('*') : m_strTitle;
    }
    // A document that was neither opened from a page nor saved yet.
    bool IsUntitled() const { return !m_model.HasFile(); }

    VelmoraDocument& Model() { return m_model; }
    const VelmoraDocument& Model() const { return m_model; }
    const CHtmlTable& Table() const { return m_model.Table(); }

Q_SIGNALS:
    void TitleChanged(const QString& displayTitle);

private:
    QString m_strTitle;
    VelmoraDocument m_model;
};
