// Message boxes and the colour chooser the windows use, behind hooks so
// tests can answer them without a person.
#pragma once

#include "core/base/color_ref.h"

#include <QString>
#include <functional>

class QWidget;

enum class MessageKind { Information, Warning };

void ShowUserMessage(QWidget* parent, const QString& text, MessageKind kind);
// Tests install a hook that receives the messages instead; nullptr restores
// the message boxes.
void SetUserMessageHook(std::function<void(const QString&, MessageKind)> hook);

// The colour chooser behind "Custom...": starts at white every time; false
// when the user cancels.
bool ChooseCustomColor(QWidget* parent, COLORREF* chosen);
void SetColorChooserHook(std::function<bool(COLORREF*)> hook);
