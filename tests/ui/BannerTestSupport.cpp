#include "BannerTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "support/Bytes.h"

namespace banner_test {

bool MakeJpeg(const std::string& path, int width, int height, QColor colour, bool grey)
{
    if (std::system("command -v cjpeg >/dev/null 2>&1") != 0) {
        ADD_FAILURE() << "cjpeg is not installed (Debian package libjpeg-turbo-progs)";
        return false;
    }
    const std::string ppm = path + (grey ? ".pgm" : ".ppm");
    {
        std::ofstream out(ppm, std::ios::binary);
        out << (grey ? "P5\n" : "P6\n") << width << ' ' << height << "\n255\n";
        for (int i = 0; i < width * height; ++i) {
            if (grey) {
                out.put(static_cast<char>(colour.red()));
            } else {
                out.put(static_cast<char>(colour.red()));
                out.put(static_cast<char>(colour.green()));
                out.put(static_cast<char>(colour.blue()));
            }
        }
    }
    const std::string cmd = "cjpeg -quality 95 " + std::string(grey ? "-grayscale " : "") + "-outfile '" +
                            path + "' '" + ppm + "'";
    const bool ok = std::system(cmd.c_str()) == 0;
    std::remove(ppm.c_str());
    EXPECT_TRUE(ok) << cmd;
    return ok;
}

std::string IndexBytes(const std::vector<Entry>& entries)
{
    Bytes b;
    b.u16(static_cast<std::uint16_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i == 0)
            b.u16(0xFFFF).u16(1).u16(11).raw("CBannerInfo");
        else
            b.u16(0x8001);
        b.shortString(entries[i].image).shortString(entries[i].link).u32(entries[i].duration);
    }
    return {b.vec().begin(), b.vec().end()};
}

bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

bool Near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) <= 6 && std::abs(a.green() - b.green()) <= 6 &&
           std::abs(a.blue() - b.blue()) <= 6;
}

} // namespace banner_test
