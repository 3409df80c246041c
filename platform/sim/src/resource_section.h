// Reading a compiled resource script (.res): its entries, strings and icons, straight from the
// bytes, so that LoadStringW and LoadImageW and their tests share one bounds-checked parser.
#pragma once

// The standard headers come first: <windows.h> maps C runtime names onto the device's own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "icons.h"

namespace cesim {

// A resource type or name: a 16-bit ordinal or a string. Strings match without regard to ASCII
// case, as the resource compiler stores them in upper case and FindResource folds the query.
struct ResourceId {
    bool isOrdinal = true;
    uint16_t ordinal = 0;
    std::u16string name;

    static ResourceId Ordinal(uint16_t value);
    static ResourceId Named(std::u16string value);
    // A MAKEINTRESOURCE value, a "#123" string (an ordinal, as in Win32) or a name.
    static ResourceId FromPointer(LPCWSTR pointer);

    bool Matches(const ResourceId& other) const;
};

// A block of bytes inside a section; valid as long as the section's vector is unchanged.
struct ResourceData {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    uint16_t memoryFlags = 0;
    uint32_t dataVersion = 0;
    uint32_t version = 0;
    uint32_t characteristics = 0;
    ResourceData data;
};

// The language a lookup without an explicit one prefers; otherwise the first one found wins.
constexpr uint16_t kPreferredLanguage = 1033;
// Win32's limit for a size asked of LoadImageW is larger; this keeps a typo from eating memory.
constexpr int kMaxIconSize = 1024;
// SM_CXICON and SM_CYICON of the device: what LR_DEFAULTSIZE means.
constexpr int kDefaultIconSize = 32;

// Every entry after the leading empty one. Nothing when any header is cut short, any size or
// name reaches past the end of the section or its header, or the leading entry is missing.
std::optional<std::vector<ResourceEntry>> ParseResourceSection(const std::vector<uint8_t>& section);

// The data of the resource of that type and name: in the given language, or, without one, in
// kPreferredLanguage when the section has it, else in the first language listed. On failure
// *error (when given) is ERROR_RESOURCE_TYPE_NOT_FOUND (also for a malformed section),
// ERROR_RESOURCE_NAME_NOT_FOUND, or ERROR_RESOURCE_LANG_NOT_FOUND (1815).
std::optional<ResourceData> FindResourceData(const std::vector<uint8_t>& section,
                                             const ResourceId& type, const ResourceId& name,
                                             std::optional<uint16_t> language = std::nullopt,
                                             DWORD* error = nullptr);

// String `id` of the string table: entry id % 16 of block id / 16 + 1. The text points into the
// section and is not terminated. An empty entry counts as missing, as for LoadStringW.
struct ResourceString {
    const char16_t* text = nullptr;
    size_t length = 0;
};
std::optional<ResourceString> FindResourceString(const std::vector<uint8_t>& section, UINT id,
                                                 DWORD* error = nullptr);

// LoadStringW over a section instead of a module.
int LoadStringFromSection(const std::vector<uint8_t>& section, UINT id, LPWSTR buffer, int capacity,
                          DWORD* error);

// One image of an icon group (GRPICONDIRENTRY); a width or height byte of 0 means 256.
struct IconDirEntry {
    int width = 0;
    int height = 0;
    int colorCount = 0;
    int bitCount = 0;
    uint32_t bytes = 0;
    uint16_t iconId = 0;
};
std::optional<std::vector<IconDirEntry>> ParseIconGroup(const ResourceData& group);

// The size LoadImageW makes of a request: a zero cx or cy becomes kDefaultIconSize with
// LR_DEFAULTSIZE, else the first image's size in that direction.
SIZE RequestedIconSize(const std::vector<IconDirEntry>& entries, int cx, int cy, UINT flags);

// Which image serves a request of width x height: one of exactly that size; else the smallest
// one at least as large in both directions (shrinking loses less than enlarging); else the
// largest one. Among images of one size the deepest colour wins, the earlier on a tie.
// Returns an index into entries, or -1 when there are none.
int PickIconEntry(const std::vector<IconDirEntry>& entries, int width, int height);

// An RT_ICON image: BITMAPINFOHEADER, palette, bottom-up XOR rows, bottom-up AND mask, with 1, 2,
// 4, 8, 16 (5-5-5), 24 or 32 bits a pixel. A pixel is opaque where the AND mask is 0, and every
// pixel keeps its XOR colour. With `alphaChannel`, a 32-bit image whose alpha is not all zero
// is opaque where alpha >= 128 instead and blended (its mask may then be left out); without it
// the alpha bytes are ignored. Nothing for anything else, PNG-compressed images included.
std::optional<IconImage> DecodeIconImage(const ResourceData& image, bool alphaChannel = true);

// Nearest-neighbour scaling of colours and coverage.
IconImage ScaleIconImage(const IconImage& image, int width, int height);

// LoadImageW(IMAGE_ICON) over a section, short of making the handle; `alphaChannel` as for
// DecodeIconImage (LoadImageW passes whether the device runs CE 5.0 or later).
std::optional<IconImage> LoadIconFromSection(const std::vector<uint8_t>& section,
                                             const ResourceId& name, int cx, int cy, UINT flags,
                                             DWORD* error, bool alphaChannel = true);

} // namespace cesim
