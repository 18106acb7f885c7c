// What Table Properties needs of the view it serves: where the preview page
// is, a way to show it again after a change, and the current animation type.
#pragma once

#include <QString>

class PreviewTarget {
public:
    virtual ~PreviewTarget() = default;
    virtual QString PreviewPageFile() const = 0;
    virtual void RefreshPreview() = 0;
    // In the renderer numbering: 0 none, 1 Moving Stripes, 2 Rotating
    // Stripes, 3 Flowing Clouds, 4 Dynamic Picture, 5 Blinking Clouds,
    // 6 Rubber Clouds.
    virtual int AnimationType() const = 0;
};
