#include "ui/shell/main_frame.h"

#include "core/base/version.h"
#include "core/base/window_placement.h"
#include "ui/shell/lock_key_panes.h"
#include "ui/shell/table_pro.h"
#include "ui/shell/tool_icons.h"
#include "ui/shell/velmora_doc.h"
#include "ui/shell/velmora_settings.h"
#include "ui/shell/velmora_view.h"
#include "ui_about_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoGroup>
#include <QWebEnginePage>
#include <cstdlib>

namespace {

constexpr int kRecentFiles = 4;

} // namespace

CMainFrame::CMainFrame(QWidget* parent)
    : QMainWindow(parent), m_pMdiArea(new QMdiArea(this)), m_pUndoGroup(new QUndoGroup(this)) {
    setObjectName(QStringLiteral("mainFrame"));
    setWindowTitle(tr("Velmora"));
    setWindowIcon(ApplicationIcon());
    m_pMdiArea->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(m_pMdiArea);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    statusBar()->showMessage(tr("Ready"));
    // A pane of its own: menu prompts and "Ready" come and go over the
    // message area, the page's size stays.
    m_pPageSize = new QLabel(this);
    m_pPageSize->setObjectName(QStringLiteral("pageSizePane"));
    m_pPageSize->hide();
    statusBar()->addPermanentWidget(m_pPageSize);
    statusBar()->addPermanentWidget(new LockKeyPanes(this));
    connect(m_pMdiArea, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);
    UpdateMenus();
}

CMainFrame::~CMainFrame() {
    // The area outlives this part of the window and still reports
    // activations while its documents close.
    disconnect(m_pMdiArea, nullptr, this, nullptr);
    delete m_pPrinter;
}

CVelmoraView* CMainFrame::ActiveView() const {
    return m_pActiveView.data();
}

QAction* CMainFrame::Action(const QString& name) const {
    return findChild<QAction*>(name);
}

void CMainFrame::CreateActions() {
    struct ActionInfo {
        const char* name;
        const char* text;
        const char* tip;
        const char* icon;
        QKeySequence key;
    };
    const ActionInfo actions[] = {
        {"fileNew", "&New", "Create a new document", "document-new", QKeySequence::New},
        {"fileOpen", "&Open...", "Open an existing document", "document-open", QKeySequence::Open},
        {"fileClose", "&Close", "Close the active document", nullptr, QKeySequence()},
        {"fileSave", "&Save", "Save the active document", "document-save", QKeySequence::Save},
        {"fileSaveAs", "Save &As...", "Save the active document with a new name", nullptr,
         QKeySequence()},
        {"filePrint", "&Print...", "Print the active document", "document-print",
         QKeySequence::Print},
        {"filePrintSetup", "P&rint Setup...", "Change the printer and printing options", nullptr,
         QKeySequence()},
        {"appExit", "E&xit", "Quit the application", nullptr, QKeySequence::Quit},
        {"editUndo", "&Undo", "Undo the last action", "edit-undo", QKeySequence::Undo},
        {"editRedo", "&Redo", "Redo the previously undone action", "edit-redo", QKeySequence::Redo},
        {"editCut", "Cu&t", "Cut the selection and put it on the Clipboard", "edit-cut",
         QKeySequence::Cut},
        {"editCopy", "&Copy", "Copy the selection and put it on the Clipboard", "edit-copy",
         QKeySequence::Copy},
        {"editPaste", "&Paste", "Insert Clipboard contents", "edit-paste", QKeySequence::Paste},
        {"copyAnimationFile", "Copy Animation File", "Copy the animated gif file", "copy-animation",
         QKeySequence()},
        {"copyTableTag", "Copy Table Tag", "Copy the table html tag", "copy-table-tag",
         QKeySequence()},
        {"copyCellPattern", "Copy Cell Pattern", "Copy the Cell Pattern file", "copy-cell-pattern",
         QKeySequence()},
        {"copyAll", "Copy All", "Copy all the files associated with the table", "copy-all",
         QKeySequence()},
        {"animateTable", "Animate Table", "Add animation to the table", "animate-table",
         QKeySequence()},
        {"viewToolbar", "&Toolbar", "Show or hide the toolbar", nullptr, QKeySequence()},
        {"viewStatusBar", "&Status Bar", "Show or hide the status bar", nullptr, QKeySequence()},
        {"viewTableProperties", "Table &Properties", "Show or hide the Table Properties window",
         "table-properties", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {"windowNew", "&New Window", "Open another window for the active document", nullptr,
         QKeySequence()},
        {"windowCascade", "&Cascade", "Arrange windows so they overlap", nullptr, QKeySequence()},
        {"windowTile", "&Tile", "Arrange windows as non-overlapping tiles", nullptr,
         QKeySequence()},
        {"windowArrange", "&Arrange Icons", "Arrange icons at the bottom of the window", nullptr,
         QKeySequence()},
        {"helpContents", "&Contents", "Show the manual", "help-contents", QKeySequence(Qt::Key_F1)},
        {"helpAbout", "&About Velmora...",
         "Display program information, version number and copyright", nullptr, QKeySequence()},
    };
    for (const ActionInfo& s : actions) {
        auto* action = new QAction(tr(s.text), this);
        action->setObjectName(QLatin1String(s.name));
        action->setStatusTip(tr(s.tip));
        if (s.icon)
            action->setIcon(ToolIcon(QLatin1String(s.icon)));
        if (!s.key.isEmpty())
            action->setShortcut(s.key);
    }
    Action(QStringLiteral("editUndo"))
        ->setShortcuts({QKeySequence::Undo, QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    Action(QStringLiteral("editCut"))
        ->setShortcuts({QKeySequence::Cut, QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    Action(QStringLiteral("editCopy"))
        ->setShortcuts({QKeySequence::Copy, QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    Action(QStringLiteral("editPaste"))
        ->setShortcuts({QKeySequence::Paste, QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    Action(QStringLiteral("editRedo"))
        ->setShortcuts({QKeySequence::Redo, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // Table Properties and the animation windows are windows of their own:
    // the keys work there too.
    for (const char* name : {"editUndo", "editRedo"}) {
        QAction* action = Action(QLatin1String(name));
        action->setShortcutContext(Qt::ApplicationShortcut);
        action->setEnabled(false);
    }
    connect(m_pUndoGroup, &QUndoGroup::canUndoChanged, Action(QStringLiteral("editUndo")),
            &QAction::setEnabled);
    connect(m_pUndoGroup, &QUndoGroup::canRedoChanged, Action(QStringLiteral("editRedo")),
            &QAction::setEnabled);
    connect(Action(QStringLiteral("editUndo")), &QAction::triggered, m_pUndoGroup,
            &QUndoGroup::undo);
    connect(Action(QStringLiteral("editRedo")), &QAction::triggered, m_pUndoGroup,
            &QUndoGroup::redo);
    Action(QStringLiteral("windowNew"))->setEnabled(false);

    auto on = [this](const char* name, auto slot) {
        connect(Action(QLatin1String(name)), &QAction::triggered, this, slot);
    };
    auto onView = [this](const char* name, Status (CVelmoraView::*command)()) {
        connect(Action(QLatin1String(name)), &QAction::triggered, this, [this, command] {
            if (m_pActiveView)
                (m_pActiveView.data()->*command)();
        });
    };
    auto onPage = [this](const char* name, QWebEnginePage::WebAction webAction) {
        connect(Action(QLatin1String(name)), &QAction::triggered, this, [this, webAction] {
            if (m_pActiveView)
                m_pActiveView->triggerPageAction(webAction);
        });
    };
    on("fileNew", &CMainFrame::NewRequested);
    on("fileOpen", &CMainFrame::OnOpen);
    on("fileClose", [this] { m_pMdiArea->closeActiveSubWindow(); });
    on("appExit", &QWidget::close);
    on("filePrint", &CMainFrame::OnPrint);
    on("filePrintSetup", &CMainFrame::OnPrintSetup);
    on("helpAbout", &CMainFrame::OnAbout);
    on("helpContents", &CMainFrame::HelpRequested);
    on("windowCascade", [this] { m_pMdiArea->cascadeSubWindows(); });
    on("windowTile", [this] { m_pMdiArea->tileSubWindows(); });
    on("windowArrange", [this] { m_pMdiArea->tileSubWindows(); });
    connect(Action(QStringLiteral("animateTable")), &QAction::triggered, this, [this] {
        if (m_pActiveView)
            m_pActiveView->OnAnimateTable(false);
    });
    onView("fileSave", &CVelmoraView::OnFileSave);
    onView("fileSaveAs", &CVelmoraView::OnFileSaveAs);
    onView("copyAnimationFile", &CVelmoraView::OnCopyAnimationFile);
    onView("copyTableTag", &CVelmoraView::OnCopyTableTag);
    onView("copyCellPattern", &CVelmoraView::OnCopyCellPattern);
    onView("copyAll", &CVelmoraView::OnCopyAll);
    onPage("editCut", QWebEnginePage::Cut);
    onPage("editCopy", QWebEnginePage::Copy);
    onPage("editPaste", QWebEnginePage::Paste);
}

void CMainFrame::CreateMenus() {
    auto a = [this](const char* name) { return Action(QLatin1String(name)); };
    m_pFileMenu = menuBar()->addMenu(tr("&File"));
    m_pFileMenu->addActions(
        {a("fileNew"), a("fileOpen"), a("fileClose"), a("fileSave"), a("fileSaveAs")});
    m_pFileMenu->addSeparator();
    m_pFileMenu->addActions({a("filePrint"), a("filePrintSetup")});
    m_pRecentSeparator = m_pFileMenu->addSeparator();
    for (int i = 0; i < kRecentFiles; ++i) {
        auto* recent = new QAction(this);
        recent->setObjectName(QStringLiteral("recentFile%1").arg(i + 1));
        recent->setStatusTip(tr("Open this document"));
        connect(recent, &QAction::triggered, this,
                [this, recent] { Q_EMIT OpenRequested(recent->data().toString()); });
        m_recentActions << recent;
        m_pFileMenu->addAction(recent);
    }
    m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(a("appExit"));

    m_pEditMenu = menuBar()->addMenu(tr("&Edit"));
    m_pEditMenu->addActions({a("editUndo"), a("editRedo")});
    m_pEditMenu->addSeparator();
    m_pEditMenu->addActions({a("editCut"), a("editCopy"), a("editPaste")});
    m_pEditMenu->addSeparator();
    m_pEditMenu->addActions(
        {a("copyAnimationFile"), a("copyTableTag"), a("copyCellPattern"), a("copyAll")});

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addActions({a("viewToolbar"), a("viewStatusBar")});
    view->addSeparator();
    view->addAction(a("viewTableProperties"));
    m_pAnimateMenu = menuBar()->addMenu(tr("Animate Table"));
    m_pAnimateMenu->addAction(a("animateTable"));
    m_pWindowMenu = menuBar()->addMenu(tr("&Window"));
    m_pWindowMenu->addActions(
        {a("windowNew"), a("windowCascade"), a("windowTile"), a("windowArrange")});
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addActions({a("helpContents")});
    help->addSeparator();
    help->addAction(a("helpAbout"));
    UpdateRecentMenu();
}

void CMainFrame::CreateToolBar() {
    auto a = [this](const char* name) { return Action(QLatin1String(name)); };
    QToolBar* bar = addToolBar(tr("Standard"));
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setIconSize(QSize(16, 16));
    bar->addActions({a("fileNew"), a("fileOpen"), a("fileSave")});
    bar->addSeparator();
    bar->addActions({a("editCut"), a("editCopy"), a("editPaste")});
    bar->addSeparator();
    bar->addAction(a("filePrint"));
    bar->addSeparator();
    bar->addActions({a("viewTableProperties"), a("animateTable")});
    bar->addSeparator();
    bar->addActions(
        {a("copyAnimationFile"), a("copyTableTag"), a("copyCellPattern"), a("copyAll")});
    a("copyCellPattern")->setToolTip(tr("Copy Cell Pattern File"));

    QAction* toggleBar = a("viewToolbar");
    toggleBar->setCheckable(true);
    toggleBar->setChecked(true);
    connect(toggleBar, &QAction::toggled, bar, &QToolBar::setVisible);
    QAction* toggleStatus = a("viewStatusBar");
    toggleStatus->setCheckable(true);
    toggleStatus->setChecked(true);
    connect(toggleStatus, &QAction::toggled, statusBar(), &QStatusBar::setVisible);

    QAction* tableProperties = a("viewTableProperties");
    tableProperties->setCheckable(true);
    connect(tableProperties, &QAction::triggered, this, [this](bool show) {
        if (m_pActiveView)
            m_pActiveView->ShowTableProperties(show);
        UpdateMenus();
    });
    // A menu's prompt leaves the bar empty when the menu closes; it says
    // "Ready" again instead.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            statusBar()->showMessage(tr("Ready"));
    });
}

void CMainFrame::UpdateMenus() {
    const bool document =
        m_pMdiArea->currentSubWindow() != nullptr || !m_pMdiArea->subWindowList().isEmpty();
    for (const char* name :
         {"fileClose", "fileSave", "fileSaveAs", "filePrint", "editCut", "editCopy", "editPaste",
          "copyAnimationFile", "copyTableTag", "copyCellPattern", "copyAll"}) {
        QAction* action = Action(QLatin1String(name));
        action->setVisible(document || QLatin1String(name) == QLatin1String("fileClose"));
        action->setEnabled(document);
    }
    QAction* tableProperties = Action(QStringLiteral("viewTableProperties"));
    tableProperties->setEnabled(document && m_pActiveView);
    tableProperties->setChecked(m_pActiveView && m_pActiveView->GetTablePro() &&
                                m_pActiveView->GetTablePro()->isVisible());
    m_pEditMenu->menuAction()->setVisible(document);
    m_pAnimateMenu->menuAction()->setVisible(document);
    m_pWindowMenu->menuAction()->setVisible(document);
}

void CMainFrame::ShowPageSize(qint64 bytes) {
    if (bytes <= 1024 * 1024) {
        m_pPageSize->hide();
        return;
    }
    m_pPageSize->setText(tr("Page size: %1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1));
    m_pPageSize->show();
}

void CMainFrame::SyncActiveView() {
    QMdiSubWindow* current = m_pMdiArea->activeSubWindow();
    if (!current)
        current = m_pMdiArea->currentSubWindow();
    if (!current && !m_pMdiArea->subWindowList().isEmpty())
        current = m_pMdiArea->subWindowList().last();
    OnSubWindowActivated(current);
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow* window) {
    CVelmoraView* next = window ? qobject_cast<CVelmoraView*>(window->widget()) : nullptr;
    if (!window && !m_pMdiArea->subWindowList().isEmpty()) {
        // The area reports no active document when the program loses the
        // focus to another one: the windows beside it stay as they are.
        return;
    }
    if (next != m_pActiveView && m_pActiveView)
        m_pActiveView->OnActivateView(false);
    m_pActiveView = next;
    // Also for the same view again: a new document is reported active before
    // its Table Properties exists.
    if (m_pActiveView)
        m_pActiveView->OnActivateView(true);
    QUndoStack* stack = m_pActiveView ? m_pActiveView->GetDocument()->Model().UndoStack() : nullptr;
    if (stack && !m_pUndoGroup->stacks().contains(stack))
        m_pUndoGroup->addStack(stack);
    m_pUndoGroup->setActiveStack(stack);
    ShowPageSize(m_pActiveView ? m_pActiveView->PageBytes() : 0);
    Action(QStringLiteral("editUndo"))->setEnabled(m_pUndoGroup->canUndo());
    Action(QStringLiteral("editRedo"))->setEnabled(m_pUndoGroup->canRedo());
    if (m_pActiveView)
        setWindowTitle(tr("Velmora - [%1]").arg(m_pActiveView->GetDocument()->DisplayTitle()));
    else
        setWindowTitle(tr("Velmora"));
    UpdateMenus();
}

void CMainFrame::OnOpen() {
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open"), QString(), tr("All Files (*)"));
    if (!path.isEmpty())
        Q_EMIT OpenRequested(path);
}

void CMainFrame::OnPrint() {
    if (!m_pActiveView)
        return;
    if (!m_pPrinter)
        m_pPrinter = new QPrinter(QPrinter::HighResolution);
    QPrintDialog dialog(m_pPrinter, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_pActiveView->print(m_pPrinter);
}

void CMainFrame::OnPrintSetup() {
    if (!m_pPrinter)
        m_pPrinter = new QPrinter(QPrinter::HighResolution);
    QPageSetupDialog dialog(m_pPrinter, this);
    dialog.exec();
}

void CMainFrame::OnAbout() {
    QDialog dialog(this);
    Ui::AboutDialog ui;
    ui.setupUi(&dialog);
    ui.iconLabel->setPixmap(ApplicationIcon().pixmap(48, 48));
    ui.versionLabel->setText(tr("Velmora Version %1").arg(VelmoraVersion()));
    dialog.exec();
}

void CMainFrame::RestorePlacement() {
    const auto settings = VelmoraSettings();
    const QRect fallback(100, 100, 800, 600);
    // Read in 64 bits: a hand-edited setting can hold anything.
    const qint64 left = settings->value(QStringLiteral("left"), 100).toLongLong();
    const qint64 top = settings->value(QStringLiteral("top"), 100).toLongLong();
    const qint64 right = settings->value(QStringLiteral("right"), 900).toLongLong();
    const qint64 bottom = settings->value(QStringLiteral("bottom"), 700).toLongLong();
    QList<QRect> screens;
    for (const QScreen* s : QGuiApplication::screens())
        screens << s->availableGeometry();
    const QRect placement = AcceptedWindowPlacement(left, top, right, bottom, screens, fallback);
    // The rectangle is the window's own, without the frame the window
    // manager adds, so that restoring it gives the same window again.
    setGeometry(placement);
    m_bStartMaximized = settings->value(QStringLiteral("maximized"), 1).toInt() != 0;
}

void CMainFrame::ShowPlacement() {
    if (m_bStartMaximized)
        showMaximized();
    else
        show();
}

QRect CMainFrame::PlacementFrame() const {
    if ((m_bStartMaximized || isMaximized()) && screen())
        return screen()->availableGeometry();
    return frameGeometry();
}

void CMainFrame::SavePlacement() {
    const auto settings = VelmoraSettings();
    const bool maximized = isMaximized();
    settings->setValue(QStringLiteral("maximized"), maximized ? 1 : 0);
    if (!maximized) {
        const QRect r = geometry();
        settings->setValue(QStringLiteral("left"), r.left());
        settings->setValue(QStringLiteral("top"), r.top());
        settings->setValue(QStringLiteral("right"), r.left() + r.width());
        settings->setValue(QStringLiteral("bottom"), r.top() + r.height());
    }
    m_bPlacementSaved = true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    // Each changed document asks once; a Cancel keeps the program open with
    // the documents not yet closed.
    m_pMdiArea->closeAllSubWindows();
    if (!m_pMdiArea->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }
    SavePlacement();
    Q_EMIT Closing();
    event->accept();
}

QStringList CMainFrame::RecentFiles() const {
    const auto settings = RecentFileSettings();
    QStringList files;
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString f = settings->value(QStringLiteral("File%1").arg(i)).toString();
        if (!f.isEmpty())
            files << f;
    }
    return files;
}

void CMainFrame::AddRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    WriteRecentFiles(files);
}

void CMainFrame::RemoveRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    if (files.removeAll(path) > 0)
        WriteRecentFiles(files);
}

void CMainFrame::WriteRecentFiles(const QStringList& files) {
    const auto settings = RecentFileSettings();
    for (int i = 0; i < kRecentFiles; ++i) {
        const QString key = QStringLiteral("File%1").arg(i + 1);
        if (i < files.size())
            settings->setValue(key, files[i]);
        else
            settings->remove(key);
    }
    UpdateRecentMenu();
}

void CMainFrame::UpdateRecentMenu() {
    const QStringList files = RecentFiles();
    for (int i = 0; i < kRecentFiles; ++i) {
        QAction* action = m_recentActions[i];
        action->setVisible(i < files.size());
        if (i < files.size()) {
            action->setText(
                QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()));
            action->setData(files[i]);
        }
    }
    m_pRecentSeparator->setVisible(!files.isEmpty());
}
