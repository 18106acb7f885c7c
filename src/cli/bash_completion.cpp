// velmora-bash-completion: writes the bash completion of velmora-cli while
// building. Types, their --set names and the pattern kinds come from the
// core's tables, commands and options from the tool's own --help, so the
// completion offers exactly what the tool takes.
//
//   velmora-bash-completion PATH/TO/velmora-cli OUTPUT
#include "core/animation/animation_types.h"
#include "core/animation/renderer_parameters.h"
#include "core/cellmask/cell_pattern_parameters.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

QString HelpOf(const QString& cli, const QStringList& arguments) {
    QProcess process;
    process.start(cli, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        std::fprintf(stderr, "velmora-bash-completion: %s did not answer %s\n", qPrintable(cli),
                     qPrintable(arguments.join(QLatin1Char(' '))));
        std::exit(1);
    }
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

// The names listed under "Commands:", up to the first blank line.
QStringList Commands(const QString& help) {
    QStringList commands;
    bool inList = false;
    static const QRegularExpression entry(QStringLiteral("^  ([a-z][a-z-]*)(\\s|$)"));
    for (const QString& line : help.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Commands:"))) {
            inList = true;
            continue;
        }
        if (!inList)
            continue;
        if (line.trimmed().isEmpty())
            break;
        if (const QRegularExpressionMatch m = entry.match(line); m.hasMatch())
            commands << m.captured(1);
    }
    return commands;
}

struct Options {
    bool filesAfter = false; // the usage line takes files or a folder
    QStringList all;         // every option the help names
    QStringList files;       // those whose value is a file or folder
    QStringList takeWord;    // those with any other value (no completion)
};

// An option at the start of a help line, with the value it shows.
Options OptionsOf(const QString& help) {
    Options options;
    // "Usage: velmora-cli info FILE.gif|FILE.htm", "... demo [DIR]": a file
    // word that no option introduces.
    const QStringList usage = help.section(QLatin1Char('\n'), 0, 0).split(QLatin1Char(' '));
    static const QRegularExpression fileWord(QStringLiteral("FILE|DIR"));
    for (qsizetype i = 1; i < usage.size(); ++i)
        if (fileWord.match(usage[i]).hasMatch() && !usage[i - 1].contains(QLatin1String("--")))
            options.filesAfter = true;
    static const QRegularExpression named(QStringLiteral("(?<![\\w-])--[a-z][a-z-]*"));
    for (auto it = named.globalMatch(help); it.hasNext();) {
        const QString option = it.next().captured(0);
        if (!options.all.contains(option))
            options.all << option;
    }
    static const QRegularExpression line(QStringLiteral("^\\s+(--[a-z][a-z-]*)( (\\S+))?"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(help); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString value = m.captured(3);
        if (value.isEmpty() || options.files.contains(m.captured(1)) ||
            options.takeWord.contains(m.captured(1)))
            continue;
        static const QRegularExpression file(QStringLiteral("FILE|BASE|DIR|PATH"));
        (file.match(value).hasMatch() ? options.files : options.takeWord) << m.captured(1);
    }
    return options;
}

QString Words(const QStringList& list) {
    return list.join(QLatin1Char(' '));
}

// A bash case that echoes the words of each key.
QString CaseFunction(const QString& name, const QList<QPair<QString, QStringList>>& rows) {
    QString out = name + QStringLiteral("() {\n  case $1 in\n");
    for (const auto& [key, words] : rows)
        out += QStringLiteral("    %1) echo \"%2\" ;;\n").arg(key, Words(words));
    out += QStringLiteral("  esac\n}\n\n");
    return out;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fputs("usage: velmora-bash-completion PATH/TO/velmora-cli OUTPUT\n", stderr);
        return 2;
    }
    const QString cli = args[1];

    const QStringList commands = Commands(HelpOf(cli, {QStringLiteral("--help")}));
    if (commands.isEmpty()) {
        std::fputs("velmora-bash-completion: no commands in velmora-cli --help\n", stderr);
        return 1;
    }
    QList<QPair<QString, QStringList>> optionRows, fileRows, wordRows;
    QStringList takeFiles;
    for (const QString& command : commands) {
        if (command == QLatin1String("help"))
            continue;
        const Options o = OptionsOf(HelpOf(cli, {command, QStringLiteral("--help")}));
        optionRows << qMakePair(command, o.all);
        fileRows << qMakePair(command, o.files);
        wordRows << qMakePair(command, o.takeWord);
        if (o.filesAfter)
            takeFiles << command;
    }

    QStringList types;
    QList<QPair<QString, QStringList>> setRows;
    for (const AnimationTypeInfo& t : AnimationTypes()) {
        if (!t.IsAvailable())
            continue;
        types << t.cliName;
        QStringList names;
        for (const RendererParameter& p : RendererParameters(t.cliName))
            names << p.name + QLatin1Char('=');
        setRows << qMakePair(t.cliName, names);
    }
    QList<QPair<QString, QStringList>> patternRows;
    for (const QString& kind : CellPatternKindNames()) {
        QStringList names;
        for (const CellPatternParameterInfo& p :
             CellPatternParameterList(*CellPatternKindFromName(kind)))
            names << p.name + QLatin1Char('=');
        patternRows << qMakePair(kind, names);
    }

    QString script =
        QStringLiteral("# bash completion for velmora-cli. Written by the build from Velmora's\n"
                       "# animation and cell-pattern tables and velmora-cli's own --help: do not\n"
                       "# edit, rebuild.\n\n");
    script += CaseFunction(QStringLiteral("_velmora_cli_options"), optionRows);
    script += CaseFunction(QStringLiteral("_velmora_cli_file_options"), fileRows);
    script += CaseFunction(QStringLiteral("_velmora_cli_value_options"), wordRows);
    script += CaseFunction(QStringLiteral("_velmora_cli_set_names"), setRows);
    script += CaseFunction(QStringLiteral("_velmora_cli_pattern_names"), patternRows);
    // clang-format off
    script += QStringLiteral(R"BASH(_velmora_cli() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion -n = || return
  else
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
  fi
  local commands="%1"
  local types="%2"
  local patterns="%3"
  local take_files=" %4 "
  if ((cword == 1)); then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi
  local command=${words[1]}
  # The thing the command works on: render's TYPE, cell-pattern's PATTERN.
  if ((cword == 2)); then
    case $command in
      render) COMPREPLY=($(compgen -W "$types --help" -- "$cur")); return ;;
      cell-pattern) COMPREPLY=($(compgen -W "$patterns --help" -- "$cur")); return ;;
    esac
  fi
  local kind=${words[2]} i
  case $prev in
    --set)
      if [[ $command == render ]]; then
        COMPREPLY=($(compgen -W "$(_velmora_cli_set_names "$kind")" -- "$cur"))
      else
        COMPREPLY=($(compgen -W "$(_velmora_cli_pattern_names "$kind")" -- "$cur"))
      fi
      [[ ${COMPREPLY[0]-} == *= ]] && compopt -o nospace 2>/dev/null
      return ;;
    --cell-pattern)
      COMPREPLY=($(compgen -W "$patterns" -- "$cur"))
      return ;;
    --format) COMPREPLY=($(compgen -W "gif webp both" -- "$cur")); return ;;
    --webp-compression) COMPREPLY=($(compgen -W "auto lossless lossy" -- "$cur")); return ;;
    --style) COMPREPLY=($(compgen -W "classic modern" -- "$cur")); return ;;
    --cell-set)
      kind=
      for ((i = 2; i < cword; i++)); do
        [[ ${words[i]} == --cell-pattern ]] && kind=${words[i+1]}
      done
      COMPREPLY=($(compgen -W "$(_velmora_cli_pattern_names "$kind")" -- "$cur"))
      [[ ${COMPREPLY[0]-} == *= ]] && compopt -o nospace 2>/dev/null
      return ;;
  esac
  if [[ " $(_velmora_cli_file_options "$command") " == *" $prev "* ]]; then
    COMPREPLY=($(compgen -f -- "$cur"))
    compopt -o filenames 2>/dev/null
    return
  fi
  if [[ " $(_velmora_cli_value_options "$command") " == *" $prev "* ]]; then
    return
  fi
  if [[ $cur == -* || $take_files != *" $command "* ]]; then
    COMPREPLY=($(compgen -W "$(_velmora_cli_options "$command")" -- "$cur"))
    return
  fi
  COMPREPLY=($(compgen -f -- "$cur"))
  compopt -o filenames 2>/dev/null
}
complete -F _velmora_cli velmora-cli
)BASH")
                  .arg(Words(commands), Words(types), Words(CellPatternKindNames()),
                       Words(takeFiles));
    // clang-format on

    QSaveFile out(args[2]);
    if (!out.open(QIODevice::WriteOnly) || out.write(script.toUtf8()) < 0 || !out.commit()) {
        std::fprintf(stderr, "velmora-bash-completion: cannot write %s\n", qPrintable(args[2]));
        return 1;
    }
    return 0;
}
