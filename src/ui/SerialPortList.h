#pragma once

#include <QString>
#include <QStringList>

// The serial devices a phone or modem may sit on, as present on this machine.
namespace serial_port_list {

// /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM* and /dev/serial/by-id/*, in that order, each group in
// natural order (ttyS2 before ttyS10). devRoot replaces "/dev" in tests.
QStringList Present(const QString& devRoot = QStringLiteral("/dev"));

} // namespace serial_port_list
