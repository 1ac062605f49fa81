#pragma once

#include <QString>

// The names ModemManager answers to on the system bus.
namespace modem_manager {

inline const QString kService = QStringLiteral("org.freedesktop.ModemManager1");
inline const QString kRoot = QStringLiteral("/org/freedesktop/ModemManager1");
inline const QString kModem = QStringLiteral("org.freedesktop.ModemManager1.Modem");
inline const QString kModem3gpp = QStringLiteral("org.freedesktop.ModemManager1.Modem.Modem3gpp");
inline const QString kMessaging = QStringLiteral("org.freedesktop.ModemManager1.Modem.Messaging");
inline const QString kSms = QStringLiteral("org.freedesktop.ModemManager1.Sms");
inline const QString kSim = QStringLiteral("org.freedesktop.ModemManager1.Sim");
inline const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace modem_manager
