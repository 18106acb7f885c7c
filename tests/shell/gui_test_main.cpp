// GUI tests run under a display (xvfb-run in CI). Settings and the data
// folder point at a temporary folder so a user's own files are never read.
#include "ui/shell/velmora_app.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QThread>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Under a loaded machine the test display now and then refuses a connection
// for a moment; without one the application cannot start at all. Waits (up
// to ten seconds) until the local X server of $DISPLAY accepts one.
void WaitForDisplay() {
    const QByteArray display = qgetenv("DISPLAY");
    if (!display.startsWith(':'))
        return;
    const QByteArray number = display.mid(1).split('.').value(0);
    const QByteArray path = "/tmp/.X11-unix/X" + number;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::size_t(path.size()) >= sizeof(address.sun_path))
        return;
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0)
            return;
        const bool connected =
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        ::close(fd);
        if (connected)
            return;
        QThread::msleep(100);
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    CVelmoraApp::PrepareEnvironment();
    WaitForDisplay();
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KRV"));
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    return RUN_ALL_TESTS();
}
