#pragma once

#include <optional>
#include <string>

#include <QString>

// The Qt boundary: the program's Windows-1250 texts to and from QString. Line breaks are CR LF
// inside the program and LF in Qt's widgets.
namespace text_codec {

QString ToQString(const std::string& text);
// Nothing when the text holds a character Windows-1250 cannot hold.
std::optional<std::string> FromQString(const QString& text);
// For texts the program did not get from the user (settings values): unknown characters become "?".
std::string FromQStringLossy(const QString& text);

// A CR or LF that stands alone in a stored text (not part of a CR LF pair) is shown in an edit
// as one of these private-use characters, so that it comes back as the same byte.
inline constexpr QChar kLoneCarriageReturn{0xE00D};
inline constexpr QChar kLoneLineFeed{0xE00A};

QString ToEditText(const std::string& text);               // CR LF -> LF
std::optional<std::string> FromEditText(const QString& text); // LF -> CR LF

} // namespace text_codec
