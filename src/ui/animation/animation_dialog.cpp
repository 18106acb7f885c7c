#include "ui/animation/animation_dialog.h"

#include "core/animation/animation_record.h"
#include "core/animation/animation_save.h"
#include "core/animation/save_summary.h"
#include "core/animation/stripes_renderer_base.h"
#include "core/animation/webp_save.h"
#include "core/document/velmora_document.h"
#include "ui/animation/animation_host.h"
#include "ui/animation/live_preview.h"
#include "ui/cellpattern/bitmap_cell_pattern_dialog.h"
#include "ui/cellpattern/cell_pattern.h"
#include "ui/cellpattern/craft_cell_pattern_dialog.h"
#include "ui/cellpattern/rect_cell_pattern.h"
#include "ui/cellpattern/round_rect_cell_pattern.h"
#include "ui/controls/color_box.h"
#include "ui/controls/dialog_text.h"
#include "ui/controls/user_messages.h"
#include "ui/shell/velmora_settings.h"

#include <QApplication>
#include <QAtomicInt>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <cmath>
#include <exception>
#include <new>

AnimationDialog::AnimationDialog(AnimationHost* host, int rendererType, QWidget* owner)
    : QDialog(owner, Qt::Dialog), m_pHost(host), m_nType(rendererType) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_pHost->CreateRenderer(rendererType);
    if (VelmoraDocument* doc = m_pHost->Document()) {
        // A pattern cut into the frames covers the whole table: the frames
        // are the table's size, also after a pattern window resized it.
        connect(doc, &VelmoraDocument::TableChanged, this, &AnimationDialog::FollowMergedPattern);
        connect(doc, &VelmoraDocument::CellPatternChanged, this,
                &AnimationDialog::FollowMergedPattern);
        connect(doc, &VelmoraDocument::CellPatternChanged, this, &AnimationDialog::PreviewChanged);
    }
}

void AnimationDialog::FollowMergedPattern() {
    const VelmoraDocument* doc = m_pHost->Document();
    if (!doc || doc->GetMaskMode() != MaskMode::MergedIntoFrames)
        return;
    SetWidthText(doc->Table().GetWidth());
    SetHeightText(doc->Table().GetHeight());
}

AnimationRenderer* AnimationDialog::Renderer() const {
    return m_pHost->Renderer(m_nType);
}

void AnimationDialog::PlaceAtMainWindow() {
    QMainWindow* main = m_pHost->MainWindow();
    EnsureLivePreview();
    MakeRoomForTitle(this);
    if (!main)
        return;
    adjustSize();
    const QRect m = main->frameGeometry();
    // Before the window is first shown its frame is unknown; the window
    // manager gives it the same title bar and borders as the main window's.
    QMargins frame =
        frameGeometry().isValid() && frameGeometry() != geometry()
            ? QMargins(geometry().left() - frameGeometry().left(),
                       geometry().top() - frameGeometry().top(),
                       frameGeometry().right() - geometry().right(),
                       frameGeometry().bottom() - geometry().bottom())
            : QMargins(main->geometry().left() - m.left(), main->geometry().top() - m.top(),
                       m.right() - main->geometry().right(),
                       m.bottom() - main->geometry().bottom());
    const QSize outer = size().grownBy(frame);
    QRect placed(QPoint(m.left() + 5, m.bottom() + 1 - outer.height() - 25), outer);
    // Not over another of our windows (Table Properties) when there is room
    // beside or above it.
    const QRect screen = main->screen() ? main->screen()->availableGeometry() : m;
    auto covers = [this, main](const QRect& r) {
        for (QWidget* other : QApplication::topLevelWidgets())
            if (other != this && other != main && other->isVisible() &&
                r.intersects(other->frameGeometry()))
                return other;
        return static_cast<QWidget*>(nullptr);
    };
    if (QWidget* other = covers(placed)) {
        const QRect o = other->frameGeometry();
        QRect left = placed, above = placed;
        left.moveRight(o.left() - 1);
        above.moveBottom(o.top() - 1);
        for (const QRect& candidate : {left, above})
            if (screen.contains(candidate) && !covers(candidate)) {
                placed = candidate;
                break;
            }
    }
    move(placed.topLeft());
}

void AnimationDialog::BindNumber(QLineEdit* edit, std::function<void(int)> set) {
    // Read on every change, also a change made by the program, as the
    // renderer must always hold what the window shows.
    connect(edit, &QLineEdit::textChanged, this, [this, set](const QString& text) {
        if (Renderer())
            set(AtoiText(text));
        PreviewChanged();
    });
    // The starting texts are what the renderer starts with.
    if (Renderer())
        set(AtoiText(edit->text()));
}

void AnimationDialog::BindSize(QLineEdit* width, QLineEdit* height) {
    m_pWidthEdit = width;
    m_pHeightEdit = height;
    BindNumber(width, [this](int v) { Renderer()->SetFrameWidth(v); });
    BindNumber(height, [this](int v) { Renderer()->SetFrameHeight(v); });
}

void AnimationDialog::SetWidthText(int width) {
    if (m_pWidthEdit)
        m_pWidthEdit->setText(QString::number(width));
}

void AnimationDialog::SetHeightText(int height) {
    if (m_pHeightEdit)
        m_pHeightEdit->setText(QString::number(height));
}

void AnimationDialog::BindColor(CColorBox* box, std::function<void(COLORREF)> set) {
    box->Fill();
    connect(box, &QComboBox::activated, this, [this, box, set = std::move(set)](int index) {
        if (!Renderer())
            return;
        if (index == 0) {
            COLORREF chosen = 0;
            if (ChooseCustomColor(this, &chosen)) {
                box->SetItemColor(0, chosen);
                set(chosen);
                update();
            }
        } else if (index > 0 && index < 17) {
            // The animation table's Black is #0F0F0F.
            set(ColorOfEntry(kAnimationColorTable[index]));
        }
        PreviewChanged();
        box->setFocus();
    });
}

void AnimationDialog::BindColor(CColorBox* box, std::function<void(COLORREF)> set,
                                std::function<COLORREF()> get) {
    BindColor(box, std::move(set));
    if (Renderer() && get)
        box->SetDefaultColor(get());
}

void AnimationDialog::BindIndexedColors(const std::array<CColorBox*, 5>& boxes,
                                        std::function<void(int, COLORREF)> set,
                                        std::function<COLORREF(int)> get) {
    for (int i = 0; i < int(boxes.size()); ++i)
        BindColor(
            boxes[std::size_t(i)], [set, i](COLORREF color) { set(i, color); },
            [get, i] { return get(i); });
}

void AnimationDialog::BindNumberOfColors(QComboBox* combo, std::function<void(int)> set) {
    connect(combo, &QComboBox::activated, this, [this, combo, set = std::move(set)](int index) {
        if (Renderer())
            set(AtoiText(combo->itemText(index)));
        PreviewChanged();
    });
}

void AnimationDialog::BindDither(QCheckBox* check) {
    AddWebpChoice(check);
    check->setChecked(true);
    connect(check, &QCheckBox::toggled, this, [this](bool on) {
        if (Renderer())
            Renderer()->SetDither(on);
        PreviewChanged();
    });
}

void AnimationDialog::AddWebpChoice(QCheckBox* below) {
    // Every window has Dither Colors; the choice goes under it, in the same
    // layout, and is one setting for all six.
    m_pWebpCheck = new QCheckBox(tr("Also save &WebP"), this);
    m_pWebpCheck->setObjectName(QStringLiteral("webpCheck"));
    m_pWebpCheck->setToolTip(tr("Also save the animation in full colour as an animated WebP "
                                "beside the GIF, for the modern page style"));
    m_pWebpCheck->setChecked(VelmoraSettings()->value(QStringLiteral("saveWebp"), 0).toInt() != 0);
    connect(m_pWebpCheck, &QCheckBox::toggled, this,
            [](bool on) { VelmoraSettings()->setValue(QStringLiteral("saveWebp"), on ? 1 : 0); });
    QLayout* parent = below->parentWidget() ? below->parentWidget()->layout() : nullptr;
    const std::function<bool(QLayout*)> place = [&](QLayout* layout) {
        if (!layout)
            return false;
        if (auto* grid = qobject_cast<QGridLayout*>(layout); grid && grid->indexOf(below) >= 0) {
            int row = 0, column = 0, rows = 0, columns = 0;
            grid->getItemPosition(grid->indexOf(below), &row, &column, &rows, &columns);
            grid->addWidget(m_pWebpCheck, grid->rowCount(), column, 1, columns);
            return true;
        }
        if (auto* box = qobject_cast<QBoxLayout*>(layout); box && box->indexOf(below) >= 0) {
            box->insertWidget(box->indexOf(below) + 1, m_pWebpCheck);
            return true;
        }
        for (int i = 0; i < layout->count(); ++i)
            if (place(layout->itemAt(i)->layout()))
                return true;
        return false;
    };
    if (!place(parent))
        m_pWebpCheck->hide();
}

void AnimationDialog::BindClose(QPushButton* close) {
    connect(close, &QPushButton::clicked, this, &AnimationDialog::reject);
}

void AnimationDialog::BindCellPattern(QPushButton* button) {
    connect(button, &QPushButton::clicked, this, &AnimationDialog::OnCellPattern);
}

void AnimationDialog::OnCellPattern() {
    // The pattern is painted for this window's animation, on the table as
    // it is now.
    m_pHost->SetAnimationType(m_nType);
    VelmoraDocument* doc = m_pHost->Document();
    if (!doc)
        return;
    CellPattern picker(doc, m_pHost->InstallationDirectory(), this);
    // "Set Table to One Cell": the frame follows, as if typed.
    connect(&picker, &CellPattern::OneCellSizeChosen, this, [this](QSize size) {
        SetWidthText(size.width());
        SetHeightText(size.height());
    });
    if (picker.RunModal() != QDialog::Accepted)
        return;
    const MaskMode mode = picker.ChosenMode();
    if (mode == MaskMode::None) {
        if (Status s = doc->SetCellPattern(MaskMode::None, nullptr); !s)
            ShowUserMessage(this, s.message(), MessageKind::Warning);
        return;
    }
    const int selection = picker.Selection();
    if (AnimationRenderer* renderer = Renderer(); renderer && selection >= 4)
        renderer->SetCellPicture(picker.Picture());
    std::unique_ptr<CellPatternDialog> dialog;
    if (selection == 1)
        dialog = std::make_unique<RoundRectCellPattern>(m_pHost, m_nType, this);
    else if (selection == 2)
        dialog = std::make_unique<RectCellPattern>(m_pHost, m_nType, this);
    else if (selection == 3)
        dialog = std::make_unique<CCraftCellPattern>(m_pHost, m_nType, this);
    else if (selection >= 4)
        dialog = std::make_unique<BitmapCellPattern>(m_pHost, m_nType, this);
    if (!dialog)
        return;
    dialog->SetChoice(mode, picker.Picture());
    // The frames take the table's size as soon as the pattern is to be cut
    // into them, so the next save covers the whole table.
    if (mode == MaskMode::MergedIntoFrames) {
        SetWidthText(doc->Table().GetWidth());
        SetHeightText(doc->Table().GetHeight());
    }
    dialog->RunModal();
}

QWidget* AnimationDialog::ParameterControl(const QString& name) const {
    QStringList names;
    if (name == QLatin1String("colors")) {
        names << QStringLiteral("numberOfColorsCombo");
    } else if (name == QLatin1String("picture")) {
        names << QStringLiteral("fileNameEdit");
    } else if (name.size() == 6 && name.startsWith(QLatin1String("color"))) {
        names << QStringLiteral("stripeColor%1Box").arg(name.back())
              << QStringLiteral("cloudColor%1Box").arg(name.back());
    } else {
        QString camel;
        bool upper = false;
        for (const QChar ch : name) {
            if (ch == QLatin1Char('-')) {
                upper = true;
                continue;
            }
            camel += upper ? ch.toUpper() : ch;
            upper = false;
        }
        for (const char* kind : {"Edit", "Check", "Combo", "Box"})
            names << camel + QLatin1String(kind);
    }
    for (const QString& objectName : names)
        if (QWidget* w = findChild<QWidget*>(objectName))
            return w;
    return nullptr;
}

void AnimationDialog::ShowRecord(const AnimationRecord& record) {
    for (const auto& [name, value] : record.values) {
        QWidget* w = ParameterControl(name);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            edit->setText(value);
        } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
            check->setChecked(value == QLatin1String("1"));
        } else if (auto* box = qobject_cast<CColorBox*>(w)) {
            const std::optional<COLORREF> color = ParseColorText(value);
            if (!color)
                continue;
            int index = 0;
            for (int i = 1; i < box->count() && index == 0; ++i)
                if (box->ItemColor(i) == *color)
                    index = i;
            if (index == 0)
                box->SetItemColor(0, *color);
            box->setCurrentIndex(index);
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            const int index = combo->findText(value);
            if (index >= 0)
                combo->setCurrentIndex(index);
        }
    }
    AnimationRenderer* renderer = Renderer();
    if (!renderer)
        return;
    ApplyAnimationRecord(record, *renderer);
    if (!record.seed)
        return;
    if (m_pSeedLabel)
        m_pSeedLabel->setText(tr("Seed: %1").arg(*record.seed));
    if (m_pSameSeedCheck) {
        const QSignalBlocker block(m_pSameSeedCheck);
        m_pSameSeedCheck->setEnabled(true);
        m_pSameSeedCheck->setChecked(true);
    }
}
void AnimationDialog::BindSeed(QLabel* seedLabel, QCheckBox* sameSeed) {
    m_pSeedLabel = seedLabel;
    m_pSameSeedCheck = sameSeed;
    seedLabel->setText(tr("Seed: none yet"));
    sameSeed->setChecked(false);
    // Nothing to repeat before the first save.
    sameSeed->setEnabled(false);
    sameSeed->setToolTip(tr("Repeat the random field of the last save"));
    connect(sameSeed, &QCheckBox::toggled, this, [this](bool on) {
        if (AnimationRenderer* r = Renderer())
            r->SetFixedSeed(on ? std::optional<std::uint32_t>(r->GetLastSeed()) : std::nullopt);
    });
    connect(this, &AnimationDialog::Saved, this, [this](const Status& status) {
        AnimationRenderer* r = Renderer();
        if (!status || !r || !m_pSeedLabel)
            return;
        m_pSeedLabel->setText(tr("Seed: %1").arg(r->GetLastSeed()));
        m_pSameSeedCheck->setEnabled(true);
    });
}

void AnimationDialog::BindStripeControls(const StripeControls& c) {
    auto r = [this] { return static_cast<StripesRendererBase*>(Renderer()); };
    BindNumber(c.speed, [r](int v) { r()->SetSpeed(v); });
    BindNumber(c.stripeWidth, [r](int v) { r()->SetStripeWidth(v); });
    BindNumber(c.stripeDistance, [r](int v) { r()->SetStripeDistance(v); });
    BindNumberOfColors(c.numberOfColors, [r](int v) { r()->SetNumberOfColors(v); });
    c.numberOfColors->setCurrentIndex(0);
    BindColor(
        c.background, [r](COLORREF color) { r()->SetBackgroundColor(color); },
        [r] { return r()->GetBackgroundColor(); });
    BindIndexedColors(
        c.stripes, [r](int i, COLORREF color) { r()->SetStripeColor(i, color); },
        [r](int i) { return r()->GetStripeColor(i); });
    connect(c.backgroundStripes, &QCheckBox::toggled, this, [this, r](bool on) {
        r()->SetBackgroundStripes(on);
        PreviewChanged();
    });
}

void AnimationDialog::PreviewChanged() {
    if (m_pLivePreview)
        m_pLivePreview->Changed();
}

void AnimationDialog::EnsureLivePreview() {
    // The windows build their controls after this base is made, so the
    // preview joins their layout when the window is first placed or shown.
    if (m_pLivePreview)
        return;
    // The preview, and under it what the saved animation lacks.
    auto* column = new QWidget(this);
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    m_pLivePreview = new LivePreview(
        [this]() -> std::unique_ptr<AnimationRenderer> {
            AnimationRenderer* r = Renderer();
            return r ? r->Clone() : nullptr;
        },
        column);
    m_pStaleLabel = new QLabel(
        tr("The saved animation does not match the cell pattern: save it again."), column);
    m_pStaleLabel->setObjectName(QStringLiteral("staleAnimationLabel"));
    m_pStaleLabel->setWordWrap(true);
    m_pStaleLabel->setMaximumWidth(m_pLivePreview->width());
    m_pStaleLabel->setStyleSheet(QStringLiteral("color: #a01010"));
    const VelmoraDocument* doc = m_pHost->Document();
    m_pStaleLabel->setVisible(doc && doc->AnimationStale());
    if (doc)
        connect(doc, &VelmoraDocument::AnimationStaleChanged, m_pStaleLabel, &QLabel::setVisible);
    stack->addWidget(m_pLivePreview);
    stack->addWidget(m_pStaleLabel);
    stack->addStretch();
    if (auto* box = qobject_cast<QBoxLayout*>(layout())) {
        box->addWidget(column, 0, Qt::AlignTop);
    } else if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(column, 0, grid->columnCount(), std::max(1, grid->rowCount()), 1,
                        Qt::AlignTop);
    } else if (layout()) {
        layout()->addWidget(column);
    } else {
        // Controls placed by hand: the preview goes below them.
        column->hide();
        const QRect controls = childrenRect();
        column->show();
        column->adjustSize();
        column->move(controls.left(), controls.bottom() + 6);
        resize(std::max(width(), column->geometry().right() + 6), column->geometry().bottom() + 6);
    }
    WatchEdits();
    m_pLivePreview->Changed();
}

void AnimationDialog::WatchEdits() {
    // Windows bind some controls themselves (angles, pictures, directions);
    // watching every control catches those edits without each window
    // having to report them.
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        connect(edit, &QLineEdit::textChanged, this, &AnimationDialog::PreviewChanged);
    for (QComboBox* combo : findChildren<QComboBox*>()) {
        connect(combo, &QComboBox::currentIndexChanged, this, &AnimationDialog::PreviewChanged);
        // A custom colour keeps the index where it was.
        connect(combo, &QComboBox::activated, this, &AnimationDialog::PreviewChanged);
    }
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        connect(button, &QAbstractButton::toggled, this, &AnimationDialog::PreviewChanged);
        connect(button, &QAbstractButton::clicked, this, &AnimationDialog::PreviewChanged);
    }
}

void AnimationDialog::showEvent(QShowEvent* event) {
    EnsureLivePreview();
    QDialog::showEvent(event);
}

void AnimationDialog::reject() {
    if (m_bSaving)
        return; // the progress dialog's Cancel stops a save
    m_pHost->SetAnimationType(0);
    QDialog::reject();
    close();
}

void AnimationDialog::closeEvent(QCloseEvent* event) {
    if (m_bSaving) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

namespace {

class AtomicProgress : public ProgressSink {
public:
    bool Progress(int done, int total) override {
        m_done = done;
        m_total = total;
        return !m_cancel.load();
    }
    std::atomic<int> m_done{0}, m_total{1};
    std::atomic<bool> m_cancel{false};
};

} // namespace

Status AnimationDialog::RunSave(const std::function<void(AnimationRenderer&)>& prepare) {
    AnimationRenderer* renderer = Renderer();
    if (!renderer || m_bSaving)
        return Status::Error(QString());
    // Runs from a button's slot: no exception may leave here.
    std::shared_ptr<AnimationRenderer> snapshot;
    std::shared_ptr<AtomicProgress> progress;
    Status refused;
    try {
        // The save draws for the document as it is now.
        if (const VelmoraDocument* doc = m_pHost->Document())
            renderer->SetContext(doc->Context());
        prepare(*renderer);
        // A save that cannot be made is refused before the progress dialog.
        refused = renderer->CheckSave();
        if (refused)
            refused = renderer->CheckPreparedSave();
        if (refused) {
            // The save works on a copy, so the window stays free to edit the
            // renderer while it runs.
            snapshot = renderer->Clone();
            progress = std::make_shared<AtomicProgress>();
        }
    } catch (const std::bad_alloc&) {
        refused = Status::Error(tr("Not enough memory for preparing the animation"));
    }
    if (!refused) {
        ShowUserMessage(this, refused.message(), MessageKind::Warning);
        Q_EMIT Saved(refused);
        return refused;
    }
    m_bSaving = true;

    QProgressDialog dialog(tr("Drawing and writing the animation..."), tr("Cancel"), 0, 1000, this);
    dialog.setWindowTitle(windowTitle());
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(300);
    dialog.setValue(0);

    QFutureWatcher<Status> watcher;
    QEventLoop loop;
    connect(&watcher, &QFutureWatcher<Status>::finished, &loop, &QEventLoop::quit);
    connect(&dialog, &QProgressDialog::canceled, this, [progress] { progress->m_cancel = true; });
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        const int total = std::max(progress->m_total.load(), 1);
        dialog.setValue(std::min(999, progress->m_done.load() * 1000 / total));
    });
    tick.start(50);
    const bool webp = m_pWebpCheck && m_pWebpCheck->isChecked();
    auto outcome = std::make_shared<SaveOutcome>();
    watcher.setFuture(QtConcurrent::run([snapshot, progress, outcome, webp] {
        SaveOptions options;
        options.progress = progress.get();
        options.cancel = &progress->m_cancel;
        // The write turns running out of memory into its status; anything
        // else unexpected must not reach the window's event loop either.
        try {
            if (webp) {
                WebpSaveOptions webpOptions;
                webpOptions.progress = progress.get();
                webpOptions.cancel = &progress->m_cancel;
                return WriteAnimatedGifAndWebp(*snapshot, options, webpOptions, outcome.get());
            }
            // A WebP left from an earlier save would show the old animation
            // on a modern page; without one the page set makes it anew.
            if (Status s = WriteAnimation(*snapshot, options, outcome.get()); !s)
                return s;
            QFile::remove(WebpPathFor(snapshot->GetAnimationGifPath()));
            return Status::Ok();
        } catch (const std::exception& e) {
            return Status::Error(QString::fromLocal8Bit(e.what()));
        }
    }));
    if (!watcher.isFinished())
        loop.exec();
    tick.stop();
    dialog.reset();
    m_bSaving = false;

    const Status status = watcher.result();
    if (status) {
        const QString saved = tr("Animated gif saved to disk");
        const QStringList& summary = outcome->summary;
        QStringList lines{saved};
        lines << summary << outcome->notes;
        if (webp) {
            // The WebP's size is what tells whether it is worth its place
            // beside the GIF on a modern page.
            const QString webpPath = WebpPathFor(snapshot->GetAnimationGifPath());
            lines << tr("WebP: %1").arg(SaveSummary(*snapshot, QFileInfo(webpPath).size()).value(0))
                  << WebpSaveNotes(*snapshot);
        }
        // The page, the stale mark and the status bar are up to date while
        // the message is read.
        m_pHost->RefreshPreview();
        if (VelmoraDocument* doc = m_pHost->Document())
            doc->AnimationSaved();
        if (QMainWindow* main = m_pHost->MainWindow())
            main->statusBar()->showMessage(saved + QStringLiteral(": ") +
                                           summary.join(QLatin1Char(' ')));
        // The seed shown is the saved one while the message is read.
        Q_EMIT Saved(status);
        ShowUserMessage(this, lines.join(QLatin1Char('\n')), MessageKind::Information);
        return status;
    }
    if (!progress->m_cancel)
        ShowUserMessage(this, status.message(), MessageKind::Warning);
    Q_EMIT Saved(status);
    return status;
}
