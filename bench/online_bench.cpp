// Decoding a 400 x 50 banner and preparing it for display (RGB to BGR, flip, one padded copy as a
// paint makes it), beside libjpeg's own decode of the same file in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

#include "online/JpegDecoder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 400;
constexpr int kHeight = 50;

// A banner-like picture: gradients and stripes, so the coder has real detail to carry.
void WriteBanner(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 85, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(kWidth * 3);
    while (c.next_scanline < c.image_height) {
        const int y = static_cast<int>(c.next_scanline);
        for (int x = 0; x < kWidth; ++x) {
            row[x * 3] = static_cast<JSAMPLE>(x * 255 / kWidth);
            row[x * 3 + 1] = static_cast<JSAMPLE>(y * 5);
            row[x * 3 + 2] = static_cast<JSAMPLE>(((x / 8 + y / 8) % 2) * 200);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(file);
}

// The library's own way: open, decode to RGB a row at a time into one buffer, close.
bool LibjpegDecode(const std::string& path, std::vector<unsigned char>& out)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, file);
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    const std::size_t stride = d.output_width * 3;
    out.resize(stride * d.output_height);
    while (d.output_scanline < d.output_height) {
        JSAMPROW rows[1] = {out.data() + stride * d.output_scanline};
        jpeg_read_scanlines(&d, rows, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    std::fclose(file);
    return true;
}

// What the banner window does on an advance.
bool OursForDisplay(const std::string& path)
{
    return CJpegDecoder::DecodeForDisplay(path).has_value();
}

// The same result in four steps: decode to RGB, swap to BGR, flip, padded copy.
bool OursInSteps(const std::string& path)
{
    auto picture = CJpegDecoder::DecodeFile(path);
    if (!picture)
        return false;
    CJpegDecoder::RgbToBgr(picture->pixels.get(), picture->width, picture->height);
    CJpegDecoder::FlipVertically(picture->pixels.get(), static_cast<std::size_t>(picture->width) * 3,
                                 picture->height);
    std::size_t rowSize = 0;
    return CJpegDecoder::DwordAlignedCopy(picture->pixels.get(), picture->width, picture->height, rowSize) !=
           nullptr;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main()
{
    char dirTemplate[] = "/tmp/brivantel-bench-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    const std::string path = dir + "/banner.jpg";
    WriteBanner(path);

    constexpr int kRounds = 2000;
    std::vector<double> library, display, steps;
    std::vector<unsigned char> buffer;
    // Interleaved, so all three see the same cache and frequency conditions.
    for (int i = 0; i < kRounds; ++i) {
        const auto t0 = Clock::now();
        if (!LibjpegDecode(path, buffer))
            return 1;
        const auto t1 = Clock::now();
        if (!OursForDisplay(path))
            return 1;
        const auto t2 = Clock::now();
        if (!OursInSteps(path))
            return 1;
        const auto t3 = Clock::now();
        library.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        display.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
        steps.push_back(std::chrono::duration<double, std::micro>(t3 - t2).count());
    }
    const double lib = Median(library);
    std::printf("banner %dx%d, %d rounds (median)\n", kWidth, kHeight, kRounds);
    std::printf("  libjpeg decode to RGB:                          %8.1f us\n", lib);
    std::printf(
        "  CJpegDecoder::DecodeForDisplay (BGR, flipped, padded): %8.1f us  ratio %.2f (target <= 1.20)\n",
        Median(display), Median(display) / lib);
    std::printf("  DecodeFile + RgbToBgr + FlipVertically + DwordAlignedCopy: %8.1f us  ratio %.2f\n",
                Median(steps), Median(steps) / lib);
    std::remove(path.c_str());
    ::rmdir(dir.c_str());
    return 0;
}
