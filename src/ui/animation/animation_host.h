// What an animation window needs of the document it animates: the document
// (its table, renderers and cell pattern), its preview and the main window it
// is placed against.
#pragma once

#include <QString>

class AnimationRenderer;
class QMainWindow;
class VelmoraDocument;

// Renderer numbering: 1 Moving Stripes, 2 Rotating Stripes, 3 Flowing
// Clouds, 4 Dynamic Picture, 5 Blinking Clouds, 6 Rubber Clouds.
class AnimationHost {
public:
    virtual ~AnimationHost() = default;
    // Makes a fresh renderer of the type with the preview set's paths,
    // replacing the previous one, and makes the type current.
    virtual AnimationRenderer* CreateRenderer(int type) = 0;
    virtual AnimationRenderer* Renderer(int type) const = 0;
    virtual void SetAnimationType(int type) = 0;
    virtual void RefreshPreview() = 0;
    // The document the windows edit: its table, page sets and cell mask.
    virtual VelmoraDocument* Document() const = 0;
    virtual QMainWindow* MainWindow() const = 0;
    // The installation folder (ending with a separator), where the bitmap
    // cell patterns are; empty when there is none.
    virtual QString InstallationDirectory() const { return {}; }
};
