// velmora-cli: the headless front of Velmora's core.
#include "cli/arguments.h"
#include "cli/cell_pattern_command.h"
#include "cli/encode_command.h"
#include "cli/info_command.h"
#include "cli/page_command.h"
#include "cli/render_command.h"
#include "core/base/huge_pages.h"
#include "core/base/limits.h"
#include "core/base/version.h"
#include "core/base/worker_threads.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <system_error>

namespace {

const char* const kHelp = R"(Usage: velmora-cli COMMAND [options]

Velmora designs a web page holding one HTML table with an animated GIF
background (and an animated WebP beside it, if wanted). This tool does
Velmora's work without a display.

Commands:
  page     write a table page (BASE.htm) and complete its page set
  render   save an animation as a GIF, a WebP or both ('velmora-cli render
           --help' lists the types)
  encode   turn raw RGB frames into an animated GIF (or WebP) through
           Velmora's pipeline
  cell-pattern
           paint a cell pattern (rect, round, craft, bitmap) as a cell GIF
  demo     write an example page set into a folder
  info     show what a GIF, a WebP or a page holds, and the animation it was
           saved from
  help     show this text
  --version
           show Velmora's version

'velmora-cli COMMAND --help' describes a command.
Limits (each refused with a clear message before any work starts):
  a GIF is 1 to 65535 pixels wide and high, and a save needs about 8 bytes
  of memory a pixel of its frame (a 65535 x 65535 frame: 32 GiB);
  animations stop at 500 frames (the stripes, Rubber Clouds) or 5000
  (Blinking Clouds, Flowing Clouds, Dynamic Picture); encode takes at most
  1000000 frames; a page holds at most 1 GiB of text; a cell pattern and
  Fit to Cell draw at most 250000 cells, and a pattern's lines may not be
  so wide that painting them takes more than 8589 million steps.

Every file is written to a temporary file beside it, flushed to disk and only
then renamed into place: a failed write (a full disk, too little memory)
leaves the previous file as it was and says why.

Exit status: 0 done, 1 a file could not be read or written or memory ran out,
2 a wrong option or value (nothing is written then).
)";

// What a command was working on, for the message when memory runs out;
// allocates nothing.
const char* WorkOf(const QString& command) {
    if (command == QLatin1String("page"))
        return "the page";
    if (command == QLatin1String("demo"))
        return "the demo page set";
    if (command == QLatin1String("render") || command == QLatin1String("encode"))
        return "the animation";
    return "this command";
}

int RunCommand(const QString& command, const QStringList& args) {
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
    if (command == QLatin1String("info"))
        return RunInfoCommand(args);
    if (command == QLatin1String("help") || command == QLatin1String("--help") ||
        command == QLatin1String("-h")) {
        PrintOut(QString::fromUtf8(kHelp).trimmed());
        return kExitOk;
    }
    if (command == QLatin1String("--version")) {
        PrintOut(QStringLiteral("velmora-cli (Velmora) %1").arg(VelmoraVersion()));
        return kExitOk;
    }
    PrintError(QStringLiteral("velmora-cli: unknown command '%1'\nTry 'velmora-cli --help'.")
                   .arg(command));
    return kExitUsage;
}

// Qt decodes the command line as UTF-8 and turns bytes that are not into
// U+FFFD, so a file name with such bytes would be written under another
// name. Such an argument is refused instead; the index of the first one, or
// -1.
int FirstUndecodableArgument(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        if (QFile::encodeName(QFile::decodeName(bytes)) != bytes)
            return i;
    }
    return -1;
}

// Printed without Qt's help: there may be no memory for a QString.
void PrintOutOfMemory(const QString& command) {
    std::fprintf(stderr,
                 "Not enough memory for %s; the files it would have replaced are unchanged.\n",
                 WorkOf(command));
}

} // namespace

// The help above, the manual and the README state these numbers in words.
static_assert(kMaxGifSide == 65535 && kFrameBytesPerPixel == 8 && kMaxStripesFrames == 500 &&
                  kMaxCloudsFrames == 5000 && kMaxEncodeFrames == 1000000 &&
                  kMaxPageBytes == qint64(1) << 30,
              "a limit changed: update the help texts, res/help/index.html and README.md");

// Every command runs inside this net: whatever goes wrong ends as a message
// and exit status 1, never as an abort. Files being written are discarded as
// the stack unwinds, so the previous ones stay as they were.
int main(int argc, char* argv[]) {
    // The desktop program keeps the system's default: it lives on beside
    // the page view, where memory held for the next save would sit idle.
    KeepFreedMemoryDuringSaves();
    // GLib's main loop, which Qt would otherwise run the tool's threads on,
    // aborts the process when an allocation fails; Qt's own does not, and
    // the tool needs nothing GLib's offers.
    qputenv("QT_NO_GLIB", "1");
    QString command;
    try {
        QCoreApplication app(argc, argv);
        if (!StartPoolThreadsNow()) {
            // Nothing is written yet; the pool holds a part that no thread
            // will run, which the application would wait for on its way out.
            PrintOutOfMemory(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
            std::fflush(stderr);
            std::_Exit(kExitFailure);
        }
        if (const int bad = FirstUndecodableArgument(argc, argv); bad > 0) {
            PrintError(QStringLiteral("velmora-cli: argument %1 ('%2') is not valid UTF-8; file "
                                      "names and values must be, so nothing was written")
                           .arg(bad)
                           .arg(QString::fromLatin1(argv[bad])));
            return kExitUsage;
        }
        QStringList args = app.arguments().mid(1);
        if (args.isEmpty()) {
            PrintError(QString::fromUtf8(kHelp).trimmed());
            return kExitUsage;
        }
        command = args.takeFirst();
        try {
            return RunCommand(command, args);
        } catch (const UsageError& e) {
            PrintError(QString::fromStdString(e.what()));
            return kExitUsage;
        }
    } catch (const std::bad_alloc&) {
        PrintOutOfMemory(command);
        return kExitFailure;
    } catch (const std::system_error& e) {
        // A thread or lock the system could not give: its stack or table is
        // memory too, and "try again" says nothing a user can act on.
        if (e.code() == std::errc::resource_unavailable_try_again ||
            e.code() == std::errc::not_enough_memory) {
            PrintOutOfMemory(command);
            return kExitFailure;
        }
        std::fprintf(stderr, "velmora-cli: %s; the files it would have replaced are unchanged.\n",
                     e.what());
        return kExitFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-cli: %s; the files it would have replaced are unchanged.\n",
                     e.what());
        return kExitFailure;
    } catch (...) {
        std::fputs("velmora-cli: an unexpected error stopped the command; the files it would have "
                   "replaced are unchanged.\n",
                   stderr);
        return kExitFailure;
    }
}
