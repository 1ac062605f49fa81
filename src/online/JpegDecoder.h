#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

// Decodes banner pictures with libjpeg into 24-bit pixel buffers and prepares them for display.
class CJpegDecoder
{
public:
    struct FreeBytes
    {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    using Pixels = std::unique_ptr<std::uint8_t[], FreeBytes>;

    struct Picture
    {
        Pixels pixels; // width x height x 3 bytes, rows top-down, packed without gaps
        int width = 0;
        int height = 0;
    };

    enum class Failure
    {
        None,
        Open,
        Decode,
        OutOfMemory
    };

    // Red, green, blue per pixel. Grey pictures become grey RGB; CMYK and YCCK pictures (Adobe's
    // inverted CMYK included) are converted to RGB. Nothing on any failure; failure says which.
    static std::optional<Picture> DecodeFile(const std::string& path, Failure* failure = nullptr);

    // A picture ready for the display: blue, green, red per pixel, rows bottom-up, each row padded
    // to a multiple of four bytes (rowSize) with zeros. The same bytes as DecodeFile followed by
    // RgbToBgr, FlipVertically and DwordAlignedCopy, in one pass.
    struct DisplayPicture
    {
        Pixels pixels;
        int width = 0;
        int height = 0;
        std::size_t rowSize = 0;
    };
    static std::optional<DisplayPicture> DecodeForDisplay(const std::string& path,
                                                          Failure* failure = nullptr);

    // Swaps the first and third byte of every pixel in place.
    static void RgbToBgr(std::uint8_t* pixels, int width, int height);
    // Swaps row i with row height-1-i: the display takes rows bottom-up.
    static void FlipVertically(std::uint8_t* pixels, std::size_t rowBytes, int height);
    // A copy whose rows are padded to ((width x 24 + 31) / 32) x 4 bytes; rowSize receives that.
    static Pixels DwordAlignedCopy(const std::uint8_t* pixels, int width, int height, std::size_t& rowSize);

    // Pictures wider or higher than this are refused as damaged before any allocation: a banner is
    // 400 x 50, and a huge one would cost hundreds of megabytes at every rotation.
    static constexpr int kMaxSide = 2048;
};
