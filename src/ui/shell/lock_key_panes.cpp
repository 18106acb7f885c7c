#include "ui/shell/lock_key_panes.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <optional>

namespace {
std::optional<std::array<bool, 3>> ReadLocks();
} // namespace

LockKeyPanes::LockKeyPanes(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("lockKeyPanes"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const char* texts[] = {"CAP", "NUM", "SCRL"};
    const char* names[] = {"capsLockPane", "numLockPane", "scrollLockPane"};
    for (std::size_t i = 0; i < m_panes.size(); ++i) {
        auto* pane = new QLabel(QString::fromLatin1(texts[i]), this);
        pane->setObjectName(QString::fromLatin1(names[i]));
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setAlignment(Qt::AlignCenter);
        // Wide enough for the longest text, so the bar does not shift.
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 8);
        pane->setEnabled(false);
        layout->addWidget(pane);
        m_panes[i] = pane;
    }
    if (qApp)
        qApp->installEventFilter(this);
    m_poll.setInterval(500);
    connect(&m_poll, &QTimer::timeout, this, &LockKeyPanes::Refresh);
    m_poll.start();
    Refresh();
}

void LockKeyPanes::Refresh() {
    const std::optional<std::array<bool, 3>> states = ReadLocks();
    if (!states)
        return;
    m_states = *states;
    for (std::size_t i = 0; i < m_panes.size(); ++i)
        m_panes[i]->setEnabled(m_states[i]);
}

bool LockKeyPanes::eventFilter(QObject* watched, QEvent* event) {
    // The server changes the indicator after the key event arrives.
    if (event->type() == QEvent::KeyRelease)
        QTimer::singleShot(0, this, &LockKeyPanes::Refresh);
    return QWidget::eventFilter(watched, event);
}

// Last in the file: the X headers define macros (KeyRelease, None...) that
// clash with Qt's names.
#if __has_include(<X11/XKBlib.h>)
#include <X11/XKBlib.h>
#define VELMORA_HAVE_XKB 1
#endif

namespace {

// The X keyboard's named indicators; nullopt when they cannot be read.
std::optional<std::array<bool, 3>> ReadLocks() {
#ifdef VELMORA_HAVE_XKB
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return std::nullopt;
    std::array<bool, 3> states{};
    const char* names[] = {"Caps Lock", "Num Lock", "Scroll Lock"};
    for (std::size_t i = 0; i < states.size(); ++i) {
        const Atom atom = XInternAtom(display, names[i], True);
        Bool on = False;
        if (atom != None && XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr))
            states[i] = on == True;
    }
    return states;
#else
    return std::nullopt;
#endif
}

} // namespace
