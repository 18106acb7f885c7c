#include "ui/shell/velmora_app.h"

#include "core/page/page_reader.h"
#include "ui/controls/user_messages.h"
#include "ui/shell/installation.h"
#include "ui/shell/main_frame.h"
#include "ui/shell/table_pro.h"
#include "ui/shell/tool_icons.h"
#include "ui/shell/velmora_doc.h"
#include "ui/shell/velmora_settings.h"
#include "ui/shell/velmora_view.h"

#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

CVelmoraApp::CVelmoraApp() = default;

void CVelmoraApp::PrepareEnvironment() {
    // The previews are drawn through OpenGL. A window whose last preview
    // closed is flushed as plain pixels again, and when the next document
    // brings a preview back (or Tile moves them) the window is no longer
    // painted: the menu bar and tool bar keep their old image. Windows that
    // always flush through the same OpenGL path do not switch at all.
    if (!qEnvironmentVariableIsSet("QT_WIDGETS_RHI"))
        qputenv("QT_WIDGETS_RHI", "1");
}

CVelmoraApp::~CVelmoraApp() {
    delete m_pHelp.data();
    delete m_pMainFrame;
}

bool CVelmoraApp::InitInstance(const QStringList& arguments) {
    QString note; // why the "directory" setting was passed over
    {
        const auto settings = VelmoraSettings();
        const bool have = settings->contains(QStringLiteral("directory"));
        const Status s = ResolveInstallationDirectory(
            settings->value(QStringLiteral("directory")).toString(), have, &m_strDirectory, &note);
        if (!s) {
            QMessageBox::critical(nullptr, tr("Velmora"), s.message());
            return false;
        }
    }
    m_pMainFrame = new CMainFrame;
    connect(m_pMainFrame, &CMainFrame::NewRequested, this, &CVelmoraApp::OnFileNew);
    connect(m_pMainFrame, &CMainFrame::OpenRequested, this, &CVelmoraApp::OpenDocument);
    connect(m_pMainFrame, &CMainFrame::HelpRequested, this, &CVelmoraApp::OnHelp);
    connect(m_pMainFrame, &CMainFrame::Closing, this, [this] {
        if (m_pHelp)
            m_pHelp->close();
    });
    m_pMainFrame->RestorePlacement();

    const QStringList files = arguments.mid(1);
    if (files.isEmpty())
        OnFileNew();
    for (const QString& file : files)
        OpenDocument(file);
    m_pMainFrame->ShowPlacement();
    // Table Properties follows its document's window onto the screen, once
    // that window is there to be stacked above.
    QTimer::singleShot(0, m_pMainFrame, &CMainFrame::SyncActiveView);
    if (!note.isEmpty())
        QTimer::singleShot(0, m_pMainFrame, [this, note] {
            ShowUserMessage(m_pMainFrame, note, MessageKind::Warning);
        });
    return true;
}

CVelmoraView* CVelmoraApp::CreateDocument(const QString& title) {
    auto* doc = new CVelmoraDoc(title);
    auto* frame = new QMdiSubWindow;
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowIcon(ApplicationIcon());
    auto* view = new CVelmoraView(doc, m_pMainFrame, m_strDirectory, frame);
    doc->setParent(view);
    frame->setWidget(view);
    frame->setWindowTitle(title);
    connect(doc, &CVelmoraDoc::TitleChanged, frame, [this, frame](const QString& t) {
        frame->setWindowTitle(t);
        if (m_pMainFrame->MdiArea()->activeSubWindow() == frame)
            m_pMainFrame->setWindowTitle(tr("Velmora - [%1]").arg(t));
    });
    connect(view, &CVelmoraView::PageSizeChanged, m_pMainFrame, [this, view](qint64 bytes) {
        if (m_pMainFrame->ActiveView() == view)
            m_pMainFrame->ShowPageSize(bytes);
    });
    connect(view, &CVelmoraView::StatusMessage, m_pMainFrame,
            [this](const QString& message) { m_pMainFrame->statusBar()->showMessage(message); });
    connect(view, &CVelmoraView::TablePropertiesVisibilityChanged, m_pMainFrame,
            &CMainFrame::UpdateMenus);
    connect(view, &CVelmoraView::SavedAs, m_pMainFrame, [this](const QString& page) {
        m_pMainFrame->AddRecentFile(QFileInfo(page).absoluteFilePath());
    });
    m_pMainFrame->MdiArea()->addSubWindow(frame);
    view->OnInitialUpdate();
    view->PlaceTableProperties(m_pMainFrame->PlacementFrame());
    m_pMainFrame->MdiArea()->setActiveSubWindow(frame);
    if (m_pMainFrame->isVisible())
        m_pMainFrame->SyncActiveView();
    return view;
}

CVelmoraView* CVelmoraApp::OnFileNew() {
    return CreateDocument(QStringLiteral("Untitled%1").arg(++m_nUntitled));
}

CVelmoraView* CVelmoraApp::OpenDocument(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists()) {
        // Nothing to open: no document is started in its name, and a recent
        // entry that led here goes.
        m_pMainFrame->RemoveRecentFile(file.absoluteFilePath());
        ShowUserMessage(m_pMainFrame, tr("%1 was not found.").arg(path), MessageKind::Warning);
        return nullptr;
    }
    m_pMainFrame->AddRecentFile(file.absoluteFilePath());
    CVelmoraView* view = CreateDocument(QFileInfo(path).fileName());
    // A page Velmora wrote comes back as it was; any other file only lends
    // the document its name, and the user is told so.
    std::optional<PageContents> page;
    if (Status s = ReadPage(path, &page); !s) {
        ShowUserMessage(m_pMainFrame, tr("%1\nA new table was started.").arg(s.message()),
                        MessageKind::Warning);
        return view;
    }
    if (!page) {
        m_pMainFrame->statusBar()->showMessage(
            tr("This page was not made by Velmora: a new table was started."));
        return view;
    }
    const QStringList notes = view->RestorePage(path, *page);
    const QString savedBy = view->SavedByVersion().isEmpty()
                                ? QString()
                                : tr(" (saved by Velmora %1)").arg(view->SavedByVersion());
    m_pMainFrame->statusBar()->showMessage(
        notes.isEmpty() ? tr("Reopened %1%2.").arg(QDir::toNativeSeparators(path), savedBy)
                        : notes.join(QLatin1Char(' ')));
    return view;
}

void CVelmoraApp::OnHelp() {
    const QString index = m_strDirectory + QStringLiteral("help/index.html");
    if (!QFileInfo::exists(index))
        InstallBundledFiles(m_strDirectory);
    if (!QFileInfo::exists(index)) {
        QMessageBox::warning(m_pMainFrame, tr("Velmora"), tr("%1 was not found.").arg(index));
        return;
    }
    if (!m_pHelp) {
        m_pHelp = new QWebEngineView;
        m_pHelp->setWindowTitle(tr("Velmora Help"));
        m_pHelp->setWindowIcon(ApplicationIcon());
        m_pHelp->resize(760, 640);
    }
    m_pHelp->setUrl(QUrl::fromLocalFile(index));
    m_pHelp->show();
    m_pHelp->raise();
}
