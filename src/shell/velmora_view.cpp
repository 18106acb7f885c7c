#include "shell/velmora_view.h"

#include "animation/animation_dialog.h"
#include "animation/animation_dialog_factory.h"
#include "animation/animation_types.h"
#include "animation/anm_type.h"
#include "page/atomic_write.h"
#include "page/page_names.h"
#include "shell/main_frame.h"
#include "shell/table_pro.h"
#include "shell/velmora_doc.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

namespace {

CVelmoraView::SavePathChooser g_savePathChooser;
CVelmoraView::MessageSink g_messageSink;

QString RunSaveDialog(QWidget* parent) {
    // No filter and no default extension; an existing file needs a yes.
    return QFileDialog::getSaveFileName(parent, QObject::tr("Save As"));
}

} // namespace

void CVelmoraView::SetSavePathChooser(SavePathChooser chooser) {
    g_savePathChooser = std::move(chooser);
}
void CVelmoraView::SetMessageSink(MessageSink sink) {
    g_messageSink = std::move(sink);
}

CVelmoraView::CVelmoraView(CVelmoraDoc* doc, QMainWindow* mainWindow, QString directory,
                           QWidget* parent)
    : QWebEngineView(parent), m_pDoc(doc), m_pMainWindow(mainWindow),
      m_strDirectory(std::move(directory)) {
    setObjectName(QStringLiteral("preview"));
    connect(this, &QWebEngineView::loadFinished, this, &CVelmoraView::PreviewRefreshed);
}

CVelmoraView::~CVelmoraView() {
    // The windows of this document go with it; their renderers after them.
    for (auto& dialog : m_animationDialogs)
        delete dialog.data();
    if (m_pTablePro)
        delete m_pTablePro.data();
}

AnimationRenderer* CVelmoraView::CreateRenderer(int type) {
    const AnimationTypeInfo* info = AnimationTypeByRenderer(type);
    if (!info || !info->IsAvailable())
        return nullptr;
    std::unique_ptr<AnimationRenderer> renderer = info->create();
    renderer->SetAnimationGifPath(m_strGifFile);
    renderer->SetCellGifPath(m_strCellFile);
    m_renderers[std::size_t(type)] = std::move(renderer);
    m_nAnimationType = type;
    return m_renderers[std::size_t(type)].get();
}

AnimationRenderer* CVelmoraView::Renderer(int type) const {
    return type >= 1 && type <= 6 ? m_renderers[std::size_t(type)].get() : nullptr;
}

AnimationDialog* CVelmoraView::AnimationWindow(int type) const {
    return type >= 1 && type <= 6 ? m_animationDialogs[std::size_t(type)].data() : nullptr;
}

AnimationDialog* CVelmoraView::CreateAnimationDialog(int rendererType) {
    return CreateAnimationDialogFor(rendererType, this, m_pMainWindow);
}

void CVelmoraView::OnAnimateTable(bool fromTablePro) {
    if (!m_pTablePro)
        return;
    m_pTablePro->CloseAnimationDialogs();
    const int choice = AnmType::Run(m_pMainWindow);
    if (choice == 0)
        return;
    const int type = AnmType::RendererTypeFor(choice);
    AnimationDialog* dialog = CreateAnimationDialog(type);
    if (!dialog)
        return;
    if (fromTablePro)
        m_pTablePro->SetAnimationDialog(type, dialog);
    else
        m_animationDialogs[std::size_t(type)] = dialog;
    dialog->PlaceAtMainWindow();
    dialog->show();
}

void CVelmoraView::OnInitialUpdate() {
    const QString base = m_strDirectory + m_pDoc->GetTitle();
    m_strPageFile = base + QStringLiteral(".htm");
    m_strGifFile = base + QStringLiteral(".gif");
    m_strCellFile = base + QStringLiteral("-cell.gif");
    // A missing default animation leaves the page without a background; the
    // page itself still works.
    CopyFileAtomically(m_strDirectory + QStringLiteral("images/default.gif"), m_strGifFile);
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->showMaximized();

    m_pTablePro = new TablePro(this, m_pMainWindow);
    connect(m_pTablePro, &TablePro::AnimateTableRequested, this, [this] { OnAnimateTable(true); });
    QRect main = m_pMainWindow->frameGeometry();
    if (auto* frame = qobject_cast<CMainFrame*>(m_pMainWindow))
        main = frame->PlacementFrame();
    const QSize size = m_pTablePro->sizeHint();
    m_pTablePro->resize(size);
    m_pTablePro->move(main.right() - m_pTablePro->frameGeometry().width() + 1, main.top() + 150);
    m_pTablePro->SetStartingControls();
    setUrl(QUrl::fromLocalFile(m_strPageFile));
}

void CVelmoraView::OnActivateView(bool activate) {
    if (!m_pTablePro)
        return;
    if (activate) {
        m_pTablePro->show();
        m_pTablePro->raise();
        m_pTablePro->ShowAnimationDialog();
    } else {
        m_pTablePro->hide();
        m_pTablePro->HideAnimationDialog();
    }
}

void CVelmoraView::RefreshPreview() {
    if (url().isEmpty())
        return; // not loaded yet: the initial update loads it
    reload();
}

Status CVelmoraView::Report(Status status) {
    if (!status) {
        if (g_messageSink)
            g_messageSink(this, status.message());
        else
            QMessageBox::warning(window(), tr("Velmora"), status.message());
    }
    return status;
}

Status CVelmoraView::SaveTo(const QString& imageName) {
    QString error;
    Status result;
    if (!m_pTablePro->Table()->WritePage(m_strSavedPageFile, imageName, &error))
        result = Status::Error(error);
    // The images are copied even when the page failed, as the page set is
    // only complete with them; every failure is reported.
    if (Status s = CopyFileAtomically(m_strGifFile, m_strSavedGifFile); !s && result)
        result = s;
    if (m_pTablePro->Table()->HasCellPattern()) {
        if (Status s = CopyFileAtomically(m_strCellFile, m_strSavedCellFile); !s && result)
            result = s;
    }
    return result;
}

Status CVelmoraView::OnFileSave() {
    if (m_pDoc->IsUntitled() || m_strSavedPageFile.isEmpty())
        return OnFileSaveAs();
    return Report(SaveTo(QString()));
}

Status CVelmoraView::OnFileSaveAs() {
    const QString path = g_savePathChooser ? g_savePathChooser(this) : RunSaveDialog(this);
    if (path.isEmpty())
        return Status::Error(QString()); // cancelled: nothing to report
    const QString folder = FolderOf(path);
    const QString name = BaseNameOf(path);
    m_strSavedPageFile = folder + name + QStringLiteral(".htm");
    m_strSavedGifFile = folder + name + QStringLiteral(".gif");
    m_strSavedCellFile = folder + name + QStringLiteral("-cell.gif");
    const Status status = SaveTo(name);
    m_pDoc->SetTitle(name);
    return Report(status);
}

QStringList CVelmoraView::AnimationFileList() const {
    return {m_pDoc->IsUntitled() ? m_strGifFile : m_strSavedGifFile};
}

QStringList CVelmoraView::CellPatternFileList() const {
    if (!m_pTablePro->Table()->HasCellPattern())
        return {};
    return {m_pDoc->IsUntitled() ? m_strCellFile : m_strSavedCellFile};
}

QStringList CVelmoraView::AllFilesList() const {
    const bool untitled = m_pDoc->IsUntitled();
    QStringList list{untitled ? m_strPageFile : m_strSavedPageFile,
                     untitled ? m_strGifFile : m_strSavedGifFile};
    if (m_pTablePro->Table()->HasCellPattern())
        list << (untitled ? m_strCellFile : m_strSavedCellFile);
    return list;
}

void CVelmoraView::PutFileList(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome("copy");
    for (const QString& p : paths) {
        urls << QUrl::fromLocalFile(p);
        gnome += '\n' + QUrl::fromLocalFile(p).toEncoded();
    }
    data->setUrls(urls); // text/uri-list
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    data->setData(QStringLiteral("application/x-kde-cutselection"), "0");
    data->setText(paths.join(QLatin1Char('\n')));
    QApplication::clipboard()->setMimeData(data);
}

Status CVelmoraView::OnCopyAnimationFile() {
    PutFileList(AnimationFileList());
    return Status::Ok();
}

Status CVelmoraView::OnCopyCellPattern() {
    const QStringList list = CellPatternFileList();
    if (!list.isEmpty())
        PutFileList(list);
    return Status::Ok();
}

Status CVelmoraView::OnCopyAll() {
    if (!m_pDoc->IsUntitled()) {
        if (Status s = OnFileSave(); !s)
            return s;
    }
    PutFileList(AllFilesList());
    return Status::Ok();
}

Status CVelmoraView::OnCopyTableTag() {
    QFile file(m_strPageFile);
    if (!file.exists())
        return Report(Status::Error(QStringLiteral("%1 was not found.").arg(m_strPageFile)));
    if (!file.open(QIODevice::ReadOnly))
        return Report(Status::Error(
            QStringLiteral("Cannot open %1: %2").arg(m_strPageFile, file.errorString())));
    const QByteArray page = file.readAll();
    const qsizetype a = page.indexOf("<table");
    const qsizetype b = page.indexOf("/body");
    if (a < 0 || b < 0 || b - 2 - a < 0)
        return Report(Status::Error(QStringLiteral("%1 holds no table.").arg(m_strPageFile)));
    // From the outer table's tag up to the "</body>" line, without the line
    // break's line feed and the "<": the tag ends in "</table>" + CR.
    QApplication::clipboard()->setText(QString::fromLatin1(page.mid(a, b - 2 - a)));
    return Status::Ok();
}
