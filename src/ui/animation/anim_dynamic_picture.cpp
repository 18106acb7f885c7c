#include "ui/animation/anim_dynamic_picture.h"

#include "core/animation/dynamic_picture_renderer.h"
#include "core/imaging/picture_loader.h"
#include "ui/controls/file_dialogs.h"
#include "ui/controls/user_messages.h"
#include "ui_anim_dynamic_picture.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>

AnimDynamicPicture::AnimDynamicPicture(AnimationHost* host, QWidget* owner)
    : AnimationDialog(host, kRendererType, owner),
      m_ui(std::make_unique<Ui::AnimDynamicPicture>()) {
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("dynamicPicture"));
    auto r = [this] { return PictureRenderer(); };
    connect(m_ui->fileNameEdit, &QLineEdit::textChanged, this, [r](const QString& text) {
        if (r())
            r()->SetPictureFileName(text);
    });
    connect(m_ui->browseButton, &QPushButton::clicked, this, &AnimDynamicPicture::OnBrowse);
    BindSize(m_ui->widthEdit, m_ui->heightEdit);
    BindNumber(m_ui->angleEdit, [this, r](int v) {
        r()->SetAngle(v);
        m_ui->angleDial->SetAngle(v);
    });
    BindNumber(m_ui->speedEdit, [r](int v) { r()->SetSpeed(v); });
    BindDither(m_ui->ditherCheck);
    // The dial only reports; the angle box is what the renderer reads.
    connect(m_ui->angleDial, &CAngleDial::AngleChosen, this,
            [this](qint16 angle) { m_ui->angleEdit->setText(QString::number(angle)); });
    connect(m_ui->saveButton, &QPushButton::clicked, this, &AnimDynamicPicture::OnSaveAnimatedGif);
    BindCellPattern(m_ui->cellPatternButton);
    BindClose(m_ui->closeButton);
    m_ui->angleDial->SetAngle(PictureRenderer()->GetAngle());
}

AnimDynamicPicture::~AnimDynamicPicture() = default;

DynamicPictureRenderer* AnimDynamicPicture::PictureRenderer() const {
    return static_cast<DynamicPictureRenderer*>(Renderer());
}

QString AnimDynamicPicture::PictureFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return tr("Pictures (%1);;All Files (*)").arg(patterns.join(QLatin1Char(' ')));
}

void AnimDynamicPicture::OnBrowse() {
    const QString current = m_ui->fileNameEdit->text();
    const QString path = ChooseFileToOpen(this, tr("Open"),
                                          current.isEmpty() ? QString() : QFileInfo(current).path(),
                                          PictureFilter());
    if (!path.isEmpty())
        ChoosePicture(path);
}

Status AnimDynamicPicture::ChoosePicture(const QString& path) {
    m_ui->fileNameEdit->setText(path);
    PictureRenderer()->SetPictureFileName(path);
    QImage picture;
    const Status loaded = LoadPicture(path, &picture, PictureFormats::AnyReadable);
    if (!loaded) {
        // The size stays as it was; the save will say the same.
        ShowUserMessage(this, loaded.message(), MessageKind::Warning);
        return loaded;
    }
    m_ui->widthEdit->setText(QString::number(picture.width()));
    m_ui->heightEdit->setText(QString::number(picture.height()));
    update();
    return Status::Ok();
}

Status AnimDynamicPicture::OnSaveAnimatedGif() {
    if (m_ui->fileNameEdit->text().isEmpty()) {
        const QString message = tr("Fill the filename to load");
        ShowUserMessage(this, message, MessageKind::Warning);
        return Status::Error(message);
    }
    return RunSave([](AnimationRenderer& r) { r.PrepareSave(); });
}
