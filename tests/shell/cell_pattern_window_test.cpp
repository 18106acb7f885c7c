// The cell-pattern windows against a real document: the picker's list,
// preview and flags, Set Table to One Cell, and each pattern window's OK
// reaching the painter with the typed values.
#include "app_fixture.h"
#include "core/animation/animation_renderer.h"
#include "core/animation/moving_stripes_renderer.h"
#include "core/document/cell_pattern_painter.h"
#include "core/document/velmora_document.h"
#include "core/imaging/gif_reader.h"
#include "ui/animation/anim_moving_stripes.h"
#include "ui/animation/anm_type.h"
#include "ui/cellpattern/bitmap_cell_pattern_dialog.h"
#include "ui/cellpattern/cell_pattern.h"
#include "ui/cellpattern/craft_cell_pattern_dialog.h"
#include "ui/cellpattern/rect_cell_pattern.h"
#include "ui/cellpattern/round_rect_cell_pattern.h"
#include "ui/shell/table_pro.h"
#include "ui_anim_moving_stripes.h"
#include "ui_bitmap_cell_pattern.h"
#include "ui_cell_pattern.h"
#include "ui_craft_cell_pattern.h"
#include "ui_rect_cell_pattern.h"
#include "ui_round_rect_cell_pattern.h"

#include "shell/dialog_input.h"

#include <QFileInfo>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {

struct CellPatternFixture : AppFixture {
    AnimMovingStripes* window = nullptr;

    void SetUp() override {
        AppFixture::SetUp();
        const QString folder = install.filePath(QStringLiteral("CellPattern"));
        QDir().mkpath(folder);
        QFile::copy(QStringLiteral(":/CellPattern/Heart.bmp"),
                    folder + QStringLiteral("/Heart.bmp"));
        // 300 x 150, white with one black column at x = 61: the column the
        // fully scrolled preview starts with.
        QImage wide(300, 150, QImage::Format_RGB32);
        wide.fill(Qt::white);
        for (int y = 0; y < 150; ++y)
            wide.setPixel(61, y, qRgb(0, 0, 0));
        ASSERT_TRUE(wide.save(folder + QStringLiteral("/Wide.bmp"), "BMP"));
        QImage exact(260, 208, QImage::Format_RGB32);
        exact.fill(Qt::black);
        ASSERT_TRUE(exact.save(folder + QStringLiteral("/Exact.bmp"), "BMP"));
        QFile broken(folder + QStringLiteral("/Broken.bmp"));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("not a bitmap");
        broken.close();

        AnmType::SetTestHook([] { return 1; });
        View()->OnAnimateTable();
        window = static_cast<AnimMovingStripes*>(View()->AnimationWindow(1));
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        AnmType::SetTestHook(nullptr);
        CellPattern::SetTestHook(nullptr);
        CellPatternDialog::SetTestHook(nullptr);
        AppFixture::TearDown();
    }

    AnimationRenderer* Renderer() const { return View()->Renderer(1); }
    const CHtmlTable& Table() const { return View()->Document()->Table(); }
    std::unique_ptr<CellPattern> Picker() const {
        return std::make_unique<CellPattern>(View()->Document(), View()->InstallationDirectory());
    }
    static int Row(CellPattern& picker, const QString& text) {
        const auto found = picker.Controls()->patternList->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? -1 : picker.Controls()->patternList->row(found.first());
    }

    // The picker answers with `row` and the check box as given; the pattern
    // window gets `fill` to type its values, then OK.
    void ChooseAndPaint(int row, bool separate, std::function<void(CellPatternDialog&)> fill) {
        CellPattern::SetTestHook([row, separate](CellPattern& picker) {
            picker.Controls()->patternList->setCurrentRow(row);
            picker.Controls()->saveCheck->setChecked(separate);
            picker.accept();
            return picker.result();
        });
        CellPatternDialog::SetTestHook([fill](CellPatternDialog& dialog) {
            if (fill)
                fill(dialog);
            dialog.accept();
            return dialog.result();
        });
        window->Controls()->cellPatternButton->click();
    }

    bool CellGifSize(int* width, int* height) const {
        GifAnimation gif;
        if (!ReadGif(View()->CellFile(), &gif))
            return false;
        *width = gif.width;
        *height = gif.height;
        return true;
    }
};

bool SameMask(const CellMask& a, const CellMask& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.IsCell(x, y) != b.IsCell(x, y))
                return false;
    return true;
}

TEST_F(CellPatternFixture, PickerListsTheShapesAndTheFolder) {
    ChooseAndPaint(2, true, nullptr);
    ASSERT_TRUE(Table().HasCellPattern());
    auto picker = Picker();
    // Opening the picker, or cancelling it, changes nothing.
    EXPECT_TRUE(Table().HasCellPattern());
    QListWidget* list = picker->Controls()->patternList;
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    EXPECT_EQ(items, (QStringList{"No Cell Pattern", "Rounded Rectangle...", "Rectangle...",
                                  "Craft Scissors...", "Broken", "Exact", "Heart", "Wide"}));
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(picker->Selection(), 1);
    EXPECT_FALSE(picker->Controls()->saveCheck->isChecked());
    EXPECT_FALSE(picker->Controls()->oneCellButton->isEnabled());
    EXPECT_EQ(picker->PreviewImage().size(), QSize(224, 158));

    // The three shapes' samples differ from each other.
    EXPECT_NE(CellPattern::ShapeSample(1), CellPattern::ShapeSample(2));
    EXPECT_NE(CellPattern::ShapeSample(2), CellPattern::ShapeSample(3));
    list->setCurrentRow(0);
    EXPECT_TRUE(picker->PreviewImage().isNull());
    EXPECT_FALSE(picker->Controls()->oneCellButton->isEnabled());
    list->setCurrentRow(3);
    EXPECT_FALSE(picker->Controls()->oneCellButton->isEnabled());
    list->setCurrentRow(Row(*picker, "Heart"));
    EXPECT_TRUE(picker->Controls()->oneCellButton->isEnabled());
    EXPECT_FALSE(picker->Picture().isNull());

    // Without a folder only the four fixed items.
    CellPattern bare(View()->Document(), install.filePath(QStringLiteral("missing/")));
    EXPECT_EQ(bare.Controls()->patternList->count(), 4);
}

TEST_F(CellPatternFixture, PreviewScrollsLargePictures) {
    auto picker = Picker();
    picker->show();
    QScrollBar* h = picker->Controls()->horizontalScrollBar;
    QScrollBar* v = picker->Controls()->verticalScrollBar;
    EXPECT_FALSE(h->isVisible());

    picker->Controls()->patternList->setCurrentRow(Row(*picker, "Wide"));
    EXPECT_EQ(picker->Controls()->sizeLabel->text(), QStringLiteral("Size: 300 X 150"));
    EXPECT_TRUE(h->isVisible());
    EXPECT_TRUE(v->isVisible());
    EXPECT_EQ(h->maximum(), 91);
    h->setValue(91);
    v->setValue(91);
    // x0 = 91 (30 + 300 - 262) / 100 = 61, y0 = 91 (15 + 150 - 208) / 100 = -39.
    QImage view = picker->PreviewImage();
    ASSERT_EQ(view.size(), QSize(262, 208));
    EXPECT_EQ(view.pixel(0, 100) & 0xFFFFFF, 0u); // the column at x = 61
    EXPECT_EQ(view.pixel(1, 100) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(view.pixel(0, 20) & 0xFFFFFF, 0xFFFFFFu); // above the picture
    EXPECT_EQ(view.pixel(0, 39) & 0xFFFFFF, 0u);

    // A new choice scrolls back; a picture of 260 x 208 is shown whole.
    picker->Controls()->patternList->setCurrentRow(Row(*picker, "Exact"));
    EXPECT_EQ(h->value(), 0);
    EXPECT_EQ(v->value(), 0);
    EXPECT_FALSE(h->isVisible());
    EXPECT_EQ(picker->PreviewImage().size(), QSize(260, 208));

    picker->Controls()->patternList->setCurrentRow(Row(*picker, "Broken"));
    EXPECT_EQ(picker->Controls()->sizeLabel->text(), QStringLiteral("Size: 0 X 0"));
    EXPECT_TRUE(picker->PreviewImage().isNull());
    picker->reject();
}

TEST_F(CellPatternFixture, PickerRecordsTheChoiceAndTheDocumentAppliesIt) {
    AnimationRenderer* r = Renderer();
    {
        auto picker = Picker();
        picker->Controls()->patternList->setCurrentRow(2);
        picker->accept();
        EXPECT_EQ(picker->ChosenMode(), MaskMode::MergedIntoFrames);
        EXPECT_EQ(picker->Selection(), 2);
        // Nothing is applied until a pattern is painted.
        EXPECT_FALSE(Table().HasCellPattern());
        EXPECT_FALSE(r->GetMaskMode() == MaskMode::MergedIntoFrames);
    }
    {
        auto picker = Picker();
        picker->Controls()->patternList->setCurrentRow(Row(*picker, "Heart"));
        picker->Controls()->saveCheck->setChecked(true);
        EXPECT_EQ(picker->ChosenMode(), MaskMode::SeparateLayer);
        EXPECT_FALSE(picker->Picture().isNull());
        picker->Controls()->patternList->setCurrentRow(0);
        EXPECT_EQ(picker->ChosenMode(), MaskMode::None);
    }
    // Merged: the frames are cut, the page has no layer.
    ChooseAndPaint(2, false, nullptr);
    EXPECT_FALSE(Table().HasCellPattern());
    EXPECT_TRUE(r->GetMaskMode() == MaskMode::MergedIntoFrames);
    EXPECT_EQ(View()->Document()->GetMaskMode(), MaskMode::MergedIntoFrames);
    // Separate: a layer on the page, the frames whole.
    ChooseAndPaint(2, true, nullptr);
    EXPECT_TRUE(Table().HasCellPattern());
    EXPECT_FALSE(r->GetMaskMode() == MaskMode::MergedIntoFrames);
    // "No Cell Pattern" takes both away and rewrites the page.
    QFile::remove(View()->PageFile());
    ChooseAndPaint(0, false, nullptr);
    EXPECT_FALSE(Table().HasCellPattern());
    EXPECT_FALSE(r->GetMaskMode() == MaskMode::MergedIntoFrames);
    EXPECT_EQ(View()->Document()->GetMaskMode(), MaskMode::None);
    EXPECT_TRUE(QFileInfo::exists(View()->PageFile()));
}

TEST_F(CellPatternFixture, SetTableToOneCellTakesTheBitmapSize) {
    int picked = 0;
    CellPattern::SetTestHook([&picked](CellPattern& picker) {
        picker.Controls()->patternList->setCurrentRow(Row(picker, "Wide"));
        picker.Controls()->oneCellButton->click();
        picked = picker.result();
        picker.reject();
        return picker.result();
    });
    window->Controls()->cellPatternButton->click();
    EXPECT_EQ(picked, 0); // the picker stays open after the button
    EXPECT_EQ(Table().GetWidth(), 300);
    EXPECT_EQ(Table().GetHeight(), 150);
    EXPECT_EQ(Table().GetRows(), 1);
    EXPECT_EQ(Table().GetColumns(), 1);
    const auto pro = TablePropertiesControls(View()->GetTablePro());
    EXPECT_EQ(pro->widthEdit->text(), QStringLiteral("300"));
    EXPECT_EQ(pro->rowsCombo->currentText(), QStringLiteral("1"));
    AnimationRenderer* r = Renderer();
    EXPECT_EQ(r->GetTableWidth(), 300);
    EXPECT_EQ(r->GetTableHeight(), 150);
    EXPECT_EQ(r->GetRows(), 1);
    EXPECT_EQ(r->GetColumns(), 1);
    EXPECT_EQ(window->Controls()->widthEdit->text(), QStringLiteral("300"));
    EXPECT_EQ(r->GetFrameWidth(), 300);
    EXPECT_EQ(r->GetFrameHeight(), 150);
}

TEST_F(CellPatternFixture, RectangleOkPaintsTheTypedValuesIntoTheCellGif) {
    QFile::remove(View()->CellFile());
    ChooseAndPaint(2, true, [](CellPatternDialog& d) {
        auto* rect = dynamic_cast<RectCellPattern*>(&d);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->windowTitle(), QStringLiteral("Rectangle Cell Pattern"));
        EXPECT_EQ(rect->Controls()->borderEdit->text(), QStringLiteral("5"));
        EXPECT_EQ(rect->Controls()->outerMarginEdit->text(), QStringLiteral("0"));
        rect->Controls()->borderEdit->setText(QStringLiteral("7"));
        rect->Controls()->outerMarginEdit->setText(QStringLiteral("3"));
    });
    AnimationRenderer* r = Renderer();
    EXPECT_TRUE(Table().HasCellPattern());
    EXPECT_FALSE(r->GetMaskMode() == MaskMode::MergedIntoFrames);
    int w = 0, h = 0;
    ASSERT_TRUE(CellGifSize(&w, &h));
    EXPECT_EQ(w, 450);
    EXPECT_EQ(h, 200);
    CellPatternParameters p = CellPatternParameters::Defaults(CellPatternKind::Rectangle);
    p.lineWidth = 7;
    p.margin = 3;
    CellMask expected;
    ASSERT_TRUE(PaintCellMask(r->Table(), QImage(), p, &expected));
    ASSERT_NE(r->GetCellMask(), nullptr);
    EXPECT_TRUE(SameMask(*r->GetCellMask(), expected));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CellPatternFixture, RoundRectangleMergedKeepsTheMaskForTheAnimation) {
    QFile::remove(View()->CellFile());
    ChooseAndPaint(1, false, [](CellPatternDialog& d) {
        auto* round = dynamic_cast<RoundRectCellPattern*>(&d);
        ASSERT_NE(round, nullptr);
        EXPECT_EQ(round->Controls()->cornerRadiusEdit->text(), QStringLiteral("50"));
        EXPECT_EQ(round->Controls()->outerMarginEdit->text(), QStringLiteral("2"));
        round->Controls()->cornerRadiusEdit->setText(QStringLiteral("30"));
    });
    AnimationRenderer* r = Renderer();
    EXPECT_FALSE(Table().HasCellPattern());
    EXPECT_TRUE(r->GetMaskMode() == MaskMode::MergedIntoFrames);
    EXPECT_FALSE(QFileInfo::exists(View()->CellFile()));
    CellPatternParameters p = CellPatternParameters::Defaults(CellPatternKind::RoundRectangle);
    p.corner = 30;
    CellMask expected;
    ASSERT_TRUE(PaintCellMask(r->Table(), QImage(), p, &expected));
    ASSERT_NE(r->GetCellMask(), nullptr);
    EXPECT_TRUE(SameMask(*r->GetCellMask(), expected));
    // The next animation save makes the cells transparent.
    ASSERT_TRUE(window->OnSaveAnimatedGif());
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(View()->GifFile(), &gif));
    ASSERT_FALSE(gif.frames.empty());
}

TEST_F(CellPatternFixture, CraftScissorsResizesTheTableAroundThePhoto) {
    ChooseAndPaint(3, true, [](CellPatternDialog& d) {
        auto* craft = dynamic_cast<CCraftCellPattern*>(&d);
        ASSERT_NE(craft, nullptr);
        Ui::CraftCellPattern* ui = craft->Controls();
        EXPECT_TRUE(ui->flatInnerCheck->isChecked());
        EXPECT_EQ(ui->bumpsYEdit->text(), QStringLiteral("10"));
        EXPECT_EQ(ui->outerMarginEdit->text(), QStringLiteral("8"));
        // The photo boxes start with what the 2 x 3 table's cells hold.
        const QSize saved = craft->SavedPhotoSize();
        EXPECT_EQ(ui->photoWidthEdit->text(), QString::number(saved.width()));
        EXPECT_EQ(ui->photoHeightEdit->text(), QString::number(saved.height()));
        ui->photoWidthEdit->setText(QStringLiteral("77"));
        craft->OnPresetChosen(0);
        EXPECT_EQ(ui->photoWidthEdit->text(), QString::number(saved.width()));
        craft->OnPresetChosen(12);
        EXPECT_EQ(ui->photoWidthEdit->text(), QStringLiteral("2592"));
        EXPECT_EQ(ui->photoHeightEdit->text(), QStringLiteral("1944"));
        EXPECT_EQ(ui->presetCombo->itemText(12), QStringLiteral("2,592 x 1,944  5mp"));
        craft->OnPresetChosen(3);
        EXPECT_EQ(ui->photoWidthEdit->text(), QStringLiteral("640"));
        EXPECT_EQ(ui->photoHeightEdit->text(), QStringLiteral("480"));
    });
    // 3 (640 + 21) + 21 by 2 (480 + 21) + 21, border 21.
    EXPECT_EQ(Table().GetWidth(), 2004);
    EXPECT_EQ(Table().GetHeight(), 1023);
    EXPECT_EQ(Table().GetBorder(), 21);
    const auto pro = TablePropertiesControls(View()->GetTablePro());
    EXPECT_EQ(pro->widthEdit->text(), QStringLiteral("2004"));
    EXPECT_EQ(pro->borderCombo->currentText(), QStringLiteral("21"));
    int w = 0, h = 0;
    ASSERT_TRUE(CellGifSize(&w, &h));
    EXPECT_EQ(w, 2004);
    EXPECT_EQ(h, 1023);
}

TEST_F(CellPatternFixture, CraftScissorsOnOneCellAndOnTooLargeAPhoto) {
    View()->Document()->EditTable(TableField::Rows, 1);
    View()->Document()->EditTable(TableField::Columns, 1);
    AnimationRenderer* r = Renderer();
    {
        CCraftCellPattern craft(View(), 1, window);
        craft.Controls()->photoWidthEdit->setText(QStringLiteral("640"));
        craft.Controls()->photoHeightEdit->setText(QStringLiteral("480"));
        craft.accept();
        EXPECT_EQ(craft.result(), QDialog::Accepted);
    }
    // g = 8/2 + 20/3 + 2/2 + 1 = 12 around the photo.
    EXPECT_EQ(Table().GetWidth(), 664);
    EXPECT_EQ(Table().GetHeight(), 504);
    EXPECT_EQ(Table().GetBorder(), 12);
    EXPECT_EQ(r->GetTableWidth(), 664);

    // A photo that would make the table too large for a mask changes nothing.
    CCraftCellPattern huge(View(), 1, window);
    huge.Controls()->photoWidthEdit->setText(QStringLiteral("60000"));
    huge.Controls()->photoHeightEdit->setText(QStringLiteral("60000"));
    huge.setResult(-1);
    huge.accept();
    EXPECT_EQ(huge.result(), -1);
    ASSERT_EQ(messages.size(), 1) << messages.join('|').toStdString();
    EXPECT_EQ(Table().GetWidth(), 664) << messages.join('|').toStdString();
    EXPECT_EQ(r->GetTableWidth(), 664);
    EXPECT_EQ(TablePropertiesControls(View()->GetTablePro())->widthEdit->text(),
              QStringLiteral("664"));
}

TEST_F(CellPatternFixture, BitmapPatternUsesThePickedPicture) {
    QFile::remove(View()->CellFile());
    int heart = -1;
    CellPattern::SetTestHook([&heart](CellPattern& picker) {
        heart = Row(picker, "Heart");
        picker.Controls()->patternList->setCurrentRow(heart);
        picker.Controls()->saveCheck->setChecked(true);
        picker.accept();
        return picker.result();
    });
    bool bitmapWindow = false;
    CellPatternDialog::SetTestHook([&bitmapWindow](CellPatternDialog& d) {
        auto* bitmap = dynamic_cast<BitmapCellPattern*>(&d);
        bitmapWindow = bitmap != nullptr;
        if (bitmap) {
            EXPECT_EQ(bitmap->Controls()->borderEdit->text(), QStringLiteral("0"));
            bitmap->Controls()->borderEdit->setText(QStringLiteral("4"));
        }
        d.accept();
        return d.result();
    });
    window->Controls()->cellPatternButton->click();
    ASSERT_TRUE(bitmapWindow);
    AnimationRenderer* r = Renderer();
    ASSERT_FALSE(r->GetCellPicture().isNull());
    CellPatternParameters p = CellPatternParameters::Defaults(CellPatternKind::Bitmap);
    p.border = 4;
    CellMask expected;
    ASSERT_TRUE(PaintCellMask(r->Table(), r->GetCellPicture(), p, &expected));
    ASSERT_NE(r->GetCellMask(), nullptr);
    EXPECT_TRUE(SameMask(*r->GetCellMask(), expected));
    int w = 0, h = 0;
    ASSERT_TRUE(CellGifSize(&w, &h));
    EXPECT_EQ(w, 450);
}

TEST_F(CellPatternFixture, UnusableValuesAreReportedAndTheWindowStays) {
    QFile::remove(View()->CellFile());
    int result = -1;
    CellPattern::SetTestHook([](CellPattern& picker) {
        picker.Controls()->patternList->setCurrentRow(2);
        picker.Controls()->saveCheck->setChecked(true);
        picker.accept();
        return picker.result();
    });
    CellPatternDialog::SetTestHook([&result](CellPatternDialog& d) {
        static_cast<RectCellPattern&>(d).Controls()->borderEdit->setText(QStringLiteral("-3"));
        d.setResult(-1);
        d.accept();
        result = d.result();
        return result;
    });
    window->Controls()->cellPatternButton->click();
    EXPECT_EQ(result, -1); // not accepted
    ASSERT_EQ(messages.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(View()->CellFile()));
    EXPECT_EQ(Renderer()->GetCellMask(), nullptr);

    // The picker cancelled opens no pattern window.
    bool opened = false;
    CellPattern::SetTestHook([](CellPattern& picker) {
        picker.reject();
        return picker.result();
    });
    CellPatternDialog::SetTestHook([&opened](CellPatternDialog&) {
        opened = true;
        return 0;
    });
    window->Controls()->cellPatternButton->click();
    EXPECT_FALSE(opened);
}

TEST_F(CellPatternFixture, WindowsLayOutTheirControls) {
    // VELMORA_GRAB_DIR keeps pictures of the windows for a look.
    const QString grabDir = qEnvironmentVariable("VELMORA_GRAB_DIR");
    auto grab = [&grabDir](QWidget* w, const QString& name) {
        w->show();
        QTest::qWait(50);
        const QPixmap shot = w->grab();
        EXPECT_FALSE(shot.isNull()) << name.toStdString();
        if (!grabDir.isEmpty())
            shot.save(grabDir + QLatin1Char('/') + name + QStringLiteral(".png"));
        w->hide();
    };
    auto picker = Picker();
    grab(picker.get(), QStringLiteral("picker-shape"));
    // The whole viewing window fits in the preview.
    EXPECT_GE(picker->Controls()->previewLabel->width(), 262);
    EXPECT_GE(picker->Controls()->previewLabel->height(), 208);
    picker->Controls()->patternList->setCurrentRow(Row(*picker, "Wide"));
    picker->Controls()->horizontalScrollBar->setValue(40);
    grab(picker.get(), QStringLiteral("picker-wide"));
    picker->Controls()->patternList->setCurrentRow(Row(*picker, "Heart"));
    grab(picker.get(), QStringLiteral("picker-heart"));
    picker->reject();
    RectCellPattern rect(View(), 1, window);
    grab(&rect, QStringLiteral("rect"));
    RoundRectCellPattern round(View(), 1, window);
    grab(&round, QStringLiteral("round"));
    CCraftCellPattern craft(View(), 1, window);
    grab(&craft, QStringLiteral("craft"));
    EXPECT_EQ(craft.Controls()->presetCombo->count(), 13);
    BitmapCellPattern bitmap(View(), 1, window);
    grab(&bitmap, QStringLiteral("bitmap"));
}

// A host with a document of its own and no view, Table Properties or main
// window, as tests of single windows use.
struct BareHost : AnimationHost {
    std::unique_ptr<MovingStripesRenderer> renderer;
    int type = 0;
    AnimationRenderer* CreateRenderer(int t) override {
        renderer = std::make_unique<MovingStripesRenderer>();
        type = t;
        return renderer.get();
    }
    AnimationRenderer* Renderer(int t) const override { return t == 1 ? renderer.get() : nullptr; }
    void SetAnimationType(int t) override { type = t; }
    void RefreshPreview() override {}
    VelmoraDocument* Document() const override { return &document; }
    QMainWindow* MainWindow() const override { return nullptr; }
    mutable VelmoraDocument document;
};

TEST(CellPatternBareHost, WindowsWorkWithoutAView) {
    QTemporaryDir dir;
    BareHost host;
    AnimMovingStripes moving(&host, nullptr);
    host.document.SetPreview(PageSet::ForBase(dir.filePath(QStringLiteral("t"))));
    bool painted = false;
    CellPattern::SetTestHook([](CellPattern& picker) {
        // No installation folder: the fixed items only.
        EXPECT_EQ(picker.Controls()->patternList->count(), 4);
        picker.Controls()->patternList->setCurrentRow(2);
        picker.Controls()->saveCheck->setChecked(true);
        picker.accept();
        return picker.result();
    });
    CellPatternDialog::SetTestHook([&painted](CellPatternDialog& d) {
        d.accept();
        painted = d.result() == QDialog::Accepted;
        return d.result();
    });
    moving.Controls()->cellPatternButton->click();
    CellPattern::SetTestHook(nullptr);
    CellPatternDialog::SetTestHook(nullptr);
    EXPECT_TRUE(painted);
    EXPECT_EQ(host.type, 1);
    EXPECT_FALSE(host.renderer->GetMaskMode() == MaskMode::MergedIntoFrames);
    GifAnimation gif;
    ASSERT_TRUE(ReadGif(host.document.Preview().cell, &gif));
    EXPECT_EQ(gif.width, host.document.Table().GetWidth());
}

} // namespace
