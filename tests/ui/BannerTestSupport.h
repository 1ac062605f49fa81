#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QColor>

// Banner files for the widget tests: JPEG pictures made by cjpeg and index files written byte by
// byte.
namespace banner_test {

// A picture of one colour; grey writes a one-component JPEG. Fails the test (and returns false)
// when cjpeg is missing.
bool MakeJpeg(const std::string& path, int width, int height, QColor colour, bool grey = false);

struct Entry
{
    std::string image;
    std::string link;
    std::uint32_t duration;
};
// The bytes of an index file with these entries.
std::string IndexBytes(const std::vector<Entry>& entries);
bool WriteFile(const std::string& path, const std::string& bytes);

// Whether two colours are the same within the losses of JPEG.
bool Near(QColor a, QColor b);

} // namespace banner_test
