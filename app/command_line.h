#pragma once
// The program's command line: one optional video file to open at start, --help and --version.

#include <QString>
#include <QStringList>

struct TCommandLine {
    enum TAction { Run, Help, Version, Error };
    TAction Action = Run;
    QString File;    // Run: the video to open at start; empty for none
    QString Message; // Error: what was wrong
};

// args without the program name. "--" ends the options, so that a file named "-x" opens.
TCommandLine ParseCommandLine(const QStringList& args);

// The text --help prints.
QString UsageText();
// The text --version prints.
QString VersionText();
