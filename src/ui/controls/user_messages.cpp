#include "ui/controls/user_messages.h"

#include <QColorDialog>
#include <QMessageBox>

namespace {

std::function<void(const QString&, MessageKind)> g_messageHook;
std::function<bool(COLORREF*)> g_colorHook;

} // namespace

void ShowUserMessage(QWidget* parent, const QString& text, MessageKind kind) {
    if (g_messageHook) {
        g_messageHook(text, kind);
        return;
    }
    if (kind == MessageKind::Warning)
        QMessageBox::warning(parent, QObject::tr("Velmora"), text);
    else
        QMessageBox::information(parent, QObject::tr("Velmora"), text);
}

void SetUserMessageHook(std::function<void(const QString&, MessageKind)> hook) {
    g_messageHook = std::move(hook);
}

bool ChooseCustomColor(QWidget* parent, COLORREF* chosen) {
    if (g_colorHook)
        return g_colorHook(chosen);
    const QColor color = QColorDialog::getColor(Qt::white, parent);
    if (!color.isValid())
        return false;
    *chosen = MakeColorRef(color.red(), color.green(), color.blue());
    return true;
}

void SetColorChooserHook(std::function<bool(COLORREF*)> hook) {
    g_colorHook = std::move(hook);
}
