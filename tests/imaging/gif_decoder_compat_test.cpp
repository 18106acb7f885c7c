// Every animation type, over a sweep of small parameter sets, must save GIFs
// that the strict decoder accepts and that giflib reads to the same pixels;
// gifsicle, ImageMagick and ffmpeg get a few of them when they are installed.
// The sweep is driven by the parameter table, so a new type is covered as
// soon as the command line knows it.
#include "core/animation/animation_save.h"
#include "core/animation/moving_stripes_renderer.h"
#include "core/animation/renderer_parameters.h"
#include "core/animation/rotating_stripes_renderer.h"
#include "core/imaging/gif_reader.h"
#include "file_contents.h"
#include "strict_gif_decoder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Small values, and the ones where geometry turns (angles at the quadrants
// and between them).
const int kIntegers[] = {0, 1, 2, 3, 4, 5, 7, 10, 16, 45, 89, 90, 135, 180, 270, 300, 359};
const int kSizes[] = {5, 6, 7, 9, 13, 16, 24, 31};
const COLORREF kColors[] = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00, 0xFF0000, 0x808080, 0x123456};

struct Sample {
    QString type;
    QString description; // the --set arguments that reproduce it
    std::unique_ptr<AnimationRenderer> renderer;
};

// A small many-coloured picture for the types that animate one.
QString SweepPicture() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("sweep.png"));
        QImage image(23, 17, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb(x * 11, y * 15, (x * y) % 256));
        image.save(file);
        return file;
    }();
    return path;
}

// Parameter set `index` of `type`: the defaults at index 0, random small
// values after that (the same ones on every run).
Sample MakeSample(const QString& type, int index) {
    Sample s{type, {}, CreateRendererByName(type)};
    std::uint32_t seed = std::uint32_t(index) * 2654435761u + std::uint32_t(qHash(type));
    auto next = [&seed](std::size_t n) {
        seed = seed * 1664525u + 1013904223u;
        return std::size_t(seed >> 8) % n;
    };
    if (index == 0) {
        for (const RendererParameter& p : RendererParameters(type))
            if (p.kind == RendererParameter::String)
                p.setText(*s.renderer, SweepPicture());
        s.renderer->SetFrameWidth(24);
        s.renderer->SetFrameHeight(24);
        s.description = QStringLiteral("width=24 height=24");
        return s;
    }
    for (const RendererParameter& p : RendererParameters(type)) {
        if (p.kind == RendererParameter::String) {
            // The only text parameter is a picture to animate.
            p.setText(*s.renderer, SweepPicture());
            continue;
        }
        int value = 0;
        if (p.name == QLatin1String("width") || p.name == QLatin1String("height"))
            value = kSizes[next(std::size(kSizes))];
        else if (p.kind == RendererParameter::Boolean)
            value = int(next(2));
        else if (p.kind == RendererParameter::Color)
            value = int(kColors[next(std::size(kColors))]);
        else if (next(4) == 0)
            continue; // keep the default
        else
            value = kIntegers[next(std::size(kIntegers))];
        p.set(*s.renderer, value);
        s.description += QStringLiteral("%1=%2 ").arg(p.name).arg(value);
    }
    return s;
}

// Saves the sample's GIF; false when it would be too big for a quick sweep.
bool Render(Sample& sample, const QString& path, Status* status) {
    sample.renderer->SetAnimationGifPath(path);
    sample.renderer->PrepareSave();
    auto tooBig = [&sample] {
        const QSize size = sample.renderer->OutputSize();
        return std::int64_t(sample.renderer->FrameCount()) * size.width() * size.height() > 1000000;
    };
    // Long animations (wide stripes, slow speeds) still get swept, on the
    // smallest frames; frame counts rarely depend on the frame size.
    if (tooBig()) {
        sample.renderer->SetFrameWidth(kSizes[0]);
        sample.renderer->SetFrameHeight(kSizes[0]);
        // Fit to Cell frames take the table's size.
        TableGeometry table = sample.renderer->Table();
        table.width = 60;
        table.height = 40;
        sample.renderer->SetTable(table);
        sample.description += QStringLiteral("(on %1 x %1 frames)").arg(kSizes[0]);
        sample.renderer->PrepareSave();
        if (tooBig())
            return false;
    }
    // A save refused before any work writes no GIF to check.
    if (!sample.renderer->CheckPreparedSave())
        return false;
    SaveOptions options;
    options.threads = 2;
    *status = WriteAnimation(*sample.renderer, options);
    return true;
}

// The strict decoder accepts the file and giflib reads the same indices.
void CheckBothDecoders(const QString& path, const QString& what) {
    const QByteArray data = ReadAll(path);
    StrictGif strict;
    const std::string error = StrictDecodeGif(data, &strict);
    ASSERT_EQ(error, "") << what.toStdString();
    GifAnimation gif;
    const Status s = ReadGifData(data, &gif, path);
    ASSERT_TRUE(s) << s.message().toStdString() << " " << what.toStdString();
    ASSERT_EQ(gif.frames.size(), strict.frames.size()) << what.toStdString();
    for (std::size_t i = 0; i < gif.frames.size(); ++i)
        ASSERT_EQ(gif.frames[i].indices.pixels, strict.frames[i].pixels)
            << "frame " << i << " " << what.toStdString();
}

constexpr int kSetsPerType = 48;

TEST(GifDecoderCompatibility, EveryTypeOverASweepOfSmallParameterSets) {
    QTemporaryDir dir;
    QStringList types = RendererTypeNames();
    ASSERT_FALSE(types.isEmpty());
    // VELMORA_SWEEP_TYPES=a,b narrows the sweep when chasing one type.
    const QString only = qEnvironmentVariable("VELMORA_SWEEP_TYPES");
    if (!only.isEmpty())
        types = only.split(QLatin1Char(','));
    for (const QString& type : types) {
        QElapsedTimer clock;
        clock.start();
        ASSERT_FALSE(RendererParameters(type).empty()) << type.toStdString();
        int rendered = 0;
        for (int i = 0; i < kSetsPerType; ++i) {
            Sample sample = MakeSample(type, i);
            const QString path = dir.filePath(QStringLiteral("%1-%2.gif").arg(type).arg(i));
            Status status;
            if (!Render(sample, path, &status))
                continue;
            const QString what = type + QLatin1Char(' ') + sample.description;
            ASSERT_TRUE(status) << status.message().toStdString() << " " << what.toStdString();
            ++rendered;
            CheckBothDecoders(path, what);
            if (HasFatalFailure())
                return;
        }
        // Most sets must be small enough; otherwise the sweep tests little.
        EXPECT_GE(rendered, kSetsPerType * 3 / 4) << type.toStdString();
        std::printf("%s: %d sets in %lld ms\n", qPrintable(type), rendered,
                    static_cast<long long>(clock.elapsed()));
    }
}

// The two shapes outside testers found broken: tiles whose code table ended
// right at a power of two, and a palette of few colours over many frames.
TEST(GifDecoderCompatibility, ReportedAnimations) {
    QTemporaryDir dir;
    for (int angle : {300, 30, 120, 210}) {
        MovingStripesRenderer r;
        r.SetAngle(angle);
        r.Tile();
        const QString path = dir.filePath(QStringLiteral("tile%1.gif").arg(angle));
        r.SetAnimationGifPath(path);
        ASSERT_TRUE(SaveAnimation(r));
        CheckBothDecoders(path, QStringLiteral("moving-stripes tile=1 angle=%1").arg(angle));
    }
    auto rotating = CreateRendererByName(QStringLiteral("rotating-stripes"));
    auto& r = static_cast<RotatingStripesRenderer&>(*rotating);
    r.SetNumberOfColors(3);
    r.SetBackgroundStripes(true);
    const QString path = dir.filePath(QStringLiteral("rot.gif"));
    r.SetAnimationGifPath(path);
    ASSERT_TRUE(SaveAnimation(r));
    CheckBothDecoders(path, QStringLiteral("rotating-stripes colors=3 background-stripes=1"));
}

// ---- Other programs' decoders, when installed -------------------------------

struct Tool {
    QString program;
    QStringList args; // the file is appended, or replaces "%f"
    QString versionNeedle;
};

// Runs the tool; an empty result means it decoded the file without complaint.
QString RunTool(const Tool& tool, const QString& file) {
    QStringList args;
    bool placed = false;
    for (const QString& a : tool.args) {
        if (a == QLatin1String("%f")) {
            args << file;
            placed = true;
        } else {
            args << a;
        }
    }
    if (!placed)
        args << file;
    QProcess p;
    p.start(tool.program, args);
    if (!p.waitForFinished(60000))
        return QStringLiteral("did not finish");
    const QString err = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0 || !err.isEmpty())
        return QStringLiteral("exit %1: %2").arg(p.exitCode()).arg(err);
    return {};
}

// The tool's path when it is installed and is what it claims to be.
QString FindTool(const QString& name, const QString& needle) {
    const QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        return {};
    QProcess p;
    p.start(path, {QStringLiteral("--version")});
    p.waitForFinished(20000);
    QString out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    if (!out.contains(needle)) {
        p.start(path, {QStringLiteral("-version")});
        p.waitForFinished(20000);
        out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
    }
    return out.contains(needle) ? path : QString();
}

QStringList RenderToolSamples(const QTemporaryDir& dir) {
    QStringList files;
    for (const QString& type : RendererTypeNames()) {
        for (int i = 0; i < 6; ++i) {
            Sample sample = MakeSample(type, i);
            const QString path = dir.filePath(QStringLiteral("%1-%2.gif").arg(type).arg(i));
            Status status;
            if (Render(sample, path, &status) && status)
                files << path;
        }
    }
    MovingStripesRenderer tiled;
    tiled.SetAngle(300);
    tiled.Tile();
    tiled.SetAnimationGifPath(dir.filePath(QStringLiteral("tile300.gif")));
    if (SaveAnimation(tiled))
        files << tiled.GetAnimationGifPath();
    auto rotating = CreateRendererByName(QStringLiteral("rotating-stripes"));
    auto& r = static_cast<RotatingStripesRenderer&>(*rotating);
    r.SetNumberOfColors(3);
    r.SetBackgroundStripes(true);
    r.SetAnimationGifPath(dir.filePath(QStringLiteral("rot3.gif")));
    if (SaveAnimation(r))
        files << r.GetAnimationGifPath();
    return files;
}

void CheckWithTool(const QString& name, const QString& needle, QStringList args) {
    const QString program = FindTool(name, needle);
    if (program.isEmpty())
        GTEST_SKIP() << name.toStdString() << " is not installed";
    QTemporaryDir dir;
    const QStringList files = RenderToolSamples(dir);
    ASSERT_GE(files.size(), 4);
    for (const QString& file : files) {
        const QString problem = RunTool(Tool{program, args, needle}, file);
        EXPECT_TRUE(problem.isEmpty())
            << name.toStdString() << " on " << QFileInfo(file).fileName().toStdString() << ": "
            << problem.toStdString();
    }
}

TEST(GifDecoderCompatibility, Gifsicle) {
    CheckWithTool(QStringLiteral("gifsicle"), QStringLiteral("Gifsicle"),
                  {QStringLiteral("%f"), QStringLiteral("-o"), QStringLiteral("/dev/null")});
}

TEST(GifDecoderCompatibility, ImageMagick) {
    CheckWithTool(QStringLiteral("identify"), QStringLiteral("ImageMagick"),
                  {QStringLiteral("-regard-warnings")});
}

TEST(GifDecoderCompatibility, Ffmpeg) {
    CheckWithTool(QStringLiteral("ffmpeg"), QStringLiteral("ffmpeg version"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"),
                   QStringLiteral("%f"), QStringLiteral("-f"), QStringLiteral("null"),
                   QStringLiteral("-")});
}

} // namespace
