// The main window: menus, tool bar, status bar and the documents' windows.
#pragma once

#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QUndoGroup;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class CVelmoraView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    QMdiArea* MdiArea() const { return m_pMdiArea; }
    CVelmoraView* ActiveView() const;
    QAction* Action(const QString& name) const;
    // Makes the document window the area shows as current the active one:
    // its Table Properties shown, the others' hidden.
    void SyncActiveView();

    // Sets the window's rectangle from the settings; ShowPlacement() then
    // shows it, maximised when the settings say so. Documents opened in
    // between are part of the window from its first showing.
    void RestorePlacement();
    void ShowPlacement();
    // The rectangle windows placed beside the main window align with.
    QRect PlacementFrame() const;
    // Writes "maximized" and, when not maximised, the rectangle (the
    // window's own, without the window manager's frame).
    void SavePlacement();

    // Brings the commands' enabled and checked states up to date.
    void UpdateMenus();
    // A page large enough to be slow in a browser says its size in the
    // status bar for as long as it is that large.
    void ShowPageSize(qint64 bytes);

    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);
    QStringList RecentFiles() const;

Q_SIGNALS:
    void NewRequested();
    void OpenRequested(const QString& path);
    void HelpRequested();
    // The program is closing: windows of its own beside the main window go.
    void Closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void OnSubWindowActivated(QMdiSubWindow* window);
    void OnOpen();
    void OnPrint();
    void OnPrintSetup();
    void OnAbout();
    void UpdateRecentMenu();
    void WriteRecentFiles(const QStringList& files);

    QMdiArea* m_pMdiArea;
    QPointer<CVelmoraView> m_pActiveView;
    QMenu* m_pFileMenu = nullptr;
    QMenu* m_pEditMenu = nullptr;
    QMenu* m_pAnimateMenu = nullptr;
    QMenu* m_pWindowMenu = nullptr;
    QList<QAction*> m_recentActions;
    QAction* m_pRecentSeparator = nullptr;
    QLabel* m_pPageSize = nullptr;
    QPrinter* m_pPrinter = nullptr;
    // The active document's undo stack drives Edit > Undo and Redo.
    QUndoGroup* m_pUndoGroup;
    bool m_bPlacementSaved = false;
    bool m_bStartMaximized = false;
};
