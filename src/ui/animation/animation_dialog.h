// The window conventions all six animation types share: boxes read on every
// change and passed to the renderer's clamping setters, colour lists, the
// number of colours, dithering, "Save Animated Gif" (run off the UI thread
// behind a progress dialog), "Close", and placement at the main window's
// lower left. Beside the controls a live preview loops what the next save
// would write, redrawn a moment after each edit.
#pragma once

#include "core/animation/animation_renderer.h"

#include <QDialog>
#include <array>
#include <functional>

class AnimationHost;
struct AnimationRecord;
class CColorBox;
class LivePreview;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class AnimationDialog : public QDialog {
    Q_OBJECT
public:
    // The renderer of `rendererType` is created here, as the window opens.
    AnimationDialog(AnimationHost* host, int rendererType, QWidget* owner);

    int RendererType() const { return m_nType; }
    AnimationRenderer* Renderer() const;

    // Left edge 5 pixels right of the main window's, bottom 25 pixels above
    // its bottom.
    void PlaceAtMainWindow();

    // Runs the save: `prepare` on this thread (it may store values back on
    // the renderer), drawing and writing on another behind a progress
    // dialog with Cancel. Shows "Animated gif saved to disk" with the
    // file's size, frame count and play time (also on the main window's
    // status bar) and refreshes the page preview when the GIF was written.
    Status RunSave(const std::function<void(AnimationRenderer&)>& prepare);

    // The looping preview beside the controls; nullptr until the window is
    // placed or shown.
    LivePreview* LivePreviewLabel() const { return m_pLivePreview; }

    // A recorded animation shown in the window just opened. The controls
    // are set first (their handlers pass most values on), then the record is
    // applied to the renderer as it is, so the renderer holds exactly what
    // was saved even where a control has no exact counterpart; its seed is
    // the one "Same seed" repeats.
    void ShowRecord(const AnimationRecord& record);

    // Operations the cell-pattern picker uses.
    void SetWidthText(int width);
    void SetHeightText(int height);

    // "Cell Pattern": the picker, then the chosen pattern's window.
    void OnCellPattern();

Q_SIGNALS:
    void Saved(const Status& status);

protected:
    // Wiring helpers for the concrete windows.
    void BindNumber(QLineEdit* edit, std::function<void(int)> set);
    void BindSize(QLineEdit* width, QLineEdit* height);
    void BindColor(CColorBox* box, std::function<void(COLORREF)> set);
    // The same, showing the renderer's own colour (`get`) as the box's
    // default until the user picks one.
    void BindColor(CColorBox* box, std::function<void(COLORREF)> set,
                   std::function<COLORREF()> get);
    // Box i bound to the colour the renderer sets and reads by index i.
    void BindIndexedColors(const std::array<CColorBox*, 5>& boxes,
                           std::function<void(int, COLORREF)> set,
                           std::function<COLORREF(int)> get);
    void BindNumberOfColors(QComboBox* combo, std::function<void(int)> set);
    void BindDither(QCheckBox* check);
    // "Also save WebP", remembered in the settings, placed under `below`.
    void AddWebpChoice(QCheckBox* below);
    void BindClose(QPushButton* close);
    void BindCellPattern(QPushButton* button);
    // The random animations: `seedLabel` shows the seed the last save used,
    // and "Same seed", when checked, makes the next save use it again.
    void BindSeed(QLabel* seedLabel, QCheckBox* sameSeed);

    // The controls both stripe windows have, bound to a StripesRendererBase.
    struct StripeControls {
        QLineEdit* speed;
        QLineEdit* stripeWidth;
        QLineEdit* stripeDistance;
        QComboBox* numberOfColors;
        CColorBox* background;
        std::array<CColorBox*, 5> stripes;
        QCheckBox* backgroundStripes;
    };
    void BindStripeControls(const StripeControls& c);

    // Any edit calls this; the preview redraws a moment after the last one.
    // The Bind helpers call it, and every edit box, list and button of the
    // window is watched too, so windows' own controls need not.
    void PreviewChanged();

    AnimationHost* Host() const { return m_pHost; }
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    // The control showing a recorded parameter, by the names the windows
    // give their controls: "stripe-width" is stripeWidthEdit, "colors"
    // numberOfColorsCombo, "color2" stripeColor2Box or cloudColor2Box.
    QWidget* ParameterControl(const QString& name) const;
    void EnsureLivePreview();
    void FollowMergedPattern();
    void WatchEdits();

    AnimationHost* m_pHost;
    int m_nType;
    QLineEdit* m_pWidthEdit = nullptr;
    QLineEdit* m_pHeightEdit = nullptr;
    bool m_bSaving = false;
    QLabel* m_pSeedLabel = nullptr;
    QCheckBox* m_pSameSeedCheck = nullptr;
    LivePreview* m_pLivePreview = nullptr;
    QCheckBox* m_pWebpCheck = nullptr;
    QLabel* m_pStaleLabel = nullptr;
};
