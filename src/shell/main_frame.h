// The main window: menus, tool bar, status bar and the documents' windows.
#pragma once

#include <QMainWindow>
#include <QPointer>

class QAction;
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
    CVelmoraView* ActiveView() const { return m_pActiveView; }
    QAction* Action(const QString& name) const;

    // Places the window from the settings, maximised or not.
    void RestorePlacement();
    // Writes "maximized" and, when not maximised, the rectangle.
    void SavePlacement();

    void AddRecentFile(const QString& path);
    QStringList RecentFiles() const;

Q_SIGNALS:
    void NewRequested();
    void OpenRequested(const QString& path);
    void HelpRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void UpdateMenus();
    void OnSubWindowActivated(QMdiSubWindow* window);
    void OnOpen();
    void OnPrint();
    void OnPrintSetup();
    void OnAbout();
    void UpdateRecentMenu();

    QMdiArea* m_pMdiArea;
    QPointer<CVelmoraView> m_pActiveView;
    QMenu* m_pFileMenu = nullptr;
    QMenu* m_pEditMenu = nullptr;
    QMenu* m_pAnimateMenu = nullptr;
    QMenu* m_pWindowMenu = nullptr;
    QList<QAction*> m_recentActions;
    QAction* m_pRecentSeparator = nullptr;
    QPrinter* m_pPrinter = nullptr;
    bool m_bPlacementSaved = false;
};
