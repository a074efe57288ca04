#include "app/command_line.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace mergon {

QStringList filesToOpen(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Averages measured curves on an even grid and writes the mean as a table. "
                       "The files named are added as \"Data File Open\" adds them, up to ten."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Input files to add."),
                                 QStringLiteral("[FILE...]"));
    parser.process(arguments);
    QStringList files;
    for (const QString &file : parser.positionalArguments())
        files << QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    return files;
}

} // namespace mergon
