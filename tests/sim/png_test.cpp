// Screenshots and reference images: surfaces written as PNG read back the same, and the reader
// takes the colour types other tools write.
// gtest leaves out <sys/stat.h> when it sees _WIN32_WCE, which the simulated device defines.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <cesim/surface.h>

namespace {

std::string TempPath(const std::string& name) {
    return testing::TempDir() + "vexo_png_test_" + name;
}

std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

cesim::Surface Pattern(int width, int height) {
    cesim::Surface s(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            s.set(x, y,
                  uint32_t(x * 37 % 256) << 16 | uint32_t(y * 71 % 256) << 8 |
                      uint32_t((x + y) * 13 % 256));
    s.set(0, 0, 0x000000);
    s.set(width - 1, 0, 0xFFFFFF);
    return s;
}

TEST(Png, WrittenSurfacesReadBackPixelForPixel) {
    for (const auto& size : {std::pair<int, int>{1, 1}, {7, 5}, {240, 320}}) {
        const cesim::Surface original = Pattern(size.first, size.second);
        const std::string path = TempPath("round_trip.png");
        ASSERT_TRUE(cesim::WritePng(original, path));
        cesim::Surface read;
        ASSERT_TRUE(cesim::ReadPng(path, read));
        EXPECT_EQ(read.width, original.width);
        EXPECT_EQ(read.height, original.height);
        EXPECT_EQ(read.pixels, original.pixels);

        // 8-bit RGB: the header's bit depth and colour type.
        const std::vector<uint8_t> file = FileBytes(path);
        ASSERT_GT(file.size(), 26u);
        EXPECT_EQ(file[24], 8);
        EXPECT_EQ(file[25], 2);
        std::remove(path.c_str());
    }
}

TEST(Png, ReadsGrayPaletteAndAlphaImagesAsRgb) {
    // Written by libpng's own simple writer, as an image editor would save them.
    const std::vector<png_byte> gray = {0x00, 0x40, 0xFF, 0x80};
    const std::vector<png_byte> rgba = {0x10, 0x20, 0x30, 0xFF, 0x40, 0x50, 0x60, 0x00,
                                        0x70, 0x80, 0x90, 0x80, 0xA0, 0xB0, 0xC0, 0x01};
    const std::vector<png_byte> indices = {2, 0, 1, 2};
    const std::vector<png_byte> colormap = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF};
    const struct {
        const char* name;
        png_uint_32 format;
        const std::vector<png_byte>& data;
        const png_byte* colormap;
        std::vector<uint32_t> expected;
    } cases[] = {
        {"gray", PNG_FORMAT_GRAY, gray, nullptr, {0x000000, 0x404040, 0xFFFFFF, 0x808080}},
        {"rgba", PNG_FORMAT_RGBA, rgba, nullptr, {0x102030, 0x405060, 0x708090, 0xA0B0C0}},
        {"palette",
         PNG_FORMAT_RGB_COLORMAP,
         indices,
         colormap.data(),
         {0x0000FF, 0xFF0000, 0x00FF00, 0x0000FF}},
    };
    for (const auto& c : cases) {
        png_image image = {};
        image.version = PNG_IMAGE_VERSION;
        image.width = 2;
        image.height = 2;
        image.format = c.format;
        image.colormap_entries = c.colormap ? 3 : 0;
        const std::string path = TempPath(std::string(c.name) + ".png");
        ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, c.data.data(), 0, c.colormap))
            << c.name << ": " << image.message;
        cesim::Surface read;
        ASSERT_TRUE(cesim::ReadPng(path, read)) << c.name;
        EXPECT_EQ(read.width, 2) << c.name;
        EXPECT_EQ(read.height, 2) << c.name;
        EXPECT_EQ(read.pixels, c.expected) << c.name;
        std::remove(path.c_str());
    }
}

TEST(Png, ReadingWhatIsNotAPngFailsAndLeavesTheSurface) {
    const std::string good = TempPath("good.png");
    ASSERT_TRUE(cesim::WritePng(Pattern(16, 16), good));
    const std::vector<uint8_t> png = FileBytes(good);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"text", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '\n'}},
        {"empty", {}},
        {"signature only", std::vector<uint8_t>(png.begin(), png.begin() + 8)},
        {"cut in the header", std::vector<uint8_t>(png.begin(), png.begin() + 20)},
        {"cut in the pixels", std::vector<uint8_t>(png.begin(), png.end() - 30)},
    };
    for (const auto& c : cases) {
        const std::string path = TempPath(std::string("bad_") + c.name);
        WriteBytes(path, c.bytes);
        cesim::Surface surface(3, 1, 0x123456);
        EXPECT_FALSE(cesim::ReadPng(path, surface)) << c.name;
        EXPECT_EQ(surface.width, 3) << c.name;
        EXPECT_EQ(surface.pixels, std::vector<uint32_t>(3, 0x123456)) << c.name;
        std::remove(path.c_str());
    }
    cesim::Surface surface;
    EXPECT_FALSE(cesim::ReadPng(TempPath("no_such_file.png"), surface));
    std::remove(good.c_str());
}

TEST(Png, WritingFailsForAnEmptySurfaceOrAnUnwritablePath) {
    EXPECT_FALSE(cesim::WritePng(cesim::Surface(), TempPath("empty.png")));
    EXPECT_FALSE(cesim::WritePng(Pattern(2, 2), TempPath("no_such_dir/x.png")));
}

} // namespace
