#include "ui/cellpattern/cell_pattern.h"

#include "core/document/cell_pattern_painter.h"
#include "core/imaging/picture_loader.h"
#include "ui_cell_pattern.h"

#include <QDir>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

namespace {

CellPattern::TestHook& Hook() {
    static CellPattern::TestHook hook;
    return hook;
}

constexpr int kFixedItems = 4;
// The viewing window of the preview; a picture is scrolled once it is wider
// than kScrollWidth or taller than kViewHeight.
constexpr int kViewWidth = 262;
constexpr int kViewHeight = 208;
constexpr int kScrollWidth = 260;
// The samples of the drawn shapes.
constexpr int kSampleWidth = 224;
constexpr int kSampleHeight = 158;

} // namespace

CellPattern::CellPattern(VelmoraDocument* doc, QString directory, QWidget* parent)
    : QDialog(parent, Qt::Dialog), m_ui(std::make_unique<Ui::CellPattern>()), m_pDoc(doc),
      m_strDirectory(std::move(directory)) {
    m_ui->setupUi(this);
    QListWidget* list = m_ui->patternList;
    list->addItems({tr("No Cell Pattern"), tr("Rounded Rectangle..."), tr("Rectangle..."),
                    tr("Craft Scissors...")});
    m_ui->saveCheck->setChecked(false);
    if (!m_strDirectory.isEmpty()) {
        QDir folder(m_strDirectory + QStringLiteral("CellPattern"));
        const QStringList files =
            folder.entryList({QStringLiteral("*.bmp")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QString& file : files) {
            // Shown without its extension; the item keeps the file's own
            // name, whatever the extension's case.
            auto* item = new QListWidgetItem(file.left(file.size() - 4), list);
            item->setData(Qt::UserRole, file);
        }
    }
    for (QScrollBar* bar : {m_ui->horizontalScrollBar, m_ui->verticalScrollBar}) {
        // Positions 0 to 91: a range of 100 seen through a page of 10.
        bar->setRange(0, 91);
        bar->setPageStep(10);
        bar->setSingleStep(1);
        // The preview keeps its place whether they show or not.
        QSizePolicy policy = bar->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        bar->setSizePolicy(policy);
        bar->hide();
        connect(bar, &QScrollBar::valueChanged, this, &CellPattern::UpdatePreview);
    }
    connect(list, &QListWidget::currentRowChanged, this, &CellPattern::OnSelectionChanged);
    connect(list, &QListWidget::itemDoubleClicked, this, &CellPattern::accept);
    connect(m_ui->oneCellButton, &QPushButton::clicked, this, &CellPattern::OnSetTableToOneCell);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &CellPattern::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &CellPattern::reject);
    m_ui->sizeLabel->setMinimumHeight(m_ui->sizeLabel->fontMetrics().height());
    m_ui->previewLabel->setWordWrap(true);
    list->setCurrentRow(1);
    adjustSize();
}

CellPattern::~CellPattern() = default;

void CellPattern::SetTestHook(TestHook hook) {
    Hook() = std::move(hook);
}

int CellPattern::RunModal() {
    if (Hook())
        return Hook()(*this);
    return exec();
}

MaskMode CellPattern::ChosenMode() const {
    if (m_ui->patternList->currentRow() <= 0)
        return MaskMode::None;
    return m_ui->saveCheck->isChecked() ? MaskMode::SeparateLayer : MaskMode::MergedIntoFrames;
}

QString CellPattern::BitmapPath(int row) const {
    QListWidgetItem* item = m_ui->patternList->item(row);
    if (!item)
        return {};
    return m_strDirectory + QStringLiteral("CellPattern/") + item->data(Qt::UserRole).toString();
}

QImage CellPattern::ShapeSample(int index) {
    CellPatternKind kind;
    switch (index) {
    case 1:
        kind = CellPatternKind::RoundRectangle;
        break;
    case 2:
        kind = CellPatternKind::Rectangle;
        break;
    case 3:
        kind = CellPatternKind::CraftScissors;
        break;
    default:
        return {};
    }
    TableGeometry one;
    one.width = kSampleWidth;
    one.height = kSampleHeight;
    one.rows = 1;
    one.columns = 1;
    one.border = 0;
    CellPatternParameters p = CellPatternParameters::Defaults(kind);
    p.seed = 1; // the same outline every time the sample is shown
    CellMask mask;
    if (!PaintCellMask(one, QImage(), p, &mask) || mask.IsEmpty())
        return {};
    QImage image(mask.Width(), mask.Height(), QImage::Format_Mono);
    image.setColor(0, qRgb(0, 0, 0));
    image.setColor(1, qRgb(255, 255, 255));
    for (int y = 0; y < mask.Height(); ++y)
        for (int x = 0; x < mask.Width(); ++x)
            image.setPixel(x, y, mask.IsCell(x, y) ? 1 : 0);
    return image;
}

void CellPattern::OnSelectionChanged(int row) {
    m_ui->oneCellButton->setEnabled(row >= kFixedItems);
    // A new choice starts at the picture's top left corner.
    {
        const QSignalBlocker h(m_ui->horizontalScrollBar);
        const QSignalBlocker v(m_ui->verticalScrollBar);
        m_ui->horizontalScrollBar->setValue(0);
        m_ui->verticalScrollBar->setValue(0);
    }
    m_nSelection = row;
    m_picture = QImage();
    m_strLoadError.clear();
    // The folder was listed when the window opened; by now a name may lead
    // to a FIFO, a device or a huge file. The loader reads only a regular
    // file, and no more of it than a picture may take.
    if (row >= kFixedItems) {
        if (Status s = LoadPicture(BitmapPath(row), &m_picture); !s) {
            m_picture = QImage();
            m_strLoadError = s.message();
        }
    }
    UpdatePreview();
}

void CellPattern::UpdatePreview() {
    const int s = m_nSelection;
    QScrollBar* hbar = m_ui->horizontalScrollBar;
    QScrollBar* vbar = m_ui->verticalScrollBar;
    bool scrolled = false;
    if (s <= 0) {
        m_preview = QImage();
        m_ui->sizeLabel->clear();
    } else if (s < kFixedItems) {
        m_preview = ShapeSample(s);
        m_ui->sizeLabel->clear();
    } else {
        const int w = m_picture.width();
        const int h = m_picture.height();
        m_ui->sizeLabel->setText(tr("Size: ") + QStringLiteral("%1 X %2").arg(w).arg(h));
        if (m_picture.isNull()) {
            m_preview = QImage();
        } else if (w > kScrollWidth || h > kViewHeight) {
            scrolled = true;
            // 64-bit: the positions scale picture sizes of any width.
            const qint64 x0 = qint64(hbar->value()) * (w / 10 + w - kViewWidth) / 100;
            const qint64 y0 = qint64(vbar->value()) * (h / 10 + h - kViewHeight) / 100;
            // What lies outside the picture shows as the page behind it.
            QImage view(kViewWidth, kViewHeight, QImage::Format_RGB32);
            view.fill(Qt::white);
            QPainter painter(&view);
            painter.drawImage(QPoint(int(-x0), int(-y0)), m_picture);
            m_preview = view;
        } else {
            m_preview = m_picture;
        }
    }
    hbar->setVisible(scrolled);
    vbar->setVisible(scrolled);
    if (m_preview.isNull() && !m_strLoadError.isEmpty() && s >= kFixedItems)
        m_ui->previewLabel->setText(m_strLoadError);
    else if (m_preview.isNull())
        m_ui->previewLabel->clear();
    else
        m_ui->previewLabel->setPixmap(QPixmap::fromImage(m_preview));
}

void CellPattern::OnSetTableToOneCell() {
    if (m_nSelection < kFixedItems || m_picture.isNull() || !m_pDoc)
        return;
    TableResize size;
    size.width = m_picture.width();
    size.height = m_picture.height();
    size.cells = 1;
    m_pDoc->ResizeTable(size);
    Q_EMIT OneCellSizeChosen(m_picture.size());
}
