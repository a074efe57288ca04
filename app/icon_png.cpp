// Converts the program icon to PNG at build time, for the desktop's icon theme.
#include <QImage>
#include <QString>

int main(int argc, char **argv) {
    if (argc != 3)
        return 2;
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    return !icon.isNull() && icon.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
