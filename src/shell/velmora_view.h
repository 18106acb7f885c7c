// The document's view: the preview page in an embedded browser, its Table
// Properties window, the page-set paths, Save, Save As and the clipboard
// commands.
#pragma once

#include "animation/animation_host.h"
#include "page/status.h"
#include "shell/preview_target.h"

#include <array>
#include <memory>

#include <QPointer>
#include <QWebEngineView>
#include <functional>

class CVelmoraDoc;
class TablePro;
class QMainWindow;

class AnimationDialog;

class CVelmoraView : public QWebEngineView, public PreviewTarget, public AnimationHost {
    Q_OBJECT
public:
    CVelmoraView(CVelmoraDoc* doc, QMainWindow* mainWindow, QString directory,
                 QWidget* parent = nullptr);
    ~CVelmoraView() override;

    // Builds the preview set from the title, creates Table Properties and
    // loads the page.
    void OnInitialUpdate();
    void OnActivateView(bool activate);

    CVelmoraDoc* GetDocument() const { return m_pDoc; }

    QString PreviewPageFile() const override { return m_strPageFile; }
    void RefreshPreview() override;
    int AnimationType() const override { return m_nAnimationType; }
    void SetAnimationType(int type) override { m_nAnimationType = type; }

    // AnimationHost: the document's renderers, one per type.
    AnimationRenderer* CreateRenderer(int type) override;
    AnimationRenderer* Renderer(int type) const override;
    TablePro* GetTablePro() const override { return m_pTablePro; }
    QMainWindow* MainWindow() const override { return m_pMainWindow; }

    // Animate Table: closes the windows Table Properties opened, runs the
    // chooser and opens the chosen animation's window. From Table
    // Properties' button the window is kept there, else by the view.
    void OnAnimateTable(bool fromTablePro = false);
    // The window of a renderer type opened from the menu (renderer numbering).
    AnimationDialog* AnimationWindow(int type) const;
    AnimationDialog* CreateAnimationDialog(int rendererType);

    const QString& PageFile() const { return m_strPageFile; }
    const QString& GifFile() const { return m_strGifFile; }
    const QString& CellFile() const { return m_strCellFile; }
    const QString& SavedPageFile() const { return m_strSavedPageFile; }
    const QString& SavedGifFile() const { return m_strSavedGifFile; }
    const QString& SavedCellFile() const { return m_strSavedCellFile; }

    // Commands. They report failures in a message box and return them.
    Status OnFileSave();
    Status OnFileSaveAs();
    Status OnCopyAnimationFile();
    Status OnCopyCellPattern();
    Status OnCopyAll();
    Status OnCopyTableTag();

    // The file lists the clipboard commands put, in order.
    QStringList AnimationFileList() const;
    QStringList CellPatternFileList() const;
    QStringList AllFilesList() const;

    // The save dialog; tests replace it. Returns an empty path on cancel.
    using SavePathChooser = std::function<QString(QWidget* parent)>;
    static void SetSavePathChooser(SavePathChooser chooser);
    // Message boxes; tests replace them.
    using MessageSink = std::function<void(QWidget* parent, const QString& message)>;
    static void SetMessageSink(MessageSink sink);

Q_SIGNALS:
    void PreviewRefreshed();

private:
    Status SaveTo(const QString& imageName);
    Status Report(Status status);
    void PutFileList(const QStringList& paths);

    CVelmoraDoc* m_pDoc;
    QMainWindow* m_pMainWindow;
    QString m_strDirectory;
    QPointer<TablePro> m_pTablePro;
    std::array<std::unique_ptr<AnimationRenderer>, 7> m_renderers; // index: renderer type
    std::array<QPointer<AnimationDialog>, 7> m_animationDialogs;
    int m_nAnimationType = 0;
    QString m_strPageFile, m_strGifFile, m_strCellFile;
    QString m_strSavedPageFile, m_strSavedGifFile, m_strSavedCellFile;
};
