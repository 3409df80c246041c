// The program's compiled resources and the device's reading of them: strings, icons, the
// high-resolution marker, and sections that are not what they claim to be.
// gtest leaves out <sys/stat.h> when it sees _WIN32_WCE, which the simulated device defines.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/sim/src/resource_section.h"

#include <cesim/device.h>

#include "platform/sim/src/icons.h"

namespace {

using cesim::IconDirEntry;
using cesim::IconImage;
using cesim::ResourceData;
using cesim::ResourceId;

const std::vector<uint8_t>& Program() {
    static const std::vector<uint8_t> section = cesim::ProgramResourceSection();
    return section;
}

std::string Ascii(const std::u16string& s) {
    std::string out;
    for (char16_t c : s)
        out += c < 128 ? char(c) : '?';
    return out;
}

std::u16string Load(const std::vector<uint8_t>& section, UINT id, int capacity, int* result,
                    DWORD* error = nullptr) {
    std::vector<WCHAR> buffer(capacity + 1, L'#');
    DWORD ignored = 0;
    *result = cesim::LoadStringFromSection(section, id, buffer.data(), capacity,
                                           error ? error : &ignored);
    std::u16string text;
    for (int i = 0; i < capacity && buffer[i]; ++i)
        text += char16_t(buffer[i]);
    EXPECT_EQ(buffer[capacity], L'#') << "wrote past the capacity";
    return text;
}

const struct {
    UINT id;
    const char16_t* text;
} kStrings[] = {
    {40004, u"Are you sure to soft-reset the device?"},
    {40005, u"Vexo"},
    {40006, u"'%s' does not respond.\nKill forcibly?"},
    {40007, u"&Minimize"},
    {40008, u"Close &Background Tasks"},
    {40009, u"Close &All Tasks"},
    {40010, u"Display O&ff"},
    {40011, u"Software &Reset"},
    {40012, u"&Landscape Left"},
    {40013, u"La&ndscape Right"},
    {40014, u"Po&wer Off"},
    {40015, u"&Settings..."},
    {40016, u"E&xit"},
    {40017, u"Desktop"},
    {40018, u"WiFi On"},
    {40019, u"WiFi Off"},
    {40020, u"Bluetooth On"},
    {40021, u"Bluetooth Off"},
};

const int kIconGroups[] = {101, 104, 108, 109, 110, 111, 112, 113, 128, 129, 130, 131};

TEST(ProgramStrings, EveryIdLoadsItsEnglishText) {
    for (const auto& s : kStrings) {
        int n = 0;
        const std::u16string text = Load(Program(), s.id, 256, &n);
        EXPECT_EQ(Ascii(text), Ascii(s.text)) << s.id;
        EXPECT_EQ(n, int(std::u16string(s.text).size())) << s.id;
    }
}

TEST(ProgramStrings, LiveInTwoUsEnglishBlocks) {
    const auto entries = cesim::ParseResourceSection(Program());
    ASSERT_TRUE(entries);
    std::vector<int> blocks;
    for (const auto& e : *entries)
        if (e.type.Matches(ResourceId::Ordinal(6))) {
            EXPECT_EQ(e.language, 1033);
            blocks.push_back(e.name.ordinal);
        }
    EXPECT_EQ(blocks, (std::vector<int>{2501, 2502}));
}

TEST(ProgramStrings, IdsOutsideTheTableAreMissing) {
    // 40000 shares a block with the table, 39999 and 40032 fall in blocks that do not exist.
    for (UINT id : {40000u, 40003u, 40022u, 40031u, 39999u, 40032u, 0u, 0x10000u + 40004u}) {
        int n = -1;
        DWORD error = 0;
        EXPECT_EQ(Ascii(Load(Program(), id, 16, &n, &error)), "") << id;
        EXPECT_EQ(n, 0) << id;
        EXPECT_EQ(error, DWORD(ERROR_RESOURCE_NAME_NOT_FOUND)) << id;
    }
}

TEST(ProgramStrings, CopiesAtMostCapacityLessOneAndTerminates) {
    int n = 0;
    EXPECT_EQ(Ascii(Load(Program(), 40004, 5, &n)), "Are ");
    EXPECT_EQ(n, 4);
    EXPECT_EQ(Ascii(Load(Program(), 40005, 5, &n)), "Vexo"); // exactly fits
    EXPECT_EQ(n, 4);
    EXPECT_EQ(Ascii(Load(Program(), 40005, 4, &n)), "Vex");
    EXPECT_EQ(n, 3);
    EXPECT_EQ(Ascii(Load(Program(), 40005, 1, &n)), "");
    EXPECT_EQ(n, 0);
}

TEST(ProgramStrings, CapacityZeroHandsOutTheResourceTextItself) {
    LPWSTR text = nullptr;
    DWORD error = 0;
    const int n =
        cesim::LoadStringFromSection(Program(), 40019, reinterpret_cast<LPWSTR>(&text), 0, &error);
    ASSERT_EQ(n, 8);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text);
    EXPECT_GE(bytes, Program().data());
    EXPECT_LE(bytes + 2 * n, Program().data() + Program().size());
    EXPECT_EQ(Ascii(std::u16string(reinterpret_cast<const char16_t*>(text), n)), "WiFi Off");

    text = nullptr;
    EXPECT_EQ(
        cesim::LoadStringFromSection(Program(), 40022, reinterpret_cast<LPWSTR>(&text), 0, &error),
        0);
    EXPECT_EQ(text, nullptr);
}

TEST(ProgramStrings, RejectsNoBufferAndNegativeCapacity) {
    WCHAR buffer[8];
    DWORD error = 0;
    EXPECT_EQ(cesim::LoadStringFromSection(Program(), 40005, nullptr, 8, &error), 0);
    EXPECT_EQ(error, DWORD(ERROR_INVALID_PARAMETER));
    error = 0;
    EXPECT_EQ(cesim::LoadStringFromSection(Program(), 40005, buffer, -1, &error), 0);
    EXPECT_EQ(error, DWORD(ERROR_INVALID_PARAMETER));
}

TEST(ProgramIcons, EveryGroupHolds16And32AtFourBitsWithAMask) {
    // What draws alike from CE 4.2 on: a 16-colour palette and an AND mask, no alpha channel.
    for (int id : kIconGroups) {
        const auto group = cesim::FindResourceData(Program(), ResourceId::Ordinal(14),
                                                   ResourceId::Ordinal(uint16_t(id)), 1033);
        ASSERT_TRUE(group) << id;
        const auto entries = cesim::ParseIconGroup(*group);
        ASSERT_TRUE(entries) << id;
        std::vector<int> sizes;
        for (const IconDirEntry& e : *entries) {
            EXPECT_EQ(e.width, e.height) << id;
            EXPECT_EQ(e.bitCount, 4) << id;
            // Header, palette, 4-bit rows, mask rows: nothing more.
            const uint32_t rows = uint32_t(e.width) * (e.width / 2 + (e.width + 31) / 32 * 4);
            EXPECT_EQ(e.bytes, 40 + 16 * 4 + rows) << id;
            sizes.push_back(e.width);
        }
        EXPECT_EQ(sizes, (std::vector<int>{16, 32})) << id;
    }
}

TEST(ProgramIcons, EveryGroupLoadsAtTheAskedSizeWithAShape) {
    for (int id : kIconGroups)
        for (int size : {16, 24, 32, 48}) {
            DWORD error = 0;
            const auto icon = cesim::LoadIconFromSection(
                Program(), ResourceId::Ordinal(uint16_t(id)), size, size, 0, &error);
            ASSERT_TRUE(icon) << id << " at " << size << ", error " << error;
            EXPECT_EQ(icon->color.width, size);
            EXPECT_EQ(icon->color.height, size);
            ASSERT_EQ(icon->opaque.size(), size_t(size * size));
            size_t covered = 0, inverting = 0;
            for (size_t i = 0; i < icon->opaque.size(); ++i) {
                covered += icon->opaque[i];
                // Colour under the mask would be XORed onto whatever lies behind the icon.
                inverting += !icon->opaque[i] && icon->color.pixels[i] != 0;
            }
            // A picture, not an empty or a solid square, over an untouched background.
            EXPECT_GT(covered, icon->opaque.size() / 8) << id << " at " << size;
            EXPECT_LT(covered, icon->opaque.size()) << id << " at " << size;
            EXPECT_EQ(inverting, 0u) << id << " at " << size;
            EXPECT_FALSE(icon->blended) << id << " at " << size;
        }
}

TEST(ProgramIcons, ZeroSizeMeansTheFirstImageOrTheDefaultSize) {
    DWORD error = 0;
    const auto actual =
        cesim::LoadIconFromSection(Program(), ResourceId::Ordinal(104), 0, 0, 0, &error);
    ASSERT_TRUE(actual);
    EXPECT_EQ(actual->color.width, 16);
    const auto byDefault = cesim::LoadIconFromSection(Program(), ResourceId::Ordinal(104), 0, 0,
                                                      LR_DEFAULTSIZE, &error);
    ASSERT_TRUE(byDefault);
    EXPECT_EQ(byDefault->color.width, cesim::kDefaultIconSize);
    const auto wide =
        cesim::LoadIconFromSection(Program(), ResourceId::Ordinal(104), 20, 0, 0, &error);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->color.width, 20);
    EXPECT_EQ(wide->color.height, 16);
}

TEST(ProgramIcons, MissingNamesAndBadSizesFail) {
    const struct {
        ResourceId name;
        int cx;
        DWORD error;
    } cases[] = {
        {ResourceId::Ordinal(105), 16, ERROR_RESOURCE_NAME_NOT_FOUND},
        {ResourceId::Named(u"CLOSE"), 16, ERROR_RESOURCE_NAME_NOT_FOUND},
        {ResourceId::Ordinal(104), -1, ERROR_INVALID_PARAMETER},
        {ResourceId::Ordinal(104), cesim::kMaxIconSize + 1, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        DWORD error = 0;
        EXPECT_FALSE(cesim::LoadIconFromSection(Program(), c.name, c.cx, 16, 0, &error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(ProgramResources, DeclaresItselfHighResolutionAware) {
    const auto data = cesim::FindResourceData(Program(), ResourceId::Named(u"CEUX"),
                                              ResourceId::Named(u"HI_RES_AWARE"), 1033);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::vector<uint8_t>(data->data, data->data + data->size),
              (std::vector<uint8_t>{1, 0}));
    // Names fold case, as FindResource's do.
    EXPECT_TRUE(cesim::FindResourceData(Program(), ResourceId::FromPointer(L"ceux"),
                                        ResourceId::FromPointer(L"Hi_Res_Aware")));
}

// ---- sections built here ------------------------------------------------------------------

void Put16(std::vector<uint8_t>& v, unsigned x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

// A .res in the layout the resource compiler writes.
struct Section {
    std::vector<uint8_t> bytes;

    // The leading empty entry: no data, a 32-byte header, type and name ordinal 0.
    Section() : bytes(32, 0) {
        bytes[4] = 32;
        bytes[8] = bytes[9] = bytes[12] = bytes[13] = 0xFF;
    }
    Section& Add(const ResourceId& type, const ResourceId& name, uint16_t language,
                 const std::vector<uint8_t>& data) {
        std::vector<uint8_t> ids;
        for (const ResourceId* id : {&type, &name}) {
            if (id->isOrdinal) {
                Put16(ids, 0xFFFF);
                Put16(ids, id->ordinal);
            } else {
                for (char16_t c : id->name)
                    Put16(ids, c);
                Put16(ids, 0);
            }
        }
        while (ids.size() % 4)
            ids.push_back(0);
        Put32(bytes, uint32_t(data.size()));
        Put32(bytes, uint32_t(8 + ids.size() + 16));
        bytes.insert(bytes.end(), ids.begin(), ids.end());
        Put32(bytes, 0);
        Put16(bytes, 0x1030);
        Put16(bytes, language);
        Put32(bytes, 0);
        Put32(bytes, 0);
        bytes.insert(bytes.end(), data.begin(), data.end());
        while (bytes.size() % 4)
            bytes.push_back(0);
        return *this;
    }
};

std::vector<uint8_t> Block(const std::vector<std::u16string>& strings) {
    std::vector<uint8_t> v;
    for (const auto& s : strings) {
        Put16(v, unsigned(s.size()));
        for (char16_t c : s)
            Put16(v, c);
    }
    return v;
}

TEST(SectionLookup, PrefersUsEnglishElseTheFirstLanguage) {
    Section s;
    s.Add(ResourceId::Ordinal(6), ResourceId::Ordinal(1), 1031, Block({u"", u"Ende"}))
        .Add(ResourceId::Ordinal(6), ResourceId::Ordinal(1), 1033, Block({u"", u"End"}))
        .Add(ResourceId::Ordinal(6), ResourceId::Ordinal(2), 1036, Block({u"Fin"}))
        .Add(ResourceId::Ordinal(6), ResourceId::Ordinal(2), 1031, Block({u"Schluss"}));
    int n = 0;
    EXPECT_EQ(Ascii(Load(s.bytes, 1, 16, &n)), "End");
    EXPECT_EQ(Ascii(Load(s.bytes, 16, 16, &n)), "Fin");
    const auto german =
        cesim::FindResourceData(s.bytes, ResourceId::Ordinal(6), ResourceId::Ordinal(2), 1031);
    ASSERT_TRUE(german);
    EXPECT_EQ(german->data[0], 7); // the length of "Schluss"
    DWORD error = 0;
    EXPECT_FALSE(cesim::FindResourceData(s.bytes, ResourceId::Ordinal(6), ResourceId::Ordinal(2),
                                         1033, &error));
    EXPECT_EQ(error, 1815u);
    EXPECT_FALSE(cesim::FindResourceData(s.bytes, ResourceId::Ordinal(3), ResourceId::Ordinal(2),
                                         std::nullopt, &error));
    EXPECT_EQ(error, DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

TEST(SectionLookup, NamesAndOrdinalsFromPointers) {
    EXPECT_TRUE(ResourceId::FromPointer(MAKEINTRESOURCE(104)).Matches(ResourceId::Ordinal(104)));
    EXPECT_TRUE(ResourceId::FromPointer(L"#104").Matches(ResourceId::Ordinal(104)));
    EXPECT_TRUE(ResourceId::FromPointer(L"#99999").Matches(ResourceId::Named(u"#99999")));
    EXPECT_TRUE(ResourceId::FromPointer(L"#1x").Matches(ResourceId::Named(u"#1X")));
    EXPECT_FALSE(ResourceId::Named(u"104").Matches(ResourceId::Ordinal(104)));
    EXPECT_FALSE(ResourceId::Named(u"CLOSE").Matches(ResourceId::Named(u"CLOSER")));
}

TEST(SectionLookup, AShortStringBlockLacksOnlyItsLaterStrings) {
    std::vector<uint8_t> block = Block({u"zero", u"one"});
    Put16(block, 40); // a third string that claims more than the block holds
    Put16(block, 'x');
    const std::vector<uint8_t> bytes =
        Section().Add(ResourceId::Ordinal(6), ResourceId::Ordinal(1), 1033, block).bytes;
    int n = 0;
    EXPECT_EQ(Ascii(Load(bytes, 1, 16, &n)), "one");
    for (UINT id : {2u, 3u, 15u}) {
        DWORD error = 0;
        EXPECT_EQ(Ascii(Load(bytes, id, 16, &n, &error)), "") << id;
        EXPECT_EQ(error, DWORD(ERROR_RESOURCE_NAME_NOT_FOUND)) << id;
    }
}

TEST(SectionParsing, MalformedSectionsHoldNothing) {
    const std::vector<uint8_t> good =
        Section().Add(ResourceId::Named(u"AB"), ResourceId::Ordinal(1), 1033, {1, 2, 3, 4}).bytes;
    ASSERT_EQ(good.size(), 32u + 36u + 4u);
    ASSERT_TRUE(cesim::ParseResourceSection(good));
    auto with = [&](size_t at, std::vector<uint8_t> patch) {
        std::vector<uint8_t> v = good;
        std::copy(patch.begin(), patch.end(), v.begin() + at);
        return v;
    };
    auto cut = [&](size_t size) { return std::vector<uint8_t>(good.begin(), good.begin() + size); };
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"no leading entry", std::vector<uint8_t>(good.begin() + 32, good.end())},
        {"header cut after its sizes", cut(32 + 8)},
        {"header cut in its trailer", cut(32 + 24)},
        {"data cut short", cut(32 + 38)},
        {"data size past the end", with(32, {5, 0, 0, 0})},
        {"header size past the end", with(36, {44, 0, 0, 0})},
        {"name's ordinal outside the header", with(36, {16, 0, 0, 0})},
        {"header size not a multiple of 4", with(36, {30, 0, 0, 0})},
        {"header too small for its names", with(36, {12, 0, 0, 0})},
        {"type name never terminated",
         with(40, {'A', 0, 'B', 0, 'C', 0, 'D', 0, 'E', 0, 'F', 0, 'G', 0, 'H', 0,
                   'I', 0, 'J', 0, 'K', 0, 'L', 0, 'M', 0, 'N', 0, 'O', 0, 'P', 0})},
        {"huge sizes", with(32, {0xFF, 0xFF, 0xFF, 0xFF, 0xFC, 0xFF, 0xFF, 0xFF})},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(cesim::ParseResourceSection(c.bytes)) << c.what;
        DWORD error = 0;
        EXPECT_FALSE(cesim::FindResourceData(c.bytes, ResourceId::Named(u"AB"),
                                             ResourceId::Ordinal(1), std::nullopt, &error))
            << c.what;
        EXPECT_EQ(error, DWORD(ERROR_RESOURCE_TYPE_NOT_FOUND)) << c.what;
    }
}

// Everything a program could ask of a section; each answer must stay inside it.
void UseEverything(const std::vector<uint8_t>& bytes) {
    if (const auto entries = cesim::ParseResourceSection(bytes))
        for (const auto& e : *entries) {
            ASSERT_GE(e.data.data, bytes.data());
            ASSERT_LE(e.data.data + e.data.size, bytes.data() + bytes.size());
        }
    int n = 0;
    DWORD error = 0;
    for (UINT id : {40004u, 40021u})
        Load(bytes, id, 64, &n, &error);
    for (int id : kIconGroups)
        cesim::LoadIconFromSection(bytes, ResourceId::Ordinal(uint16_t(id)), 16, 16, 0, &error);
}

TEST(SectionParsing, DamagedProgramSectionsNeverReachOutside) {
    // Every byte of every entry header and of the start of every data block (icon directories,
    // bitmap headers, string counts) made absurd in turn, and the section cut off at every point
    // of its first entries. Under the address sanitizer a missed bound shows here.
    std::vector<uint8_t> bytes = Program();
    const auto entries = cesim::ParseResourceSection(bytes);
    ASSERT_TRUE(entries);
    size_t from = 32;
    for (const auto& e : *entries) {
        const size_t data = size_t(e.data.data - bytes.data());
        for (size_t at = from; at < data + std::min<size_t>(e.data.size, 48); ++at) {
            const uint8_t original = bytes[at];
            for (uint8_t value : {uint8_t(0), uint8_t(0xFF), uint8_t(original ^ 0x80)}) {
                bytes[at] = value;
                UseEverything(bytes);
            }
            bytes[at] = original;
        }
        from = (data + e.data.size + 3) & ~size_t(3);
    }
    for (size_t size = 0; size < 1024; ++size)
        UseEverything(std::vector<uint8_t>(bytes.begin(), bytes.begin() + size));
}

// ---- icon images ----------------------------------------------------------------------------

// A DIB as an icon resource holds it; rows are given top to bottom and padded here to a whole
// number of 32-bit words.
std::vector<uint8_t> Dib(int width, int height, int bpp, const std::vector<uint32_t>& palette,
                         const std::vector<std::vector<uint8_t>>& colorRows,
                         const std::vector<std::vector<uint8_t>>& maskRows) {
    std::vector<uint8_t> v;
    Put32(v, 40);
    Put32(v, uint32_t(width));
    Put32(v, uint32_t(height * 2));
    Put16(v, 1);
    Put16(v, unsigned(bpp));
    for (int i = 0; i < 4; ++i)
        Put32(v, 0);
    Put32(v, uint32_t(palette.size()));
    Put32(v, 0);
    for (uint32_t bgrx : palette)
        Put32(v, bgrx);
    auto put = [&](const std::vector<std::vector<uint8_t>>& rows, size_t stride) {
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            std::vector<uint8_t> padded = *row;
            padded.resize(stride, 0);
            v.insert(v.end(), padded.begin(), padded.end());
        }
    };
    put(colorRows, (size_t(width) * bpp + 31) / 32 * 4);
    put(maskRows, (size_t(width) + 31) / 32 * 4);
    return v;
}

IconImage Decode(const std::vector<uint8_t>& dib) {
    auto image = cesim::DecodeIconImage(ResourceData{dib.data(), dib.size()});
    EXPECT_TRUE(image);
    return image ? *image : IconImage();
}

TEST(IconDecoding, ThirtyTwoBitsUseAlphaWhenThereIsAnyAndTheDeviceBlends) {
    // 3 x 2, so that rows are told apart from columns; the mask says "transparent" everywhere.
    const std::vector<uint8_t> dib = Dib(3, 2, 32, {},
                                         {{1, 2, 3, 255, 4, 5, 6, 128, 7, 8, 9, 127},
                                          {10, 11, 12, 0, 13, 14, 15, 200, 16, 17, 18, 1}},
                                         {{0xE0}, {0xE0}});
    const IconImage withAlpha = Decode(dib);
    ASSERT_EQ(withAlpha.color.width, 3);
    ASSERT_EQ(withAlpha.color.height, 2);
    EXPECT_EQ(withAlpha.color.pixels,
              (std::vector<uint32_t>{0x030201, 0x060504, 0x090807, 0x0C0B0A, 0x0F0E0D, 0x121110}));
    EXPECT_EQ(withAlpha.opaque, (std::vector<uint8_t>{1, 1, 0, 0, 1, 0}));
    EXPECT_TRUE(withAlpha.blended);
    // A device without alpha blending draws the same bytes through the mask.
    const auto masked = cesim::DecodeIconImage(ResourceData{dib.data(), dib.size()}, false);
    ASSERT_TRUE(masked);
    EXPECT_EQ(masked->opaque, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(masked->blended);
    EXPECT_EQ(masked->color.pixels, withAlpha.color.pixels);

    const IconImage maskOnly = Decode(Dib(
        3, 2, 32, {},
        {{0x40, 0x40, 0x40, 0, 0x40, 0x40, 0x40, 0}, {0x80, 0x80, 0x80, 0, 0x80, 0x80, 0x80, 0}},
        {{0x40}, {0xA0}}));
    EXPECT_EQ(maskOnly.opaque, (std::vector<uint8_t>{1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(maskOnly.color.at(0, 1), 0x808080u);
}

TEST(IconDecoding, PalettedAndDirectColourDepths) {
    const uint32_t red = 0x00FF0000, green = 0x0000FF00, blue = 0x000000FF;      // as BGRX words
    const std::vector<std::vector<uint8_t>> mask = {{0x00, 0x00}, {0x80, 0x80}}; // 9 wide
    const struct {
        const char* what;
        std::vector<uint8_t> dib;
        std::vector<uint32_t> row0; // the top row's first three pixels
    } cases[] = {
        {"1 bit",
         Dib(9, 2, 1, {blue, red}, {{0x40, 0x80}, {0xFF, 0x00}}, mask),
         {0x0000FF, 0xFF0000, 0x0000FF}},
        {"2 bits",
         Dib(9, 2, 2, {blue, red, green, red}, {{0x9C, 0, 0x40}, {}}, mask),
         {0x00FF00, 0xFF0000, 0xFF0000}},
        {"4 bits",
         Dib(9, 2, 4, {blue, red, green}, {{0x12, 0xF0, 0, 0, 0x20}, {}}, mask),
         {0xFF0000, 0x00FF00, 0x000000}}, // index 15 lies past the palette: black
        {"8 bits",
         Dib(9, 2, 8, {blue, red, green}, {{2, 1, 0, 0, 0, 0, 0, 0, 1}, {}}, mask),
         {0x00FF00, 0xFF0000, 0x0000FF}},
        {"16 bits",
         Dib(9, 2, 16, {}, {{0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00}, {}}, mask),
         {0xFF0000, 0x00FF00, 0x0000FF}},
        {"24 bits",
         Dib(9, 2, 24, {}, {{0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0}, {}}, mask),
         {0xFF0000, 0x00FF00, 0x0000FF}},
    };
    for (const auto& c : cases) {
        const IconImage image = Decode(c.dib);
        ASSERT_EQ(image.color.width, 9) << c.what;
        ASSERT_EQ(image.color.height, 2) << c.what;
        EXPECT_EQ(std::vector<uint32_t>(image.color.pixels.begin(), image.color.pixels.begin() + 3),
                  c.row0)
            << c.what;
        // The ninth pixel of the bottom row sits in the mask's second byte.
        EXPECT_EQ(image.opaque[8], 1) << c.what;
        EXPECT_EQ(image.opaque[9], 0) << c.what;
        EXPECT_EQ(image.opaque[17], 0) << c.what;
        EXPECT_EQ(image.opaque[16], 1) << c.what;
    }
    // Past the last row of 1-bit data: the second byte of the top row, pixel 8.
    EXPECT_EQ(Decode(cases[0].dib).color.at(8, 0), 0xFF0000u);
}

TEST(IconDecoding, RefusesWhatItCannotRead) {
    const std::vector<uint8_t> good = Dib(2, 2, 8, {0xFFFFFF}, {{0}, {0}}, {{0}, {0}});
    ASSERT_TRUE(cesim::DecodeIconImage(ResourceData{good.data(), good.size()}));
    auto with = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> v = good;
        for (int i = 0; i < 4; ++i)
            v[at + i] = uint8_t(value >> (8 * i));
        return v;
    };
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"PNG image", png},
        {"no mask", std::vector<uint8_t>(good.begin(), good.end() - 8)},
        {"rows cut short", std::vector<uint8_t>(good.begin(), good.begin() + 44)},
        {"odd height field", with(8, 3)},
        {"top-down", with(8, uint32_t(-4))},
        {"compressed", with(16, 1)},
        {"12 bits", with(12, 1 | 12 << 16)},
        {"palette larger than its depth", with(32, 300)},
        {"header size past the end", with(0, 0x7FFFFFF0)},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(cesim::DecodeIconImage(ResourceData{c.bytes.data(), c.bytes.size()}))
            << c.what;
}

TEST(IconDecoding, ScalesByNearestNeighbour) {
    IconImage small;
    small.color = cesim::Surface(2, 2);
    small.color.pixels = {1, 2, 3, 4};
    small.opaque = {1, 0, 0, 1};
    const IconImage up = cesim::ScaleIconImage(small, 4, 4);
    EXPECT_EQ(up.color.pixels,
              (std::vector<uint32_t>{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}));
    EXPECT_EQ(up.opaque, (std::vector<uint8_t>{1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1}));
    const IconImage down = cesim::ScaleIconImage(up, 2, 1);
    EXPECT_EQ(down.color.pixels, (std::vector<uint32_t>{1, 2}));
}

TEST(IconPicking, ExactThenSmallestLargerThenLargestSmaller) {
    auto entry = [](int size, int bits) {
        IconDirEntry e;
        e.width = e.height = size;
        e.bitCount = bits;
        return e;
    };
    const std::vector<IconDirEntry> dir = {entry(32, 4), entry(16, 32), entry(48, 32),
                                           entry(32, 32), entry(32, 8)};
    const struct {
        int width, height, picked;
    } cases[] = {
        {16, 16, 1}, {32, 32, 3}, // exact; of three 32s the deepest
        {20, 20, 3}, {33, 33, 2}, // the smallest that is larger
        {64, 64, 2}, {24, 40, 2}, // none larger: the largest; only 48 covers 24 x 40
        {8, 8, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cesim::PickIconEntry(dir, c.width, c.height), c.picked)
            << c.width << " x " << c.height;
    EXPECT_EQ(cesim::PickIconEntry({}, 16, 16), -1);
}

// ---- through the module: what a program sees ------------------------------------------------

struct Seen {
    int stringLength = -1;
    char16_t text[32] = {};
    DWORD missingStringError = 0;
    SIZE iconSize = {0, 0};
    int iconResource = 0;
    bool iconFreed = false;
    bool missingIcon = true;
    DWORD missingIconError = 0;
    DWORD wrongTypeError = 0;
} seen;

int LoadingProgram(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    WCHAR buffer[32];
    seen.stringLength = LoadStringW(instance, 40017, buffer, 32);
    std::copy(buffer, buffer + 32, seen.text);
    LoadStringW(instance, 40022, buffer, 32);
    seen.missingStringError = GetLastError();

    const HICON icon = HICON(LoadImageW(instance, MAKEINTRESOURCE(131), IMAGE_ICON, 24, 20, 0));
    if (const std::optional<cesim::IconInfo> info = cesim::InspectIcon(icon)) {
        seen.iconSize = {info->width, info->height};
        seen.iconResource = info->resourceId;
    }
    seen.iconFreed = DestroyIcon(icon);

    seen.missingIcon = !LoadImageW(instance, MAKEINTRESOURCE(132), IMAGE_ICON, 16, 16, 0);
    seen.missingIconError = GetLastError();
    LoadImageW(instance, MAKEINTRESOURCE(131), IMAGE_BITMAP, 16, 16, 0);
    seen.wrongTypeError = GetLastError();
    return 0;
}

TEST(ProgramModule, AProgramLoadsItsOwnStringsAndIcons) {
    cesim::Boot();
    cesim::ProgramImage image;
    image.entry = LoadingProgram;
    image.modulePath = u"\\Program Files\\Vexo\\vexo.exe";
    image.resources = Program();
    const DWORD process = cesim::StartProgram(image);
    cesim::Settle();
    for (int i = 0; i < 500 && cesim::ProcessRunning(process); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_FALSE(cesim::ProcessRunning(process));

    EXPECT_EQ(seen.stringLength, 7);
    EXPECT_EQ(Ascii(seen.text), "Desktop");
    EXPECT_EQ(seen.missingStringError, DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(seen.iconSize.cx, 24);
    EXPECT_EQ(seen.iconSize.cy, 20);
    EXPECT_EQ(seen.iconResource, 131);
    EXPECT_TRUE(seen.iconFreed);
    EXPECT_TRUE(seen.missingIcon);
    EXPECT_EQ(seen.missingIconError, DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(seen.wrongTypeError, DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(cesim::ProcessExitReport(process).icons, 0u);
}

struct AlphaSeen {
    bool loaded = false;
    std::vector<uint8_t> opaque;
    bool blended = false;
} alphaSeen;

int LoadingAlphaIcon(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    const HICON icon = HICON(LoadImageW(instance, MAKEINTRESOURCE(7), IMAGE_ICON, 2, 1, 0));
    if (const IconImage* image = cesim::LookupIcon(icon)) {
        alphaSeen = {true, image->opaque, image->blended};
        DestroyIcon(icon);
    }
    return 0;
}

TEST(ProgramModule, AlphaChannelsCountFromCe5OnAndTheMaskBefore) {
    // A 2 x 1 image whose alpha shows its left pixel and whose mask shows its right one.
    std::vector<uint8_t> group;
    const std::vector<uint8_t> dib = Dib(2, 1, 32, {}, {{1, 2, 3, 255, 4, 5, 6, 0}}, {{0x80}});
    for (unsigned v : {0u, 1u, 1u})
        Put16(group, v);
    group.insert(group.end(), {2, 1, 0, 0});
    Put16(group, 1);
    Put16(group, 32);
    Put32(group, uint32_t(dib.size()));
    Put16(group, 9);
    const Section section = Section()
                                .Add(ResourceId::Ordinal(3), ResourceId::Ordinal(9), 1033, dib)
                                .Add(ResourceId::Ordinal(14), ResourceId::Ordinal(7), 1033, group);
    const struct {
        int major, minor;
        std::vector<uint8_t> opaque;
        bool blended;
    } cases[] = {
        {4, 20, {0, 1}, false},
        {5, 1, {1, 0}, true},
        {5, 2, {1, 0}, true},
    };
    for (const auto& c : cases) {
        cesim::BootOptions options;
        options.osMajor = c.major;
        options.osMinor = c.minor;
        cesim::Boot(options);
        alphaSeen = AlphaSeen();
        cesim::ProgramImage image;
        image.entry = LoadingAlphaIcon;
        image.modulePath = u"\\Windows\\alpha.exe";
        image.resources = section.bytes;
        const DWORD process = cesim::StartProgram(image);
        cesim::Settle();
        for (int i = 0; i < 500 && cesim::ProcessRunning(process); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(alphaSeen.loaded) << c.major << "." << c.minor;
        EXPECT_EQ(alphaSeen.opaque, c.opaque) << c.major << "." << c.minor;
        EXPECT_EQ(alphaSeen.blended, c.blended) << c.major << "." << c.minor;
    }
}

} // namespace
