#include "app/command_line.h"

TCommandLine ParseCommandLine(const QStringList& args) {
    TCommandLine line;
    bool options = true;
    for (const QString& arg : args) {
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
            line.Action = TCommandLine::Help;
            return line;
        } else if (options && arg == QLatin1String("--version")) {
            line.Action = TCommandLine::Version;
            return line;
        } else if (options && arg.startsWith(QLatin1Char('-')) && arg != QLatin1String("-")) {
            line.Action = TCommandLine::Error;
            line.Message = QStringLiteral("unknown option '%1'").arg(arg);
            return line;
        } else if (!line.File.isEmpty()) {
            line.Action = TCommandLine::Error;
            line.Message = QStringLiteral("only one video file can be opened");
            return line;
        } else {
            line.File = arg;
        }
    }
    return line;
}

QString UsageText() {
    return QStringLiteral("Usage: framecatch [FILE]\n"
                          "Grab still frames out of a video file and turn them into pictures.\n"
                          "\n"
                          "  FILE       a video file to open and play at start\n"
                          "  --help     show this text and exit\n"
                          "  --version  show the version and exit\n");
}

QString VersionText() {
    return QStringLiteral("Framecatch 2.0\n");
}
