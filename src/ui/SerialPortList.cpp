#include "ui/SerialPortList.h"

#include <algorithm>

#include <QCollator>
#include <QDir>

namespace {

QStringList Matching(const QString& directory, const QString& pattern)
{
    const QDir dir(directory);
    // Device nodes are "system" entries to QDir; by-id holds symbolic links.
    QStringList names = dir.entryList({pattern}, QDir::System | QDir::Files | QDir::NoDotAndDotDot);
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(),
              [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    QStringList paths;
    for (const QString& name : names)
        paths << dir.filePath(name);
    return paths;
}

} // namespace

namespace serial_port_list {

QStringList Present(const QString& devRoot)
{
    QStringList ports;
    for (const char* pattern : {"ttyS*", "ttyUSB*", "ttyACM*"})
        ports << Matching(devRoot, QString::fromLatin1(pattern));
    ports << Matching(devRoot + QStringLiteral("/serial/by-id"), QStringLiteral("*"));
    return ports;
}

} // namespace serial_port_list
