// The record every saved GIF carries: written after the looping extension,
// read back, and applied to a fresh renderer it repeats the save byte for
// byte, for every type.
#include "core/animation/animation_record.h"
#include "core/animation/animation_save.h"
#include "core/animation/animation_types.h"
#include "core/animation/renderer_parameters.h"
#include "core/base/version.h"
#include "core/imaging/gif_reader.h"
#include "core/imaging/gif_writer.h"
#include "file_contents.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Values away from each type's defaults, so that a value the record lost
// shows in the second save.
void Customise(const QString& type, AnimationRenderer& r, const QString& picture) {
    for (const RendererParameter& p : RendererParameters(type)) {
        if (p.deferred)
            continue;
        if (p.kind == RendererParameter::String)
            p.setText(r, picture);
        else if (p.name == QLatin1String("width") || p.name == QLatin1String("height"))
            p.set(r, 23);
        else if (p.kind == RendererParameter::Color)
            p.set(r, int(MakeColorRef(200, 30 + p.name.size() * 7, 90)));
        else if (p.kind == RendererParameter::Boolean)
            p.set(r, p.get(r) ? 0 : 1);
        else if (p.name == QLatin1String("angle"))
            p.set(r, 400); // normalised by the save
        else
            p.set(r, std::min(p.get(r) + 1, p.maximum));
    }
    r.SetFixedSeed(4711);
}

TEST(AnimationRecord, EveryTypeRepeatsItsSaveFromTheRecord) {
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("pic\\ture.png"));
    QImage image(12, 9, QImage::Format_RGB32);
    image.fill(qRgb(10, 120, 200));
    image.setPixel(3, 4, qRgb(250, 0, 0));
    ASSERT_TRUE(image.save(picture));
    const QStringList types = RendererTypeNames();
    ASSERT_EQ(types.size(), 6);
    for (const QString& type : types) {
        SCOPED_TRACE(type.toStdString());
        std::unique_ptr<AnimationRenderer> first = CreateRendererByName(type);
        Customise(type, *first, picture);
        const QString a = dir.filePath(type + QStringLiteral("-a.gif"));
        first->SetAnimationGifPath(a);
        ASSERT_TRUE(SaveAnimation(*first).ok());

        GifAnimation gif;
        ASSERT_TRUE(ReadGif(a, &gif).ok());
        EXPECT_EQ(gif.loops, 0);
        const std::optional<AnimationRecord> record = FindAnimationRecord(gif);
        ASSERT_TRUE(record.has_value());
        EXPECT_EQ(record->type, type);
        EXPECT_EQ(record->version, VelmoraVersion());
        EXPECT_EQ(record->seed.has_value(), first->UsesRandomness());
        if (first->UsesRandomness()) {
            EXPECT_EQ(*record->seed, 4711u);
        }
        EXPECT_EQ(record->Value(QStringLiteral("width")), QString::number(first->GetFrameWidth()));

        Status status;
        std::unique_ptr<AnimationRenderer> second = CreateRendererFromRecord(*record, &status);
        ASSERT_TRUE(second);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        const QString b = dir.filePath(type + QStringLiteral("-b.gif"));
        second->SetAnimationGifPath(b);
        ASSERT_TRUE(SaveAnimation(*second).ok());
        EXPECT_EQ(ReadAll(a), ReadAll(b));
        EXPECT_EQ(ComposeAnimationRecord(*first), ComposeAnimationRecord(*second));
    }
}

TEST(AnimationRecord, BlinkingCloudsKeepsNoCommentOthersKeepTheirs) {
    QTemporaryDir dir;
    for (const QString& type :
         {QStringLiteral("blinking-clouds"), QStringLiteral("moving-stripes")}) {
        std::unique_ptr<AnimationRenderer> r = CreateRendererByName(type);
        r->SetFrameWidth(16);
        r->SetFrameHeight(16);
        r->SetAnimationGifPath(dir.filePath(type + QStringLiteral(".gif")));
        ASSERT_TRUE(SaveAnimation(*r).ok());
        GifAnimation gif;
        ASSERT_TRUE(ReadGif(r->GetAnimationGifPath(), &gif).ok());
        EXPECT_EQ(gif.comment.isEmpty(), type == QLatin1String("blinking-clouds"));
        ASSERT_TRUE(FindAnimationRecord(gif).has_value());
        EXPECT_EQ(FindAnimationRecord(gif)->type, type);
    }
}

TEST(AnimationRecord, LongDataSpansSubBlocksAndOtherApplicationsAreKept) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.gif"));
    GifFileOptions options;
    options.comment = QStringLiteral("c");
    options.applicationId = QByteArrayLiteral("SOMEONE 2.0");
    options.applicationData = QByteArray(700, 'q') + "end";
    GifWriter writer;
    ASSERT_TRUE(writer.Open(path, 2, 2, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, options).ok());
    IndexedImage frame;
    frame.width = frame.height = 2;
    frame.pixels = {0, 1, 1, 0};
    ASSERT_TRUE(writer.WriteFrame(frame).ok());
    ASSERT_TRUE(writer.Finish().ok());
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(path, &gif).ok());
    ASSERT_EQ(gif.applications.size(), 1u);
    EXPECT_EQ(gif.applications[0].identifier, options.applicationId);
    EXPECT_EQ(gif.applications[0].data, options.applicationData);
    EXPECT_EQ(gif.comment, QStringLiteral("c"));
    EXPECT_EQ(gif.loops, 0);
    EXPECT_FALSE(FindAnimationRecord(gif).has_value()); // not ours

    options.applicationId = "SHORT";
    EXPECT_FALSE(writer.Open(path, 2, 2, {qRgb(0, 0, 0)}, options).ok());
}

TEST(AnimationRecord, ParsingRefusesMalformedDataAndReportsUnknownValues) {
    EXPECT_FALSE(ParseAnimationRecord("width=5\n").has_value()); // no type
    EXPECT_FALSE(ParseAnimationRecord("type=moving-stripes\nnoequals\n").has_value());
    EXPECT_FALSE(ParseAnimationRecord("type=moving-stripes\nseed=abc\n").has_value());
    const auto record =
        ParseAnimationRecord("type=moving-stripes\nspeed=77\ncolor1=#102030\nbogus=1\nangle=x\n");
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(record->version.isEmpty()); // written before versions were kept
    Status status;
    auto r = CreateRendererFromRecord(*record, &status);
    ASSERT_TRUE(r);
    EXPECT_FALSE(status.ok());
    EXPECT_TRUE(status.message().contains(QStringLiteral("bogus")));
    EXPECT_TRUE(status.message().contains(QStringLiteral("angle")));
    EXPECT_EQ(ComposeAnimationRecord(*r).contains("speed=77\n"), true);
    EXPECT_EQ(ComposeAnimationRecord(*r).contains("color1=#102030\n"), true);
    // A newer version's value is reported with the version that wrote it.
    const auto newer = ParseAnimationRecord("type=moving-stripes\nversion=9.4\nsparkle=3\n");
    ASSERT_TRUE(newer.has_value());
    EXPECT_EQ(newer->version, QStringLiteral("9.4"));
    Status fromNewer;
    ASSERT_TRUE(CreateRendererFromRecord(*newer, &fromNewer));
    EXPECT_TRUE(
        fromNewer.message().contains(QStringLiteral("(it was saved by Velmora 9.4): sparkle")))
        << fromNewer.message().toStdString();
    Status unknown;
    EXPECT_FALSE(CreateRendererFromRecord(*ParseAnimationRecord("type=nothing\n"), &unknown));
    EXPECT_FALSE(unknown.ok());
}

} // namespace
