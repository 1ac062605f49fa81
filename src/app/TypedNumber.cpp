#include "app/TypedNumber.h"

#include "messagedb/MessageDb.h"

namespace typed_number {

std::string NumberOf(const std::string& piece)
{
    int digits = 0;
    bool seenPlus = false;
    for (char c : piece) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '+' && digits == 0 && !seenPlus)
            seenPlus = true;
        else if (c != ' ' && c != '-' && c != '(' && c != ')')
            return {};
    }
    // E.164 numbers have at most 15 digits; fewer than 3 is no number anyone can be sent to.
    if (digits < 3 || digits > 15)
        return {};
    return CMessageDb::NormaliseNumber(piece);
}

} // namespace typed_number
