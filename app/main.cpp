// The window program: takes no command line; shows the main window and runs the event loop.
#include "workbench/form1.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("mergon"));
    app.setApplicationDisplayName(QString());
    mergon::Form1 window;
    window.show();
    return app.exec();
}
