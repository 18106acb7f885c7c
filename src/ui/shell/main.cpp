// velmora: the desktop program.
#include "core/base/version.h"
#include "ui/shell/velmora_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstring>

namespace {

void SetNames() {
    QCoreApplication::setOrganizationName(QStringLiteral("KRV"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationVersion(VelmoraVersion());
}

// The version option, answered here so that it reads as velmora-cli's does
// ("velmora (Velmora) 1.1"): the manual page takes the program's name from it.
const QCommandLineOption& VersionOption() {
    static const QCommandLineOption option({QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Displays version information."));
    return option;
}

void Describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Velmora designs a web page that holds one HTML table with an animated "
                       "background: set the table, pick and tune one of six animations, save it "
                       "as an animated GIF, cut a cell pattern, and save the page set (name.htm, "
                       "name.gif, name-cell.gif). velmora-cli does the same work without a "
                       "display."));
    parser.addHelpOption();
    parser.addOption(VersionOption());
    parser.addPositionalArgument(
        QStringLiteral("files"),
        QStringLiteral("Pages to open, one window each; a page Velmora saved comes back with its "
                       "table and animation. Without one a new table is started."),
        QStringLiteral("[FILE...]"));
}

// --help and --version are answered without a display: a terminal may have
// none, and the manual page is written from them while building.
bool AsksForHelpOrVersion(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        for (const char* option : {"-h", "-?", "--help", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (AsksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        SetNames();
        QCommandLineParser parser;
        Describe(parser);
        parser.process(app); // --help prints and exits
        std::printf("velmora (Velmora) %s\n", qPrintable(VelmoraVersion()));
        return 0;
    }
    CVelmoraApp::PrepareEnvironment();
    QApplication app(argc, argv);
    SetNames();
    // Ties the windows to the menu entry (its icon and name) on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.krv.Velmora"));
    QCommandLineParser parser;
    Describe(parser);
    // Options it does not know are the embedded browser's (--no-sandbox and
    // the like), which it reads for itself: they are no reason to stop.
    parser.parse(QApplication::arguments());
    CVelmoraApp velmora;
    if (!velmora.InitInstance(QStringList{QApplication::arguments().value(0)} +
                              parser.positionalArguments()))
        return 1;
    return app.exec();
}
