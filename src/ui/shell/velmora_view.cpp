#include "ui/shell/velmora_view.h"

#include "core/animation/animation_record.h"
#include "core/animation/animation_types.h"
#include "core/animation/webp_save.h"
#include "core/base/atomic_write.h"
#include "core/document/preview_page_writer.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/webp_reader.h"
#include "core/page/page_names.h"
#include "core/page/page_reader.h"
#include "ui/animation/animation_dialog.h"
#include "ui/animation/animation_dialog_factory.h"
#include "ui/animation/anm_type.h"
#include "ui/controls/color_box.h"
#include "ui/controls/file_dialogs.h"
#include "ui/shell/table_pro.h"
#include "ui/shell/velmora_doc.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSet>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace {

CVelmoraView::SavePathChooser g_savePathChooser;
CVelmoraView::MessageSink g_messageSink;
CVelmoraView::QuestionSink g_questionSink;
CVelmoraView::CloseQuestion g_closeQuestion;

// Preview bases of the documents open in this process.
QSet<QString> g_previewBasesInUse;

QString RunSaveDialog(QWidget* parent) {
    // No filter and no default extension. Replacing files is asked once
    // afterwards, naming every file of the set, not just the one typed.
    return ChooseFileToSave(parent, QObject::tr("Save As"), QString(),
                            QFileDialog::DontConfirmOverwrite);
}

} // namespace

void CVelmoraView::SetSavePathChooser(SavePathChooser chooser) {
    g_savePathChooser = std::move(chooser);
}
void CVelmoraView::SetMessageSink(MessageSink sink) {
    g_messageSink = std::move(sink);
}
void CVelmoraView::SetQuestionSink(QuestionSink sink) {
    g_questionSink = std::move(sink);
}
void CVelmoraView::SetCloseQuestion(CloseQuestion question) {
    g_closeQuestion = std::move(question);
}

CVelmoraView::CVelmoraView(CVelmoraDoc* doc, QMainWindow* mainWindow, QString directory,
                           QWidget* parent)
    : QWebEngineView(parent), m_pDoc(doc), m_pMainWindow(mainWindow),
      m_strDirectory(std::move(directory)),
      m_pPageWriter(new PreviewPageWriter(&doc->Model(), this)) {
    setObjectName(QStringLiteral("preview"));
    connect(this, &QWebEngineView::loadFinished, this, &CVelmoraView::PreviewRefreshed);
    VelmoraDocument* model = &doc->Model();
    connect(m_pPageWriter, &PreviewPageWriter::Written, this, &CVelmoraView::OnPageWritten);
    connect(m_pPageWriter, &PreviewPageWriter::HeldBack, this, &CVelmoraView::OnPageHeldBack);
    connect(m_pPageWriter, &PreviewPageWriter::Failed, this,
            [this](const QString& message) { Report(Status::Error(message)); });
    // A new cell layer file shows at the next load.
    connect(model, &VelmoraDocument::CellPatternChanged, this, &CVelmoraView::RefreshPreview);
    connect(model, &VelmoraDocument::AnimationStaleChanged, this, [this](bool stale) {
        if (stale)
            Q_EMIT StatusMessage(
                tr("The animation does not match the cell pattern any more: save it again."));
    });
}

void CVelmoraView::OnPageHeldBack(qint64 bytes) {
    // The browser would take gigabytes on the way to a large grid typed
    // digit by digit; the last page it could show stays.
    Q_EMIT StatusMessage(tr("The page would be %1 MB: the preview shows the last page under %2 MB "
                            "until the table is smaller. Saving writes the whole page.")
                             .arg(double(bytes) / (1024 * 1024), 0, 'f', 1)
                             .arg(PreviewPageWriter::kLargestPreviewBytes / (1024 * 1024)));
}

void CVelmoraView::OnPageWritten(qint64 bytes) {
    m_nPageBytes = bytes;
    Q_EMIT PageSizeChanged(bytes);
    RefreshPreview();
}

void CVelmoraView::FlushPendingWrite() {
    m_pPageWriter->Flush();
}

void CVelmoraView::closeEvent(QCloseEvent* event) {
    if (!MaySaveChanges()) {
        event->ignore();
        return;
    }
    QWebEngineView::closeEvent(event);
}

bool CVelmoraView::MaySaveChanges() {
    FlushPendingWrite();
    if (!m_pDoc->Model().IsModified())
        return true;
    const QString question = tr("Save changes to %1?").arg(m_pDoc->GetTitle());
    CloseAnswer answer = CloseAnswer::Cancel;
    if (g_closeQuestion) {
        answer = g_closeQuestion(this, question);
    } else {
        const auto button = QMessageBox::question(
            window(), tr("Velmora"), question,
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        answer = button == QMessageBox::Save      ? CloseAnswer::Save
                 : button == QMessageBox::Discard ? CloseAnswer::Discard
                                                  : CloseAnswer::Cancel;
    }
    switch (answer) {
    case CloseAnswer::Save:
        return bool(OnFileSave());
    case CloseAnswer::Discard:
        return true;
    case CloseAnswer::Cancel:
        break;
    }
    return false;
}

CVelmoraView::~CVelmoraView() {
    g_previewBasesInUse.remove(m_strPreviewBase);
    // The windows of this document go with it; their renderers after them.
    for (auto& dialog : m_animationDialogs)
        delete dialog.data();
    if (m_pTablePro)
        delete m_pTablePro.data();
}

AnimationRenderer* CVelmoraView::CreateRenderer(int type) {
    return m_pDoc->Model().CreateRenderer(type);
}

AnimationRenderer* CVelmoraView::Renderer(int type) const {
    return m_pDoc->Model().Renderer(type);
}

int CVelmoraView::AnimationType() const {
    return m_pDoc->Model().AnimationType();
}

void CVelmoraView::SetAnimationType(int type) {
    m_pDoc->Model().SetAnimationType(type);
}

VelmoraDocument* CVelmoraView::Document() const {
    return &m_pDoc->Model();
}

const QString& CVelmoraView::PageFile() const {
    return m_pDoc->Model().Preview().page;
}
const QString& CVelmoraView::GifFile() const {
    return m_pDoc->Model().Preview().gif;
}
const QString& CVelmoraView::CellFile() const {
    return m_pDoc->Model().Preview().cell;
}
const QString& CVelmoraView::SavedPageFile() const {
    return m_pDoc->Model().Saved().page;
}
const QString& CVelmoraView::SavedGifFile() const {
    return m_pDoc->Model().Saved().gif;
}
const QString& CVelmoraView::SavedCellFile() const {
    return m_pDoc->Model().Saved().cell;
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
    if (m_pRestoredAnimation) {
        const AnimationTypeInfo* info = AnimationTypeByName(m_pRestoredAnimation->type);
        if (info && info->rendererType == type) {
            dialog->ShowRecord(*m_pRestoredAnimation);
            m_pRestoredAnimation.reset();
        }
    }
    dialog->PlaceAtMainWindow();
    dialog->show();
}

void CVelmoraView::OnInitialUpdate() {
    // Each open document previews in a set of its own, also when two have
    // the same title (the same page opened twice, two index.htm).
    QString base = m_strDirectory + m_pDoc->GetTitle();
    for (int n = 2; g_previewBasesInUse.contains(base); ++n)
        base = m_strDirectory + m_pDoc->GetTitle() + QStringLiteral("-%1").arg(n);
    g_previewBasesInUse.insert(base);
    m_strPreviewBase = base;
    m_pDoc->Model().SetPreview(PageSet::ForBase(base));
    // A missing default animation leaves the page without a background; the
    // page itself still works.
    CopyFileAtomically(m_strDirectory + QStringLiteral("images/default.gif"), GifFile());
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->showMaximized();

    m_pTablePro = new TablePro(m_pDoc, this, m_pMainWindow);
    connect(m_pTablePro, &TablePro::AnimateTableRequested, this, [this] { OnAnimateTable(true); });
    connect(m_pTablePro, &TablePro::VisibilityChanged, this,
            &CVelmoraView::TablePropertiesVisibilityChanged);
    m_pTablePro->resize(m_pTablePro->sizeHint());
    PlaceTableProperties(m_pMainWindow->frameGeometry());
    m_pPageWriter->WriteNow();
    setUrl(QUrl::fromLocalFile(PageFile()));
}

void CVelmoraView::PlaceTableProperties(const QRect& main) {
    if (m_pTablePro)
        m_pTablePro->move(main.right() - m_pTablePro->frameGeometry().width() + 1,
                          main.top() + 150);
}

void CVelmoraView::OnActivateView(bool activate) {
    if (!m_pTablePro)
        return;
    if (activate) {
        KeepAboveMainWindow();
        m_pTablePro->show();
        m_pTablePro->raise();
        m_pTablePro->ShowAnimationDialog();
    } else {
        m_pTablePro->hide();
        m_pTablePro->HideAnimationDialog();
    }
}

void CVelmoraView::ShowTableProperties(bool show) {
    if (!m_pTablePro)
        return;
    if (!show) {
        m_pTablePro->hide();
        return;
    }
    KeepAboveMainWindow();
    m_pTablePro->show();
    m_pTablePro->raise();
    m_pTablePro->activateWindow();
}

void CVelmoraView::KeepAboveMainWindow() {
    // Window managers read a window's owner when the window is mapped. Table
    // Properties of the first document is mapped before the main window is
    // on the screen, so the manager does not keep it above its owner and the
    // first click into the preview drops it behind. Once the main window is
    // exposed, map it again, tied to the main window.
    if (!m_pTablePro || m_bTiedToMainWindow)
        return;
    QWindow* owner = m_pMainWindow->windowHandle();
    if (!owner || !owner->isExposed()) {
        QTimer::singleShot(100, this, [this] {
            if (m_pTablePro && m_pTablePro->isVisible())
                KeepAboveMainWindow();
        });
        return;
    }
    m_bTiedToMainWindow = true;
    m_pTablePro->winId();
    if (QWindow* handle = m_pTablePro->windowHandle())
        handle->setTransientParent(owner);
    if (m_pTablePro->isVisible()) {
        m_pTablePro->hide();
        m_pTablePro->show();
        m_pTablePro->raise();
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

Status CVelmoraView::OnFileSave() {
    if (m_pDoc->IsUntitled())
        return OnFileSaveAs();
    FlushPendingWrite();
    return Report(m_pDoc->Model().SaveAs(m_pDoc->Model().Saved()));
}

Status CVelmoraView::OnFileSaveAs() {
    const QString path = g_savePathChooser ? g_savePathChooser(this) : RunSaveDialog(this);
    if (path.isEmpty())
        return Status::Error(QString()); // cancelled: nothing to report
    const QString folder = FolderOf(path);
    const QString name = BaseNameOf(path);
    const PageSet target = PageSet::ForBase(folder + name);
    QStringList replaced;
    for (const QString& file : {target.page, target.gif})
        if (QFileInfo::exists(file))
            replaced << file;
    if (m_pDoc->Table().HasCellPattern() && QFileInfo::exists(target.cell))
        replaced << target.cell;
    if (!replaced.isEmpty()) {
        const QString question =
            tr("Saving replaces these files:\n\n%1\n\nReplace them?").arg(replaced.join('\n'));
        const bool yes = g_questionSink
                             ? g_questionSink(this, question)
                             : QMessageBox::question(window(), tr("Velmora"), question,
                                                     QMessageBox::Yes | QMessageBox::No,
                                                     QMessageBox::No) == QMessageBox::Yes;
        if (!yes)
            return Status::Error(QString()); // declined: nothing to report
    }
    FlushPendingWrite();
    // A failed save leaves the document as it was, so it does not look saved.
    const Status status = m_pDoc->Model().SaveAs(target);
    if (status) {
        m_pDoc->SetTitle(name);
        Q_EMIT SavedAs(target.page);
    }
    return Report(status);
}

QStringList CVelmoraView::RestorePage(const QString& pagePath, const PageContents& page) {
    QStringList notes;
    const QString folder = FolderOf(pagePath);
    // The document belongs to the set it was opened from: Save writes back
    // there and the clipboard commands name its files.
    m_pDoc->Model().SetSaved(
        {pagePath, folder + page.animationName,
         folder + (page.cellPatternName.isEmpty() ? page.imageBase + QStringLiteral("-cell.gif")
                                                  : page.cellPatternName)});
    m_pDoc->Model().ResetTable(page.table);
    const QString gif = folder + page.animationName;
    const bool haveGif = QFileInfo::exists(gif);
    if (!haveGif)
        notes << tr("%1 was not found: the default animation is shown.").arg(gif);
    else if (Status s = CopyFileAtomically(gif, GifFile()); !s)
        notes << s.message();
    if (page.table.HasCellPattern()) {
        const QString cell = folder + page.cellPatternName;
        if (!QFileInfo::exists(cell))
            notes << tr("%1 was not found.").arg(cell);
        else if (Status s = CopyFileAtomically(cell, CellFile()); !s)
            notes << s.message();
    }
    // A modern page's WebPs come into the working set with their GIFs.
    const QString webp = WebpPathFor(gif);
    if (page.table.GetPageStyle() == PageStyle::Modern) {
        const QString cellWebp = WebpPathFor(folder + page.cellPatternName);
        for (const auto& [from, to] : {std::pair{webp, WebpPathFor(GifFile())},
                                       std::pair{cellWebp, WebpPathFor(CellFile())}})
            if (QFileInfo::exists(from) && (from == webp || page.table.HasCellPattern()))
                if (Status s = CopyFileAtomically(from, to); !s)
                    notes << s.message();
    }
    // The animation the GIF (or, where the GIF has none, the WebP) was
    // saved from becomes the document's renderer.
    GifAnimation animation;
    std::optional<AnimationRecord> found;
    if (haveGif && ReadGifOutline(gif, &animation))
        found = FindAnimationRecord(animation);
    if (WebpAnimation saved; !found && QFileInfo::exists(webp) && ReadWebp(webp, &saved, false) &&
                             !saved.record.isEmpty())
        found = ParseAnimationRecord(saved.record);
    if (const std::optional<AnimationRecord>& record = found) {
        m_pRestoredAnimation = std::make_shared<const AnimationRecord>(*record);
        m_strSavedByVersion = record->version;
        const AnimationTypeInfo* info = AnimationTypeByName(record->type);
        if (!info || !info->IsAvailable()) {
            notes << tr("The animation type '%1' is not known.").arg(record->type);
        } else if (AnimationRenderer* r = m_pDoc->Model().CreateRenderer(info->rendererType)) {
            if (Status s = ApplyAnimationRecord(*record, *r); !s)
                notes << s.message();
        }
    }
    RefreshPreview();
    return notes;
}

QStringList CVelmoraView::AnimationFileList() const {
    return {m_pDoc->IsUntitled() ? GifFile() : SavedGifFile()};
}

QStringList CVelmoraView::CellPatternFileList() const {
    if (!m_pDoc->Table().HasCellPattern())
        return {};
    return {m_pDoc->IsUntitled() ? CellFile() : SavedCellFile()};
}

QStringList CVelmoraView::AllFilesList() const {
    const bool untitled = m_pDoc->IsUntitled();
    QStringList list{untitled ? PageFile() : SavedPageFile(),
                     untitled ? GifFile() : SavedGifFile()};
    if (m_pDoc->Table().HasCellPattern())
        list << (untitled ? CellFile() : SavedCellFile());
    // The WebPs go with their GIFs where there are any.
    for (qsizetype i = list.size() - 1; i >= 1; --i)
        if (QFileInfo::exists(WebpPathFor(list[i])))
            list.insert(i + 1, WebpPathFor(list[i]));
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
    // The page goes on the clipboard as a file: it must be whole, however
    // large.
    if (m_pDoc->IsUntitled()) {
        m_pPageWriter->WriteNow(true);
        // A modern page names its WebPs: the copied set must hold them.
        if (m_pDoc->Table().GetPageStyle() == PageStyle::Modern) {
            QStringList gifs{GifFile()};
            if (m_pDoc->Table().HasCellPattern())
                gifs << CellFile();
            for (const QString& gif : gifs)
                if (!QFileInfo::exists(WebpPathFor(gif)))
                    if (Status s = WriteWebpFromGif(gif, WebpPathFor(gif)); !s)
                        return Report(s);
        }
    }
    if (!m_pDoc->IsUntitled()) {
        if (Status s = OnFileSave(); !s)
            return s;
    }
    PutFileList(AllFilesList());
    return Status::Ok();
}

Status CVelmoraView::OnCopyTableTag() {
    // The tag goes with the document's own set once it has one, so it names
    // the images beside that page, not the preview's.
    const bool untitled = m_pDoc->IsUntitled();
    const CHtmlTable& table = m_pDoc->Table();
    const QString pageFile = untitled ? PageFile() : SavedPageFile();
    const QString imageName = untitled ? QString() : m_pDoc->Model().ImageName();
    if (Status s = table.CheckPageSize(pageFile, imageName); !s)
        return Report(s);
    const QByteArray page = table.ComposePage(pageFile, imageName);
    const qsizetype a = page.indexOf("<table");
    const qsizetype b = page.indexOf("/body");
    if (a < 0 || b < 0 || b - 2 - a < 0)
        return Report(Status::Error(QStringLiteral("%1 holds no table.").arg(pageFile)));
    // From the outer table's tag up to the "</body>" line, without the line
    // break's line feed and the "<": the tag ends in "</table>" + CR.
    QApplication::clipboard()->setText(QString::fromLatin1(page.mid(a, b - 2 - a)));
    return Status::Ok();
}
