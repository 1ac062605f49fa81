#include "online/JpegDecoder.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

// jpeglib.h needs FILE and size_t before it.
#include <jpeglib.h>

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back into
// DecodeStream. Nothing between the setjmp and the jump owns a C++ object with a destructor, so
// the jump skips no clean-up.
struct ErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

extern "C" void ExitByJump(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

// Damaged data is reported through warnings; the picture simply fails or shows what was read.
extern "C" void NoOutput(j_common_ptr) {}

enum DecodeStatus
{
    kDecoded,
    kDecodeError,
    kNoMemory
};

struct DecodeResult
{
    std::uint8_t* pixels;
    int width;
    int height;
    std::size_t rowSize;
};

// How the pixels are laid out: RGB rows top-down without gaps, or ready for display as a
// bottom-up 24-bit bitmap (BGR, rows padded to four bytes).
enum Layout
{
    kRgbTopDown,
    kBgrBottomUp
};

std::uint8_t Scale(unsigned a, unsigned b)
{
    return static_cast<std::uint8_t>((a * b + 127) / 255);
}

void Put(std::uint8_t* out, unsigned r, unsigned g, unsigned b, bool bgr)
{
    out[0] = static_cast<std::uint8_t>(bgr ? b : r);
    out[1] = static_cast<std::uint8_t>(g);
    out[2] = static_cast<std::uint8_t>(bgr ? r : b);
}

// One row of samples into pixel triplets. CMYK from Adobe's encoders (the only ones that write
// CMYK JPEGs in practice, marked by the Adobe segment) is stored inverted: the sample is 255 - ink.
void ConvertRow(const JSAMPLE* in, std::uint8_t* out, JDIMENSION width, int components, bool invertedCmyk,
                bool bgr)
{
    if (components == 3) {
        for (JDIMENSION x = 0; x < width; ++x, in += 3, out += 3)
            Put(out, in[0], in[1], in[2], bgr);
    } else if (components == 1) {
        for (JDIMENSION x = 0; x < width; ++x, out += 3)
            out[0] = out[1] = out[2] = in[x];
    } else if (components == 4) {
        for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
            const unsigned c = invertedCmyk ? in[0] : 255u - in[0];
            const unsigned m = invertedCmyk ? in[1] : 255u - in[1];
            const unsigned y = invertedCmyk ? in[2] : 255u - in[2];
            const unsigned k = invertedCmyk ? in[3] : 255u - in[3];
            Put(out, Scale(c, k), Scale(m, k), Scale(y, k), bgr);
        }
    }
}

// The colour space libjpeg should deliver. libjpeg-turbo can deliver BGR itself, from colour and
// grey pictures alike, which spares a pass over the pixels.
J_COLOR_SPACE OutputSpace(J_COLOR_SPACE in, Layout layout)
{
    if (in == JCS_CMYK || in == JCS_YCCK)
        return JCS_CMYK;
#ifdef JCS_EXTENSIONS
    if (layout == kBgrBottomUp)
        return JCS_EXT_BGR;
#endif
    (void)layout;
    return in == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
}

// C-style on purpose: see ErrorManager. Fills result with a malloc'ed pixel buffer.
DecodeStatus DecodeStream(std::FILE* file, JDIMENSION maxSide, Layout layout, DecodeResult* result)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    std::uint8_t* volatile pixels = nullptr;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ExitByJump;
    err.pub.output_message = NoOutput;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(pixels);
        return kDecodeError;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width > maxSide || cinfo.image_height > maxSide) {
        jpeg_destroy_decompress(&cinfo);
        return kDecodeError;
    }
    cinfo.out_color_space = OutputSpace(cinfo.jpeg_color_space, layout);
    jpeg_start_decompress(&cinfo);
    const JDIMENSION width = cinfo.output_width;
    const JDIMENSION height = cinfo.output_height;
    const int components = cinfo.output_components;
    const bool inverted = cinfo.saw_Adobe_marker != 0;
    const bool bgr = layout == kBgrBottomUp;
    // Three components arrive already in the wanted order (RGB, or BGR from libjpeg-turbo).
    const bool direct = components == 3 && (!bgr || cinfo.out_color_space != JCS_RGB);
    if (width > maxSide || height > maxSide || (components != 1 && components != 3 && components != 4)) {
        jpeg_destroy_decompress(&cinfo);
        return kDecodeError;
    }
    const std::size_t rowSize =
        bgr ? (static_cast<std::size_t>(width) * 24 + 31) / 32 * 4 : static_cast<std::size_t>(width) * 3;
    // The padding of display rows must be zero; calloc gives that.
    pixels =
        static_cast<std::uint8_t*>(bgr ? std::calloc(rowSize * height, 1) : std::malloc(rowSize * height));
    if (!pixels) {
        jpeg_destroy_decompress(&cinfo);
        return kNoMemory;
    }
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                width * static_cast<JDIMENSION>(components), 1);
    while (cinfo.output_scanline < height) {
        const JDIMENSION y = cinfo.output_scanline;
        std::uint8_t* out = pixels + rowSize * (bgr ? height - 1 - y : y);
        JSAMPROW target[1] = {direct ? out : row[0]};
        if (jpeg_read_scanlines(&cinfo, target, 1) != 1)
            break;
        if (!direct)
            ConvertRow(row[0], out, width, components, inverted, bgr);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    result->pixels = pixels;
    result->width = static_cast<int>(width);
    result->height = static_cast<int>(height);
    result->rowSize = rowSize;
    return kDecoded;
}

} // namespace

namespace {

std::optional<DecodeResult> DecodePath(const std::string& path, Layout layout, CJpegDecoder::Failure* failure)
{
    using Failure = CJpegDecoder::Failure;
    Failure dummy = Failure::None;
    Failure& why = failure ? *failure : dummy;
    why = Failure::None;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        why = Failure::Open;
        return std::nullopt;
    }
    DecodeResult result{nullptr, 0, 0, 0};
    const DecodeStatus status = DecodeStream(file, CJpegDecoder::kMaxSide, layout, &result);
    std::fclose(file);
    if (status == kNoMemory) {
        why = Failure::OutOfMemory;
        return std::nullopt;
    }
    if (status != kDecoded) {
        why = Failure::Decode;
        return std::nullopt;
    }
    return result;
}

} // namespace

std::optional<CJpegDecoder::Picture> CJpegDecoder::DecodeFile(const std::string& path, Failure* failure)
{
    const auto result = DecodePath(path, kRgbTopDown, failure);
    if (!result)
        return std::nullopt;
    Picture picture;
    picture.pixels.reset(result->pixels);
    picture.width = result->width;
    picture.height = result->height;
    return picture;
}

std::optional<CJpegDecoder::DisplayPicture> CJpegDecoder::DecodeForDisplay(const std::string& path,
                                                                           Failure* failure)
{
    const auto result = DecodePath(path, kBgrBottomUp, failure);
    if (!result)
        return std::nullopt;
    DisplayPicture picture;
    picture.pixels.reset(result->pixels);
    picture.width = result->width;
    picture.height = result->height;
    picture.rowSize = result->rowSize;
    return picture;
}

void CJpegDecoder::RgbToBgr(std::uint8_t* pixels, int width, int height)
{
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (std::size_t i = 0; i < count; ++i, pixels += 3) {
        const std::uint8_t r = pixels[0];
        pixels[0] = pixels[2];
        pixels[2] = r;
    }
}

void CJpegDecoder::FlipVertically(std::uint8_t* pixels, std::size_t rowBytes, int height)
{
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::uint8_t* a = pixels + rowBytes * static_cast<std::size_t>(top);
        std::uint8_t* b = pixels + rowBytes * static_cast<std::size_t>(bottom);
        std::swap_ranges(a, a + rowBytes, b);
    }
}

CJpegDecoder::Pixels CJpegDecoder::DwordAlignedCopy(const std::uint8_t* pixels, int width, int height,
                                                    std::size_t& rowSize)
{
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    rowSize = (w * 24 + 31) / 32 * 4;
    Pixels copy(static_cast<std::uint8_t*>(std::calloc(rowSize * h == 0 ? 1 : rowSize * h, 1)));
    if (!copy)
        return copy;
    for (std::size_t y = 0; y < h; ++y)
        std::memcpy(copy.get() + y * rowSize, pixels + y * w * 3, w * 3);
    return copy;
}
