#include "app/qt/DataLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace data_location {

QString DefaultDirectory()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QFileInfo info(exeDir);
    // An installed copy shares its directory with every other program, and root could write
    // there: its data belongs in the user's own data location.
    const bool installed = QDir(exeDir) == QDir(QStringLiteral(BRIVANTEL_INSTALL_BINDIR));
    if (!installed && info.isDir() && info.isWritable())
        return exeDir;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString DataFilePath(const QString& dir)
{
    QDir d(dir);
    if (!d.exists() && !d.mkpath(QStringLiteral(".")))
        return {};
    return d.absoluteFilePath(QString::fromLatin1(kDataFileName));
}

} // namespace data_location
