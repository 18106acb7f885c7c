// velmora: the desktop program.
#include "shell/main_frame.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KRV"));
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    CMainFrame frame;
    frame.show();
    return app.exec();
}
