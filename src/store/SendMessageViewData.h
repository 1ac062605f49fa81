#pragma once

#include <string>

class CArchive;

// What the composing view holds while it is not shown: the recipients as typed and the text.
class CSendMessageViewData
{
public:
    std::string recipients;
    std::string text;

    void Serialize(CArchive& ar);
};
