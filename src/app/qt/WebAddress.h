#pragma once

#include <functional>

#include <QString>
#include <QUrl>

class CSettingsStore;

// Opening a web address in the user's browser, for the help menu, the notification-area menu, the
// About box and the banners.
namespace web_address {

// The program's home page on the maker's web server.
QString HomePage(const CSettingsStore& settings);

// The desktop's way of opening an address; on Windows, when the shell fails, the browser
// registered for ".htm" is started with the address. Returns 0 when the address was opened,
// otherwise the shell's error value for the reason: 2 an empty or unusable address or a missing
// file, 3 a missing folder, 5 a file that may not be read, 27 a handler that did not start,
// 31 no program is associated.
int Open(const QString& address);
inline bool OpenQuietly(const QString& address)
{
    return Open(address) == 0;
}

// Addresses that come from the network (a banner's link) are opened only when they are plain web
// addresses; a file, "file:" or a program is refused without a word.
bool IsWebAddress(const QString& address);

// The browser's command line from the registry with the address put in place of its "%1": the
// line is cut before a quoted "%1", or else at a bare %1, and the address follows after a blank.
QString BrowserCommandLine(const QString& registeredCommand, const QString& address);

// The English text the program shows after "Can't open link:" for a shell error value.
QString ErrorText(int value);

inline constexpr int kFileNotFound = 2;
inline constexpr int kPathNotFound = 3;
inline constexpr int kAccessDenied = 5;
inline constexpr int kAssociationIncomplete = 27;
inline constexpr int kNoAssociation = 31;

// Tests replace the desktop's opener; an empty function restores it.
using Opener = std::function<bool(const QUrl&)>;
void SetOpenerForTesting(Opener opener);

} // namespace web_address
