#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

#include <jpeglib.h>

#include "online/JpegDecoder.h"
#include "support/TempDir.h"

namespace {

struct Rgb
{
    int r, g, b;
};

// Four coloured quarters: red top-left, green top-right, blue bottom-left, white bottom-right.
Rgb Quarter(int x, int y, int w, int h)
{
    const bool right = x >= w / 2;
    const bool bottom = y >= h / 2;
    if (!bottom)
        return right ? Rgb{0, 255, 0} : Rgb{255, 0, 0};
    return right ? Rgb{255, 255, 255} : Rgb{0, 0, 255};
}

void WritePpm(const std::string& path, int w, int h)
{
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << w << ' ' << h << "\n255\n";
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb c = Quarter(x, y, w, h);
            out.put(static_cast<char>(c.r)).put(static_cast<char>(c.g)).put(static_cast<char>(c.b));
        }
    }
}

// Makes a JPEG with the cjpeg program; fails the test when it is not installed.
std::string Cjpeg(const TempDir& dir, const std::string& name, int w, int h, const std::string& options)
{
    if (std::system("command -v cjpeg >/dev/null 2>&1") != 0) {
        ADD_FAILURE() << "cjpeg is not installed (Debian package libjpeg-turbo-progs)";
        return {};
    }
    const std::string ppm = dir.file(name + ".ppm");
    const std::string jpg = dir.file(name);
    WritePpm(ppm, w, h);
    const std::string cmd = "cjpeg -quality 95 " + options + " -outfile '" + jpg + "' '" + ppm + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return jpg;
}

// A four-component JPEG written with libjpeg itself (cjpeg cannot read CMYK input). Samples are
// given as ink amounts and stored inverted when the Adobe segment is written, as Adobe does.
std::string FourComponentJpeg(const TempDir& dir, const std::string& name, J_COLOR_SPACE space, bool adobe,
                              int w, int h)
{
    const std::string path = dir.file(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 4;
    c.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, space);
    c.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(w) * 4);
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < w; ++x) {
            const Rgb rgb = Quarter(x, static_cast<int>(c.next_scanline), w, h);
            const int ink[4] = {255 - rgb.r, 255 - rgb.g, 255 - rgb.b, 0};
            for (int i = 0; i < 4; ++i)
                row[static_cast<std::size_t>(x) * 4 + i] =
                    static_cast<JSAMPLE>(adobe ? 255 - ink[i] : ink[i]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(file);
    return path;
}

Rgb At(const CJpegDecoder::Picture& p, int x, int y)
{
    const std::uint8_t* px = p.pixels.get() + (static_cast<std::size_t>(y) * p.width + x) * 3;
    return {px[0], px[1], px[2]};
}

// Compares the centre of each quarter with its colour; JPEG is lossy, so within a tolerance.
void ExpectQuarters(const CJpegDecoder::Picture& p)
{
    const int w = p.width, h = p.height;
    for (const auto& [x, y] :
         {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}}) {
        const Rgb want = Quarter(x, y, w, h);
        const Rgb got = At(p, x, y);
        EXPECT_NEAR(got.r, want.r, 12) << x << "," << y;
        EXPECT_NEAR(got.g, want.g, 12) << x << "," << y;
        EXPECT_NEAR(got.b, want.b, 12) << x << "," << y;
    }
}

std::vector<std::uint8_t> Copy(const std::uint8_t* p, std::size_t n)
{
    return {p, p + n};
}

} // namespace

TEST(JpegDecoder, ColourPicturesInBannerSizes)
{
    TempDir dir;
    for (const auto& [w, h] : {std::pair{400, 50}, {468, 60}, {200, 40}}) {
        const std::string path = Cjpeg(dir, "c" + std::to_string(w) + ".jpg", w, h, "");
        auto picture = CJpegDecoder::DecodeFile(path);
        ASSERT_TRUE(picture) << w;
        EXPECT_EQ(picture->width, w);
        EXPECT_EQ(picture->height, h);
        ExpectQuarters(*picture);
    }
    auto progressive = CJpegDecoder::DecodeFile(Cjpeg(dir, "p.jpg", 64, 32, "-progressive"));
    ASSERT_TRUE(progressive);
    ExpectQuarters(*progressive);
}

TEST(JpegDecoder, GreyBecomesGreyRgb)
{
    TempDir dir;
    auto picture = CJpegDecoder::DecodeFile(Cjpeg(dir, "g.jpg", 400, 50, "-grayscale"));
    ASSERT_TRUE(picture);
    bool anyDark = false, anyLight = false;
    for (int y = 0; y < picture->height; ++y) {
        for (int x = 0; x < picture->width; ++x) {
            const Rgb c = At(*picture, x, y);
            ASSERT_TRUE(c.r == c.g && c.g == c.b) << x << "," << y;
            anyDark |= c.r < 60;
            anyLight |= c.r > 240;
        }
    }
    EXPECT_TRUE(anyDark && anyLight); // the quarters' brightness survived (blue is dark, white light)
}

TEST(JpegDecoder, CmykAndYcckBecomeRgb)
{
    TempDir dir;
    for (const auto& [name, space, adobe] :
         {std::tuple{"adobe-cmyk.jpg", JCS_CMYK, true}, std::tuple{"plain-cmyk.jpg", JCS_CMYK, false},
          std::tuple{"adobe-ycck.jpg", JCS_YCCK, true}}) {
        auto picture = CJpegDecoder::DecodeFile(FourComponentJpeg(dir, name, space, adobe, 96, 48));
        ASSERT_TRUE(picture) << name;
        SCOPED_TRACE(name);
        ExpectQuarters(*picture);
    }
}

TEST(JpegDecoder, BrokenFilesGiveNoPicture)
{
    TempDir dir;
    CJpegDecoder::Failure why = CJpegDecoder::Failure::None;
    EXPECT_FALSE(CJpegDecoder::DecodeFile(dir.file("missing.jpg"), &why));
    EXPECT_EQ(why, CJpegDecoder::Failure::Open);

    WriteFileBytes(dir.file("empty.jpg"), {});
    WriteFileBytes(dir.file("html.jpg"), {'<', 'h', 't', 'm', 'l', '>'});
    const std::string good = Cjpeg(dir, "good.jpg", 400, 50, "");
    auto bytes = ReadFileBytes(good);
    bytes.resize(120); // cut inside the header
    WriteFileBytes(dir.file("cut-header.jpg"), bytes);
    auto damaged = ReadFileBytes(good);
    for (std::size_t i = 2; i < 40; ++i)
        damaged[i] = 0x00; // the first segment's markers destroyed
    WriteFileBytes(dir.file("damaged.jpg"), damaged);
    for (const char* name : {"empty.jpg", "html.jpg", "cut-header.jpg", "damaged.jpg"}) {
        EXPECT_FALSE(CJpegDecoder::DecodeFile(dir.file(name), &why)) << name;
        EXPECT_EQ(why, CJpegDecoder::Failure::Decode) << name;
    }

    // Cut inside the picture data: the library fills the rest and reports only a warning.
    auto partial = ReadFileBytes(good);
    partial.resize(partial.size() / 2);
    WriteFileBytes(dir.file("cut-data.jpg"), partial);
    auto picture = CJpegDecoder::DecodeFile(dir.file("cut-data.jpg"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 400);
}

TEST(JpegDecoder, PicturesBeyond2048PixelsASideAreRefusedAsDamaged)
{
    TempDir dir;
    const struct
    {
        int w, h;
        bool decoded;
    } cases[] = {{2048, 8, true}, {8, 2048, true}, {2049, 8, false}, {8, 2049, false}};
    for (const auto& c : cases) {
        const std::string name = std::to_string(c.w) + "x" + std::to_string(c.h) + ".jpg";
        const std::string path = Cjpeg(dir, name, c.w, c.h, "");
        CJpegDecoder::Failure why = CJpegDecoder::Failure::None;
        EXPECT_EQ(CJpegDecoder::DecodeFile(path, &why).has_value(), c.decoded) << name;
        EXPECT_EQ(CJpegDecoder::DecodeForDisplay(path).has_value(), c.decoded) << name;
        EXPECT_EQ(why, c.decoded ? CJpegDecoder::Failure::None : CJpegDecoder::Failure::Decode) << name;
    }
}

TEST(JpegDecoder, BgrFlipAndPaddedRows)
{
    // Two pixels wide, three rows: (r,g,b) values numbered so every byte is distinct.
    std::vector<std::uint8_t> px = {1, 2, 3, 4, 5, 6, 11, 12, 13, 14, 15, 16, 21, 22, 23, 24, 25, 26};
    CJpegDecoder::RgbToBgr(px.data(), 2, 3);
    EXPECT_EQ(px,
              (std::vector<std::uint8_t>{3, 2, 1, 6, 5, 4, 13, 12, 11, 16, 15, 14, 23, 22, 21, 26, 25, 24}));
    CJpegDecoder::FlipVertically(px.data(), 6, 3);
    EXPECT_EQ(px,
              (std::vector<std::uint8_t>{23, 22, 21, 26, 25, 24, 13, 12, 11, 16, 15, 14, 3, 2, 1, 6, 5, 4}));
    std::vector<std::uint8_t> four = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    CJpegDecoder::FlipVertically(four.data(), 3, 4);
    EXPECT_EQ(four, (std::vector<std::uint8_t>{4, 4, 4, 3, 3, 3, 2, 2, 2, 1, 1, 1}));

    std::size_t rowSize = 0;
    auto padded = CJpegDecoder::DwordAlignedCopy(px.data(), 2, 3, rowSize);
    EXPECT_EQ(rowSize, 8u); // 6 bytes of pixels padded to 8
    EXPECT_EQ(Copy(padded.get(), 24),
              (std::vector<std::uint8_t>{23, 22, 21, 26, 25, 24, 0, 0, 13, 12, 11, 16,
                                         15, 14, 0,  0,  3,  2,  1, 6, 5,  4,  0,  0}));
    const std::vector<std::uint8_t> one = {9, 8, 7};
    auto single = CJpegDecoder::DwordAlignedCopy(one.data(), 1, 1, rowSize);
    EXPECT_EQ(rowSize, 4u);
    EXPECT_EQ(Copy(single.get(), 4), (std::vector<std::uint8_t>{9, 8, 7, 0}));
    std::vector<std::uint8_t> wide(400 * 3, 1);
    CJpegDecoder::DwordAlignedCopy(wide.data(), 400, 1, rowSize);
    EXPECT_EQ(rowSize, 1200u); // already a multiple of four
}

TEST(JpegDecoder, DisplayDecodeEqualsTheFourSteps)
{
    TempDir dir;
    const std::vector<std::string> files = {
        Cjpeg(dir, "odd.jpg", 201, 41, ""), Cjpeg(dir, "grey.jpg", 203, 7, "-grayscale"),
        FourComponentJpeg(dir, "cmyk.jpg", JCS_CMYK, true, 37, 9), Cjpeg(dir, "banner.jpg", 400, 50, "")};
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        auto rgb = CJpegDecoder::DecodeFile(path);
        auto display = CJpegDecoder::DecodeForDisplay(path);
        ASSERT_TRUE(rgb && display);
        ASSERT_EQ(display->width, rgb->width);
        ASSERT_EQ(display->height, rgb->height);
        CJpegDecoder::RgbToBgr(rgb->pixels.get(), rgb->width, rgb->height);
        CJpegDecoder::FlipVertically(rgb->pixels.get(), static_cast<std::size_t>(rgb->width) * 3,
                                     rgb->height);
        std::size_t rowSize = 0;
        auto padded = CJpegDecoder::DwordAlignedCopy(rgb->pixels.get(), rgb->width, rgb->height, rowSize);
        ASSERT_EQ(display->rowSize, rowSize);
        const std::size_t n = rowSize * static_cast<std::size_t>(rgb->height);
        EXPECT_EQ(Copy(display->pixels.get(), n), Copy(padded.get(), n));
    }
    EXPECT_FALSE(CJpegDecoder::DecodeForDisplay(dir.file("missing.jpg")));
}
