// velmora: the desktop program.
#include "ui/shell/velmora_app.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    CVelmoraApp::PrepareEnvironment();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("KRV"));
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(QStringLiteral("1.1"));
    CVelmoraApp velmora;
    if (!velmora.InitInstance(QApplication::arguments()))
        return 1;
    return app.exec();
}
