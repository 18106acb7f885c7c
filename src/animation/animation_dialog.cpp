#include "animation/animation_dialog.h"

#include "animation/animation_host.h"
#include "animation/stripes_renderer_base.h"
#include "cellpattern/bitmap_cell_pattern_dialog.h"
#include "cellpattern/cell_pattern.h"
#include "cellpattern/craft_cell_pattern_dialog.h"
#include "cellpattern/rect_cell_pattern.h"
#include "cellpattern/round_rect_cell_pattern.h"
#include "controls/color_box.h"
#include "controls/dialog_text.h"
#include "controls/user_messages.h"
#include "page/velmora_document.h"

#include <QAtomicInt>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <exception>
#include <new>

AnimationDialog::AnimationDialog(AnimationHost* host, int rendererType, QWidget* owner)
    : QDialog(owner, Qt::Dialog), m_pHost(host), m_nType(rendererType) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_pHost->CreateRenderer(rendererType);
}

AnimationRenderer* AnimationDialog::Renderer() const {
    return m_pHost->Renderer(m_nType);
}

void AnimationDialog::PlaceAtMainWindow() {
    QMainWindow* main = m_pHost->MainWindow();
    if (!main)
        return;
    adjustSize();
    const QRect m = main->frameGeometry();
    const QRect own = frameGeometry();
    move(m.left() + 5, m.bottom() + 1 - own.height() - 25);
}

void AnimationDialog::BindNumber(QLineEdit* edit, std::function<void(int)> set) {
    // Read on every change, also a change made by the program, as the
    // renderer must always hold what the window shows.
    connect(edit, &QLineEdit::textChanged, this, [this, set](const QString& text) {
        if (Renderer())
            set(AtoiText(text));
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
        box->setFocus();
    });
}

void AnimationDialog::BindColor(CColorBox* box, std::function<void(COLORREF)> set,
                                std::function<COLORREF()> get) {
    BindColor(box, std::move(set));
    if (Renderer() && get)
        box->SetDefaultColor(get());
}

void AnimationDialog::BindNumberOfColors(QComboBox* combo, std::function<void(int)> set) {
    connect(combo, &QComboBox::activated, this, [this, combo, set = std::move(set)](int index) {
        if (Renderer())
            set(AtoiText(combo->itemText(index)));
    });
}

void AnimationDialog::BindDither(QCheckBox* check) {
    check->setChecked(true);
    connect(check, &QCheckBox::toggled, this, [this](bool on) {
        if (Renderer())
            Renderer()->SetDither(on);
    });
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
    AnimationRenderer* renderer = Renderer();
    if (!renderer)
        return;
    if (VelmoraDocument* doc = m_pHost->Document())
        doc->CopyTableGeometryTo(*renderer);
    CellPattern picker(m_pHost, m_nType, this, m_pHost->InstallationDirectory(), this);
    if (picker.RunModal() != QDialog::Accepted)
        return;
    std::unique_ptr<CellPatternDialog> dialog;
    const int selection = picker.Selection();
    if (selection == 1)
        dialog = std::make_unique<RoundRectCellPattern>(m_pHost, m_nType, this);
    else if (selection == 2)
        dialog = std::make_unique<RectCellPattern>(m_pHost, m_nType, this);
    else if (selection == 3)
        dialog = std::make_unique<CCraftCellPattern>(m_pHost, m_nType, this);
    else if (selection >= 4)
        dialog = std::make_unique<BitmapCellPattern>(m_pHost, m_nType, this);
    if (dialog)
        dialog->RunModal();
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
    for (int i = 0; i < 5; ++i)
        BindColor(
            c.stripes[std::size_t(i)], [r, i](COLORREF color) { r()->SetStripeColor(i, color); },
            [r, i] { return r()->GetStripeColor(i); });
    connect(c.backgroundStripes, &QCheckBox::toggled, this,
            [r](bool on) { r()->SetBackgroundStripes(on); });
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
    watcher.setFuture(QtConcurrent::run([snapshot, progress] {
        SaveOptions options;
        options.progress = progress.get();
        options.cancel = &progress->m_cancel;
        // The write turns running out of memory into its status; anything
        // else unexpected must not reach the window's event loop either.
        try {
            return snapshot->WriteAnimatedGif(options);
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
        QString message = tr("Animated gif saved to disk");
        // The notes are about the prepared save, which the snapshot holds.
        for (const QString& note : snapshot->AllSaveNotes())
            message += QStringLiteral("\n") + note;
        ShowUserMessage(this, message, MessageKind::Information);
        m_pHost->RefreshPreview();
    } else if (!progress->m_cancel) {
        ShowUserMessage(this, status.message(), MessageKind::Warning);
    }
    Q_EMIT Saved(status);
    return status;
}
