#pragma once
// The window program's command line: `mergon [FILE...]`, with --help and --version.

#include <QStringList>

namespace mergon {

// The files named on the command line (`arguments` starts with the program's name), as
// absolute paths. --help, --version and a wrong option are answered by Qt's command-line
// parser, which then ends the program.
QStringList filesToOpen(const QStringList &arguments);

} // namespace mergon
