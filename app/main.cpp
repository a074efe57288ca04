// The window program: `mergon [FILE...]` shows the main window, adds the files named, and runs
// the event loop.
#include "app/command_line.h"
#include "workbench/form1.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("mergon"));
    app.setApplicationVersion(QStringLiteral(MERGON_VERSION));
    app.setApplicationDisplayName(QString());
    const QStringList files = mergon::filesToOpen(QApplication::arguments());
    mergon::Form1 window;
    window.show();
    if (!files.isEmpty())
        QTimer::singleShot(0, &window, [&window, files] { window.addFiles(files); });
    return app.exec();
}
