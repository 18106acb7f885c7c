// The status bar's lock-key indicators: "CAP", "NUM" and "SCRL", each shown
// while its lock is on and dimmed while it is off. The lock states are read
// from the X server's keyboard indicators; where there is no X server (the
// offscreen platform, Wayland) the panes stay dimmed.
#pragma once

#include <QTimer>
#include <QWidget>
#include <array>

class QLabel;

class LockKeyPanes : public QWidget {
    Q_OBJECT
public:
    explicit LockKeyPanes(QWidget* parent = nullptr);

    // Caps, Num and Scroll Lock as last read; a pane is enabled while its
    // lock is on.
    std::array<bool, 3> States() const { return m_states; }
    // Reads the locks now (also done a moment after every key press and on
    // a slow timer, since the locks change in other windows too).
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::array<QLabel*, 3> m_panes{};
    std::array<bool, 3> m_states{};
    QTimer m_poll;
};
