// The window side of the table of animation types: one window per type.
#pragma once

class AnimationDialog;
class AnimationHost;
class QWidget;

// A new window for the renderer type (the view's numbering), which makes
// its renderer as it opens; null for a type that has no window yet.
AnimationDialog* CreateAnimationDialogFor(int rendererType, AnimationHost* host, QWidget* owner);
