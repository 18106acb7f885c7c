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
class PreviewPageWriter;

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
    // Puts Table Properties at the right edge of `mainFrame`, 150 pixels
    // below its top.
    void PlaceTableProperties(const QRect& mainFrame);
    void OnActivateView(bool activate);
    // View > Table Properties: shows and raises this document's window, or
    // hides it.
    void ShowTableProperties(bool show);

    CVelmoraDoc* GetDocument() const { return m_pDoc; }
    // The size of the preview page last written.
    qint64 PageBytes() const { return m_nPageBytes; }

    QString PreviewPageFile() const override { return PageFile(); }
    void RefreshPreview() override;
    int AnimationType() const override;
    void SetAnimationType(int type) override;

    // AnimationHost: the document's renderers, one per type.
    AnimationRenderer* CreateRenderer(int type) override;
    AnimationRenderer* Renderer(int type) const override;
    TablePro* GetTablePro() const { return m_pTablePro; }
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

    // Writes a table edit that is still waiting: edits of a large page are
    // written at most every 150 ms while the user types.
    void FlushPendingWrite();
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
    // Save, Discard or Cancel for a changed document being closed; tests
    // replace the question.
    enum class CloseAnswer { Save, Discard, Cancel };
    using CloseQuestion = std::function<CloseAnswer(QWidget* parent, const QString& question)>;
    static void SetCloseQuestion(CloseQuestion question);
    // Asks about unsaved changes and saves when told to. False when the
    // document must stay open (Cancel, or a save that failed).
    bool MaySaveChanges();

    // Takes a reopened page: its table, the GIFs beside it onto the preview,
    // and the animation its GIF records as the document's renderer. Returns
    // what could not be restored, one sentence each.
    QStringList RestorePage(const QString& pagePath, const PageContents& page);
    // The Velmora version that saved the reopened page's animation; empty
    // when its GIF does not say.
    QString SavedByVersion() const { return m_strSavedByVersion; }

Q_SIGNALS:
    void PreviewRefreshed();
    // For the main window's status bar.
    void StatusMessage(const QString& message);
    // The preview page was written: its size in bytes.
    void PageSizeChanged(qint64 bytes);
    // Table Properties was shown or hidden.
    void TablePropertiesVisibilityChanged(bool visible);
    // Save As wrote the document's set under a new name: its page.
    void SavedAs(const QString& pagePath);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Status Report(Status status);
    void OnPageWritten(qint64 bytes);
    void OnPageHeldBack(qint64 bytes);
    void KeepAboveMainWindow();
    void PutFileList(const QStringList& paths);

    CVelmoraDoc* m_pDoc;
    QMainWindow* m_pMainWindow;
    QString m_strDirectory;
    QPointer<TablePro> m_pTablePro;
    std::array<QPointer<AnimationDialog>, 7> m_animationDialogs;
    QString m_strPreviewBase;
    PreviewPageWriter* m_pPageWriter;
    qint64 m_nPageBytes = 0;
    bool m_bTiedToMainWindow = false;
    // The animation a reopened page's GIF records: the first window of its
    // type opens with these values instead of its starting ones.
    std::shared_ptr<const AnimationRecord> m_pRestoredAnimation;
    QString m_strSavedByVersion;
};
