#include "app/qt/TextCodec.h"

#include "store/Windows1250.h"

namespace text_codec {

QString ToQString(const std::string& text)
{
    const std::string utf8 = windows1250::ToUtf8(text);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> FromQString(const QString& text)
{
    return windows1250::FromUtf8(text.toUtf8().toStdString());
}

std::string FromQStringLossy(const QString& text)
{
    return windows1250::FromUtf8Lossy(text.toUtf8().toStdString());
}

QString ToEditText(const std::string& text)
{
    QString s = ToQString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

std::optional<std::string> FromEditText(const QString& text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return FromQString(s);
}

} // namespace text_codec
