#include "ui/Windows1250Validator.h"

#include "app/qt/TextCodec.h"

QValidator::State CWindows1250Validator::validate(QString& input, int& /*pos*/) const
{
    return text_codec::FromQString(input) ? Acceptable : Invalid;
}
