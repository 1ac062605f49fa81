// Writes the program's own icon as PNG pictures in the sizes of the hicolor theme, for the menu
// entry of an installed copy: the same drawing the window and the notification area show.

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include "ui/Icons.h"

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1x%1/apps").arg(size);
        if (!out.mkpath(dir) ||
            !icons::AppPixmap(size).save(out.filePath(dir + QStringLiteral("/brivantel.png"))))
            return 1;
    }
    return 0;
}
