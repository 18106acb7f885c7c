#include "animation/anm_type.h"

#include "animation/moving_stripes_renderer.h"
#include "animation/rotating_stripes_renderer.h"
#include "ui_anm_type.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <map>

namespace {

const char* const kTypeNames[6] = {"Moving Stripes", "Rotating Stripes", "Blinking Clouds",
                                   "Flowing Clouds", "Rubber Clouds",    "Dynamic Picture"};

std::function<int()> g_testHook;

AnmType::Sample RenderSample(AnimationRenderer& renderer) {
    AnmType::Sample sample;
    renderer.SetFrameWidth(200);
    renderer.SetFrameHeight(160);
    renderer.PrepareSave();
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
    return chooserType == 1 || chooserType == 2;
}

int AnmType::RendererTypeFor(int chooserType) {
    static const int map[7] = {0, 1, 2, 5, 3, 6, 4};
    return chooserType >= 1 && chooserType <= 6 ? map[chooserType] : 0;
}

const AnmType::Sample& AnmType::SampleOf(int chooserType) {
    static std::map<int, Sample> cache;
    auto found = cache.find(chooserType);
    if (found != cache.end())
        return found->second;
    Sample sample;
    if (chooserType == 1) {
        MovingStripesRenderer r;
        r.SetNumberOfColors(3);
        sample = RenderSample(r);
    } else if (chooserType == 2) {
        RotatingStripesRenderer r;
        r.SetNumberOfColors(2);
        sample = RenderSample(r);
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
    for (int i = 0; i < 6; ++i) {
        auto* item = new QListWidgetItem(tr(kTypeNames[i]), m_ui->typeList);
        if (!IsAvailable(i + 1)) {
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
