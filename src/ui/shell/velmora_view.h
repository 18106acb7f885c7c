// The document's view: the preview page in an embedded browser, its Table
// Properties window, the page-set paths, Save, Save As and the clipboard
// commands.
#pragma once

#include "core/base/status.h"
#include "ui/animation/animation_host.h"
#include "ui/shell/preview_target.h"

#include <array>
#include <memory>

#include <QPointer>
#include <QWebEngineView>
#include <functional>

class CVelmoraDoc;
class TablePro;
struct PageContents;
struct AnimationRecord;
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
    // View > Table Properties: shows and raises this document's window, or
    // hides it.
    void ShowTableProperties(bool show);

    CVelmoraDoc* GetDocument() const { return m_pDoc; }

    QString PreviewPageFile() const override { return PageFile(); }
    void RefreshPreview() override;
    int AnimationType() const override;
    void SetAnimationType(int type) override;

    // AnimationHost: the document's renderers, one per type.
    AnimationRenderer* CreateRenderer(int type) override;
    AnimationRenderer* Renderer(int type) const override;
    TablePro* GetTablePro() const override { return m_pTablePro; }
    VelmoraDocument* Document() const override;
    QMainWindow* MainWindow() const override { return m_pMainWindow; }
    QString InstallationDirectory() const override { return m_strDirectory; }

    // Animate Table: closes the windows Table Properties opened, runs the
    // chooser and opens the chosen animation's window. From Table
    // Properties' button the window is kept there, else by the view.
    void OnAnimateTable(bool fromTablePro = false);
    // The window of a renderer type opened from the menu (renderer numbering).
    AnimationDialog* AnimationWindow(int type) const;
    AnimationDialog* CreateAnimationDialog(int rendererType);

    const QString& PageFile() const;
    const QString& GifFile() const;
    const QString& CellFile() const;
    const QString& SavedPageFile() const;
    const QString& SavedGifFile() const;
    const QString& SavedCellFile() const;

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
    // Yes/no questions (replacing files); tests replace them.
    using QuestionSink = std::function<bool(QWidget* parent, const QString& question)>;
    static void SetQuestionSink(QuestionSink sink);

    // Takes a reopened page: its table, the GIFs beside it onto the preview,
    // and the animation its GIF records as the document's renderer. Returns
    // what could not be restored, one sentence each.
    QStringList RestorePage(const QString& pagePath, const PageContents& page);
    // The Velmora version that saved the reopened page's animation; empty
    // when its GIF does not say.
    QString SavedByVersion() const { return m_strSavedByVersion; }

Q_SIGNALS:
    void PreviewRefreshed();

private:
    Status Report(Status status);
    void KeepAboveMainWindow();
    void PutFileList(const QStringList& paths);

    CVelmoraDoc* m_pDoc;
    QMainWindow* m_pMainWindow;
    QString m_strDirectory;
    QPointer<TablePro> m_pTablePro;
    std::array<QPointer<AnimationDialog>, 7> m_animationDialogs;
    QString m_strPreviewBase;
    bool m_bTiedToMainWindow = false;
    // The animation a reopened page's GIF records: the first window of its
    // type opens with these values instead of its starting ones.
    std::shared_ptr<const AnimationRecord> m_pRestoredAnimation;
    QString m_strSavedByVersion;
};
