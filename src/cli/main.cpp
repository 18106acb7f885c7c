// velmora-cli: the headless front of Velmora's core.
#include "cli/arguments.h"
#include "cli/cell_pattern_command.h"
#include "cli/encode_command.h"
#include "cli/page_command.h"
#include "cli/render_command.h"

#include <QCoreApplication>

namespace {

const char* const kHelp = R"(Usage: velmora-cli COMMAND [options]

Velmora designs a web page holding one HTML table with an animated GIF
background. This tool does Velmora's work without a display.

Commands:
  page     write a table page (BASE.htm) and complete its page set
  render   save an animation (moving-stripes, rotating-stripes) as a GIF
  encode   turn raw RGB frames into an animated GIF through Velmora's pipeline
  cell-pattern  paint a cell pattern (rect, round, craft, bitmap) as a cell GIF
  demo     write an example page set into a folder
  help     show this text

'velmora-cli COMMAND --help' describes a command.
Exit status: 0 done, 1 a file could not be read or written, 2 a wrong option
or value (nothing is written then).
)";

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        PrintError(QString::fromUtf8(kHelp).trimmed());
        return kExitUsage;
    }
    const QString command = args.takeFirst();
    try {
        if (command == QLatin1String("page"))
            return RunPageCommand(args);
        if (command == QLatin1String("encode"))
            return RunEncodeCommand(args);
        if (command == QLatin1String("render"))
            return RunRenderCommand(args);
        if (command == QLatin1String("cell-pattern"))
            return RunCellPatternCommand(args);
        if (command == QLatin1String("demo"))
            return RunDemoCommand(args);
        if (command == QLatin1String("help") || command == QLatin1String("--help") ||
            command == QLatin1String("-h")) {
            PrintOut(QString::fromUtf8(kHelp).trimmed());
            return kExitOk;
        }
        PrintError(QStringLiteral("velmora-cli: unknown command '%1'\nTry 'velmora-cli --help'.")
                       .arg(command));
        return kExitUsage;
    } catch (const UsageError& e) {
        PrintError(QString::fromStdString(e.what()));
        return kExitUsage;
    }
}
