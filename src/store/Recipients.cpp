#include "store/Recipients.h"

namespace recipients {

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (;;) {
        const auto end = text.find(';', from);
        pieces.push_back(text.substr(from, end == std::string::npos ? std::string::npos : end - from));
        if (end == std::string::npos)
            return pieces;
        from = end + 1;
    }
}

std::string Join(const std::vector<std::string>& pieces)
{
    std::string text;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            text += ';';
        text += pieces[i];
    }
    return text;
}

} // namespace recipients
