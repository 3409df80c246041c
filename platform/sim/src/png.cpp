// Surfaces to and from PNG files: screenshots, and the reference images the image tests compare.
#include <cesim/surface.h>

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace cesim {

namespace {

// Larger than any screen the device models, small enough that a corrupt header cannot make a
// reader allocate gigabytes.
constexpr png_uint_32 kMaxSide = 16384;

// libpng reports an error by jumping back to the setjmp of the call that failed. Every function
// that sets one up below holds nothing that needs a destructor, so the jump skips no cleanup;
// the callers own the structures, files and buffers.
[[noreturn]] void QuietError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void QuietWarning(png_structp, png_const_charp) {}

class File {
public:
    File(const std::string& path, const char* mode) : f_(std::fopen(path.c_str(), mode)) {}
    ~File() {
        if (f_)
            std::fclose(f_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    FILE* get() const { return f_; }
    // Closes now, so that a failed final flush is seen.
    bool Close() {
        const bool ok = f_ && std::fclose(f_) == 0;
        f_ = nullptr;
        return ok;
    }

private:
    FILE* f_;
};

bool WriteImage(png_structp png, png_infop info, FILE* file, png_uint_32 width, png_uint_32 height,
                png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// Reads the header and sets up conversion of every colour type to 8-bit RGB.
bool ReadHeader(png_structp png, png_infop info, FILE* file, png_uint_32* width,
                png_uint_32* height) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    png_set_expand(png); // palette to RGB, gray below 8 bits to 8, transparency to alpha
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    return png_get_bit_depth(png, info) == 8 && png_get_channels(png, info) == 3;
}

bool ReadImage(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool WritePng(const Surface& surface, const std::string& path) {
    if (surface.width <= 0 || surface.height <= 0 ||
        surface.pixels.size() != size_t(surface.width) * surface.height)
        return false;
    const size_t stride = size_t(surface.width) * 3;
    std::vector<png_byte> bytes(stride * surface.height);
    std::vector<png_bytep> rows(surface.height);
    for (int y = 0; y < surface.height; ++y) {
        png_bytep row = rows[y] = &bytes[y * stride];
        for (int x = 0; x < surface.width; ++x) {
            const uint32_t p = surface.at(x, y);
            row[x * 3] = png_byte(p >> 16);
            row[x * 3 + 1] = png_byte(p >> 8);
            row[x * 3 + 2] = png_byte(p);
        }
    }

    File file(path, "wb");
    if (!file.get())
        return false;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = info && WriteImage(png, info, file.get(), png_uint_32(surface.width),
                                            png_uint_32(surface.height), rows.data());
    png_destroy_write_struct(&png, &info);
    return file.Close() && written;
}

bool ReadPng(const std::string& path, Surface& surface) {
    File file(path, "rb");
    if (!file.get())
        return false;
    png_byte signature[8];
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0)
        return false;

    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_uint_32 width = 0, height = 0;
    bool ok = info && ReadHeader(png, info, file.get(), &width, &height) && width > 0 &&
              height > 0 && width <= kMaxSide && height <= kMaxSide;
    std::vector<png_byte> bytes;
    if (ok) {
        const size_t stride = size_t(width) * 3;
        bytes.resize(stride * height);
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = &bytes[y * stride];
        ok = ReadImage(png, info, rows.data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok)
        return false;

    Surface result(static_cast<int>(width), static_cast<int>(height));
    for (size_t i = 0; i < result.pixels.size(); ++i)
        result.pixels[i] =
            uint32_t(bytes[i * 3]) << 16 | uint32_t(bytes[i * 3 + 1]) << 8 | bytes[i * 3 + 2];
    surface = std::move(result);
    return true;
}

} // namespace cesim
