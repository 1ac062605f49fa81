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
    // A CR LF pair is the line break; a CR or an LF on its own is kept as a mark of its own, or
    // an edit would give it back as a whole CR LF and change the stored bytes.
    QString s;
    s.reserve(static_cast<qsizetype>(text.size()));
    const QString converted = ToQString(text);
    for (qsizetype i = 0; i < converted.size(); ++i) {
        const QChar c = converted.at(i);
        if (c == u'\r' && i + 1 < converted.size() && converted.at(i + 1) == u'\n') {
            s.append(QChar(u'\n'));
            ++i;
        } else if (c == u'\r') {
            s.append(kLoneCarriageReturn);
        } else if (c == u'\n') {
            s.append(kLoneLineFeed);
        } else {
            s.append(c);
        }
    }
    return s;
}

std::optional<std::string> FromEditText(const QString& text)
{
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    s.replace(kLoneCarriageReturn, QChar(u'\r'));
    s.replace(kLoneLineFeed, QChar(u'\n'));
    return FromQString(s);
}

} // namespace text_codec
