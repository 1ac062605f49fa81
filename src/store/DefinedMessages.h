#pragma once

#include <string>
#include <vector>

class CArchive;

// The user's ready-made texts, in the order the list dialog last showed them.
class CDefinedMessages
{
public:
    std::vector<std::string>& GetTexts() { return m_texts; }
    const std::vector<std::string>& GetTexts() const { return m_texts; }
    void Serialize(CArchive& ar);

private:
    std::vector<std::string> m_texts;
};
