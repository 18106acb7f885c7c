#include "ui/animation/anm_type.h"

#include "core/animation/animation_types.h"
#include "ui_anm_type.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <map>

namespace {

std::function<int()> g_testHook;

AnmType::Sample RenderSample(AnimationRenderer& renderer) {
    AnmType::Sample sample;
    renderer.SetFrameWidth(200);
    renderer.SetFrameHeight(160);
    renderer.PrepareSave();
    renderer.Restart();
    sample.delayMs = std::max(renderer.FrameDelay(0), 1) * 10;
    for (int i = 0; i < renderer.FrameCount(); ++i) {
        QImage frame(renderer.OutputSize(), QImage::Format_RGB32);
        renderer.DrawFrame(i, &frame);
        sample.frames.push_back(std::move(frame));
    }
    return sample;
}

} // namespace

bool AnmType::IsAvailable(int chooserType) {
    const AnimationTypeInfo* info = AnimationTypeByChooser(chooserType);
    return info && info->IsAvailable();
}

int AnmType::RendererTypeFor(int chooserType) {
    const AnimationTypeInfo* info = AnimationTypeByChooser(chooserType);
    return info ? info->rendererType : 0;
}

const AnmType::Sample& AnmType::SampleOf(int chooserType) {
    static std::map<int, Sample> cache;
    auto found = cache.find(chooserType);
    if (found != cache.end())
        return found->second;
    Sample sample;
    const AnimationTypeInfo* info = AnimationTypeByChooser(chooserType);
    if (info && info->IsAvailable()) {
        std::unique_ptr<AnimationRenderer> r = info->create();
        // Samples repeat from one run to the next.
        r->SetFixedSeed(1);
        if (info->sample)
            info->sample(*r);
        sample = RenderSample(*r);
    }
    return cache.emplace(chooserType, std::move(sample)).first->second;
}

AnmType::AnmType(QWidget* owner) : QDialog(owner), m_ui(std::make_unique<Ui::AnmType>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("animationType"));
    QPushButton* next = m_ui->buttons->addButton(tr("&Next"), QDialogButtonBox::AcceptRole);
    next->setDefault(true);
    connect(m_ui->buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (const AnimationTypeInfo& type : AnimationTypes()) {
        auto* item = new QListWidgetItem(tr(qPrintable(type.title)), m_ui->typeList);
        if (!type.IsAvailable()) {
            // Listed, so the user sees what is coming, but not choosable.
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
            item->setToolTip(tr("Not available yet"));
        }
    }
    connect(m_ui->typeList, &QListWidget::currentRowChanged, this, &AnmType::OnSelectionChanged);
    connect(m_ui->typeList, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (item->flags() & Qt::ItemIsEnabled)
            accept();
    });
    connect(&m_timer, &QTimer::timeout, this, [this] {
        ++m_nFrame;
        ShowFrame();
    });
    m_ui->typeList->setCurrentRow(0);
    OnSelectionChanged(0);
    m_ui->typeList->setFocus();
}

AnmType::~AnmType() = default;

void AnmType::OnSelectionChanged(int row) {
    if (row < 0)
        return;
    m_nChosenType = row + 1;
    // Every change starts the sample from its first frame.
    m_timer.stop();
    m_nFrame = 0;
    const Sample& sample = SampleOf(m_nChosenType);
    if (sample.frames.empty()) {
        m_ui->samplePlayer->setPixmap(QPixmap());
        m_ui->samplePlayer->setText(tr("No sample"));
        return;
    }
    ShowFrame();
    m_timer.start(sample.delayMs);
}

void AnmType::ShowFrame() {
    const Sample& sample = SampleOf(m_nChosenType);
    if (sample.frames.empty())
        return;
    m_nFrame %= int(sample.frames.size());
    m_ui->samplePlayer->setPixmap(QPixmap::fromImage(sample.frames[std::size_t(m_nFrame)]));
}

void AnmType::SetTestHook(std::function<int()> hook) {
    g_testHook = std::move(hook);
}

int AnmType::Run(QWidget* owner) {
    if (g_testHook)
        return g_testHook();
    AnmType chooser(owner);
    return chooser.exec() == QDialog::Accepted ? chooser.ChosenType() : 0;
}
