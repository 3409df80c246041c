// LoadStringW and LoadImageW: the module's compiled resource script read in place, the way a
// PE loader hands out its resource section. Stateless, so any thread may call in.
#include <algorithm>
#include <cstring>

#include "resource_section.h"

#include <cesim/device.h>

#include "icons.h"
#include "modules.h"

namespace cesim {

namespace {

constexpr DWORD kErrorInvalidData = 13;            // ERROR_INVALID_DATA
constexpr DWORD kErrorResourceLangNotFound = 1815; // ERROR_RESOURCE_LANG_NOT_FOUND
constexpr uint16_t kTypeString = 6;
constexpr uint16_t kTypeIcon = 3;
constexpr uint16_t kTypeGroupIcon = 14;
constexpr size_t kLeadingEntrySize = 32;
// DataVersion, MemoryFlags, LanguageId, Version, Characteristics.
constexpr size_t kHeaderTrailerSize = 16;

void Fail(DWORD* error, DWORD code) {
    if (error)
        *error = code;
}

// Little-endian reads that report whether the bytes were there.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit Bytes(const ResourceData& d) : data_(d.data), size_(d.size) {}

    size_t size() const { return size_; }
    bool has(size_t offset, size_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }
    bool u8(size_t offset, uint8_t& v) const {
        if (!has(offset, 1))
            return false;
        v = data_[offset];
        return true;
    }
    bool u16(size_t offset, uint16_t& v) const {
        if (!has(offset, 2))
            return false;
        v = uint16_t(data_[offset] | data_[offset + 1] << 8);
        return true;
    }
    bool u32(size_t offset, uint32_t& v) const {
        if (!has(offset, 4))
            return false;
        v = uint32_t(data_[offset]) | uint32_t(data_[offset + 1]) << 8 |
            uint32_t(data_[offset + 2]) << 16 | uint32_t(data_[offset + 3]) << 24;
        return true;
    }
    const uint8_t* at(size_t offset) const { return data_ + offset; }

private:
    const uint8_t* data_;
    size_t size_;
};

size_t AlignUp4(size_t n) {
    return (n + 3) & ~size_t(3);
}

char16_t FoldCase(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c;
}

// A type or name field: 0xFFFF then the ordinal, or a NUL-terminated UTF-16 string, all before
// `end`. Advances offset past it.
bool ReadId(const Bytes& bytes, size_t& offset, size_t end, ResourceId& id) {
    uint16_t first;
    if (offset + 2 > end || !bytes.u16(offset, first))
        return false;
    if (first == 0xFFFF) {
        uint16_t ordinal;
        if (offset + 4 > end || !bytes.u16(offset + 2, ordinal))
            return false;
        id = ResourceId::Ordinal(ordinal);
        offset += 4;
        return true;
    }
    std::u16string name;
    for (;;) {
        uint16_t c;
        if (offset + 2 > end || !bytes.u16(offset, c))
            return false;
        offset += 2;
        if (c == 0)
            break;
        name.push_back(char16_t(c));
    }
    id = ResourceId::Named(std::move(name));
    return true;
}

int ColorDepth(const IconDirEntry& e) {
    if (e.bitCount)
        return e.bitCount;
    // Some icon writers leave bitCount 0 and give only the palette size.
    int depth = 1;
    while (depth < 8 && (1 << depth) < e.colorCount)
        ++depth;
    return e.colorCount ? depth : 8;
}

uint32_t Pixel(uint8_t b, uint8_t g, uint8_t r) {
    return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

} // namespace

ResourceId ResourceId::Ordinal(uint16_t value) {
    ResourceId id;
    id.ordinal = value;
    return id;
}

ResourceId ResourceId::Named(std::u16string value) {
    ResourceId id;
    id.isOrdinal = false;
    id.name = std::move(value);
    return id;
}

ResourceId ResourceId::FromPointer(LPCWSTR pointer) {
    if (IS_INTRESOURCE(pointer))
        return Ordinal(LOWORD(pointer));
    const char16_t* p = reinterpret_cast<const char16_t*>(pointer);
    std::u16string name;
    while (*p)
        name.push_back(*p++);
    if (name.size() > 1 && name[0] == u'#') {
        uint32_t value = 0;
        size_t i = 1;
        for (; i < name.size() && name[i] >= u'0' && name[i] <= u'9' && value <= 0xFFFF; ++i)
            value = value * 10 + (name[i] - u'0');
        if (i == name.size() && value <= 0xFFFF)
            return Ordinal(uint16_t(value));
    }
    return Named(std::move(name));
}

bool ResourceId::Matches(const ResourceId& other) const {
    if (isOrdinal != other.isOrdinal)
        return false;
    if (isOrdinal)
        return ordinal == other.ordinal;
    if (name.size() != other.name.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if (FoldCase(name[i]) != FoldCase(other.name[i]))
            return false;
    return true;
}

namespace {

// Hands every entry after the leading one to `visit`, reusing one record; false when the
// section is malformed anywhere, even after entries already visited. Lookups walk the section
// this way instead of building the list, which LoadStringW would otherwise do on every call.
template <class Visit> bool WalkResourceSection(const std::vector<uint8_t>& section, Visit visit) {
    const Bytes bytes(section.data(), section.size());
    // The leading entry marks the 32-bit format: no data, a 32-byte header, type and name 0.
    static const uint8_t kLeading[16] = {0, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF};
    if (!bytes.has(0, kLeadingEntrySize) || std::memcmp(bytes.at(0), kLeading, 16) != 0)
        return false;

    ResourceEntry entry;
    size_t offset = kLeadingEntrySize;
    while (offset < bytes.size()) {
        uint32_t dataSize, headerSize;
        if (!bytes.u32(offset, dataSize) || !bytes.u32(offset + 4, headerSize))
            return false;
        if (headerSize % 4 != 0 || !bytes.has(offset, headerSize))
            return false;
        const size_t headerEnd = offset + headerSize;
        size_t field = offset + 8;
        if (!ReadId(bytes, field, headerEnd, entry.type) ||
            !ReadId(bytes, field, headerEnd, entry.name))
            return false;
        field = AlignUp4(field);
        if (field > headerEnd || headerEnd - field < kHeaderTrailerSize)
            return false;
        bytes.u32(field, entry.dataVersion);
        bytes.u16(field + 4, entry.memoryFlags);
        bytes.u16(field + 6, entry.language);
        bytes.u32(field + 8, entry.version);
        bytes.u32(field + 12, entry.characteristics);
        if (!bytes.has(headerEnd, dataSize))
            return false;
        entry.data = ResourceData{bytes.at(headerEnd), dataSize};
        visit(entry);
        // The last entry's padding may be missing; anything else must be a whole header.
        offset = std::min(AlignUp4(headerEnd + dataSize), bytes.size());
    }
    return true;
}

} // namespace

std::optional<std::vector<ResourceEntry>>
ParseResourceSection(const std::vector<uint8_t>& section) {
    std::vector<ResourceEntry> entries;
    if (!WalkResourceSection(section, [&](const ResourceEntry& e) { entries.push_back(e); }))
        return std::nullopt;
    return entries;
}

std::optional<ResourceData> FindResourceData(const std::vector<uint8_t>& section,
                                             const ResourceId& type, const ResourceId& name,
                                             std::optional<uint16_t> language, DWORD* error) {
    bool typeSeen = false;
    std::optional<ResourceData> first, chosen;
    bool wellFormed = WalkResourceSection(section, [&](const ResourceEntry& e) {
        if (chosen || !e.type.Matches(type))
            return;
        typeSeen = true;
        if (!e.name.Matches(name))
            return;
        if (!first)
            first = e.data;
        if (e.language == language.value_or(kPreferredLanguage))
            chosen = e.data;
    });
    if (!wellFormed) {
        Fail(error, ERROR_RESOURCE_TYPE_NOT_FOUND);
        return std::nullopt;
    }
    if (!chosen && !language)
        chosen = first;
    if (chosen)
        return chosen;
    Fail(error, !typeSeen ? ERROR_RESOURCE_TYPE_NOT_FOUND
                : !first  ? ERROR_RESOURCE_NAME_NOT_FOUND
                          : kErrorResourceLangNotFound);
    return std::nullopt;
}

std::optional<ResourceString> FindResourceString(const std::vector<uint8_t>& section, UINT id,
                                                 DWORD* error) {
    if (id > 0xFFFF) {
        Fail(error, ERROR_RESOURCE_NAME_NOT_FOUND);
        return std::nullopt;
    }
    const auto block =
        FindResourceData(section, ResourceId::Ordinal(kTypeString),
                         ResourceId::Ordinal(uint16_t(id / 16 + 1)), std::nullopt, error);
    if (!block)
        return std::nullopt;
    // Sixteen counted strings one after the other; a block cut short lacks its later strings.
    const Bytes bytes(*block);
    size_t offset = 0;
    for (UINT i = 0;; ++i) {
        uint16_t length;
        if (!bytes.u16(offset, length) || !bytes.has(offset + 2, size_t(length) * 2)) {
            Fail(error, ERROR_RESOURCE_NAME_NOT_FOUND);
            return std::nullopt;
        }
        if (i == id % 16) {
            if (length == 0) {
                Fail(error, ERROR_RESOURCE_NAME_NOT_FOUND);
                return std::nullopt;
            }
            // Entry headers and counts are 16-bit, so the text is 2-aligned within the block,
            // which is 4-aligned within the section.
            return ResourceString{reinterpret_cast<const char16_t*>(bytes.at(offset + 2)), length};
        }
        offset += 2 + size_t(length) * 2;
    }
}

int LoadStringFromSection(const std::vector<uint8_t>& section, UINT id, LPWSTR buffer, int capacity,
                          DWORD* error) {
    if (!buffer || capacity < 0) {
        Fail(error, ERROR_INVALID_PARAMETER);
        return 0;
    }
    const auto found = FindResourceString(section, id, error);
    if (capacity == 0) {
        // Win32 and CE hand out the resource's own read-only text, unterminated.
        if (!found)
            return 0;
        *reinterpret_cast<LPWSTR*>(buffer) =
            const_cast<LPWSTR>(reinterpret_cast<LPCWSTR>(found->text));
        return int(found->length);
    }
    char16_t* out = reinterpret_cast<char16_t*>(buffer);
    if (!found) {
        out[0] = 0;
        return 0;
    }
    const size_t n = std::min(found->length, size_t(capacity) - 1);
    std::copy(found->text, found->text + n, out);
    out[n] = 0;
    return int(n);
}

std::optional<std::vector<IconDirEntry>> ParseIconGroup(const ResourceData& group) {
    const Bytes bytes(group);
    uint16_t reserved, type, count;
    if (!bytes.u16(0, reserved) || !bytes.u16(2, type) || !bytes.u16(4, count) || reserved != 0 ||
        type != 1)
        return std::nullopt;
    std::vector<IconDirEntry> entries;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = 6 + i * 14;
        uint8_t width, height, colors;
        uint16_t bitCount, iconId;
        uint32_t size;
        if (!bytes.u8(at, width) || !bytes.u8(at + 1, height) || !bytes.u8(at + 2, colors) ||
            !bytes.u16(at + 6, bitCount) || !bytes.u32(at + 8, size) || !bytes.u16(at + 12, iconId))
            return std::nullopt;
        IconDirEntry e;
        e.width = width ? width : 256;
        e.height = height ? height : 256;
        e.colorCount = colors;
        e.bitCount = bitCount;
        e.bytes = size;
        e.iconId = iconId;
        entries.push_back(e);
    }
    return entries;
}

SIZE RequestedIconSize(const std::vector<IconDirEntry>& entries, int cx, int cy, UINT flags) {
    SIZE size = {cx, cy};
    const bool useDefault = (flags & LR_DEFAULTSIZE) || entries.empty();
    if (size.cx == 0)
        size.cx = useDefault ? kDefaultIconSize : entries.front().width;
    if (size.cy == 0)
        size.cy = useDefault ? kDefaultIconSize : entries.front().height;
    return size;
}

int PickIconEntry(const std::vector<IconDirEntry>& entries, int width, int height) {
    // Ranks a candidate: exact before larger before smaller; then the nearer size (smallest
    // larger, largest smaller); then the deeper colour.
    auto better = [&](const IconDirEntry& a, const IconDirEntry& b) {
        auto kind = [&](const IconDirEntry& e) {
            if (e.width == width && e.height == height)
                return 0;
            return e.width >= width && e.height >= height ? 1 : 2;
        };
        const int ka = kind(a), kb = kind(b);
        if (ka != kb)
            return ka < kb;
        const long areaA = long(a.width) * a.height, areaB = long(b.width) * b.height;
        if (areaA != areaB)
            return ka == 1 ? areaA < areaB : areaA > areaB;
        const int da = std::min(ColorDepth(a), 32), db = std::min(ColorDepth(b), 32);
        return da > db;
    };
    int best = -1;
    for (size_t i = 0; i < entries.size(); ++i)
        if (best < 0 || better(entries[i], entries[size_t(best)]))
            best = int(i);
    return best;
}

std::optional<IconImage> DecodeIconImage(const ResourceData& image, bool alphaChannel) {
    const Bytes bytes(image);
    uint32_t headerSize, compression, colorsUsed;
    uint32_t rawWidth, rawHeight;
    uint16_t planes, bitCount;
    if (!bytes.u32(0, headerSize) || headerSize < 40 || !bytes.u32(4, rawWidth) ||
        !bytes.u32(8, rawHeight) || !bytes.u16(12, planes) || !bytes.u16(14, bitCount) ||
        !bytes.u32(16, compression) || !bytes.u32(32, colorsUsed))
        return std::nullopt;
    const int32_t width = int32_t(rawWidth), fullHeight = int32_t(rawHeight);
    // The height field counts the XOR image and the mask; bottom-up only, 0 (BI_RGB) only.
    if (width <= 0 || width > 256 || fullHeight <= 0 || fullHeight > 512 || fullHeight % 2 != 0 ||
        planes != 1 || compression != 0)
        return std::nullopt;
    const int height = fullHeight / 2;
    // CE reads 2-bit images too, which desktop Windows does not.
    if (bitCount != 1 && bitCount != 2 && bitCount != 4 && bitCount != 8 && bitCount != 16 &&
        bitCount != 24 && bitCount != 32)
        return std::nullopt;

    // Deeper images may still carry a colour table, which the pixels follow.
    const size_t paletteSize = bitCount <= 8 && !colorsUsed ? 1u << bitCount : colorsUsed;
    if (paletteSize > (bitCount <= 8 ? 1u << bitCount : 256u))
        return std::nullopt;
    const size_t paletteAt = headerSize;
    const size_t xorStride = (size_t(width) * bitCount + 31) / 32 * 4;
    const size_t maskStride = (size_t(width) + 31) / 32 * 4;
    if (!bytes.has(paletteAt, paletteSize * 4))
        return std::nullopt;
    const size_t xorAt = paletteAt + paletteSize * 4;
    if (!bytes.has(xorAt, xorStride * height))
        return std::nullopt;
    const size_t maskAt = xorAt + xorStride * height;
    const bool hasMask = bytes.has(maskAt, maskStride * height);

    IconImage out;
    out.color = Surface(width, height);
    out.opaque.assign(size_t(width) * height, 0);
    std::vector<uint8_t> alpha(bitCount == 32 ? size_t(width) * height : 0);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = bytes.at(xorAt + size_t(height - 1 - y) * xorStride);
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = 0;
            if (bitCount <= 8) {
                const size_t bit = size_t(x) * bitCount;
                const unsigned index =
                    (row[bit / 8] >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1);
                if (index < paletteSize) {
                    const uint8_t* q = bytes.at(paletteAt + index * 4);
                    pixel = Pixel(q[0], q[1], q[2]);
                }
            } else if (bitCount == 16) {
                const unsigned v = row[x * 2] | row[x * 2 + 1] << 8;
                auto widen = [](unsigned c5) { return uint8_t(c5 << 3 | c5 >> 2); };
                pixel = Pixel(widen(v & 31), widen(v >> 5 & 31), widen(v >> 10 & 31));
            } else {
                const uint8_t* q = row + size_t(x) * (bitCount / 8);
                pixel = Pixel(q[0], q[1], q[2]);
                if (bitCount == 32 && alphaChannel) {
                    alpha[size_t(y) * width + x] = q[3];
                    anyAlpha = anyAlpha || q[3] != 0;
                }
            }
            out.color.pixels[size_t(y) * width + x] = pixel;
        }
    }
    if (anyAlpha) {
        for (size_t i = 0; i < alpha.size(); ++i)
            out.opaque[i] = alpha[i] >= 128;
        out.blended = true;
    } else {
        if (!hasMask)
            return std::nullopt;
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = bytes.at(maskAt + size_t(height - 1 - y) * maskStride);
            for (int x = 0; x < width; ++x)
                out.opaque[size_t(y) * width + x] = !(row[x / 8] & (0x80 >> (x % 8)));
        }
    }
    return out;
}

IconImage ScaleIconImage(const IconImage& image, int width, int height) {
    IconImage out;
    out.color = Surface(width, height);
    out.opaque.assign(size_t(width) * height, 0);
    out.blended = image.blended;
    const int sw = image.color.width, sh = image.color.height;
    if (sw <= 0 || sh <= 0)
        return out;
    for (int y = 0; y < height; ++y) {
        const size_t sy = size_t(y) * sh / height;
        for (int x = 0; x < width; ++x) {
            const size_t from = sy * sw + size_t(x) * sw / width;
            out.color.pixels[size_t(y) * width + x] = image.color.pixels[from];
            out.opaque[size_t(y) * width + x] = image.opaque[from];
        }
    }
    return out;
}

std::optional<IconImage> LoadIconFromSection(const std::vector<uint8_t>& section,
                                             const ResourceId& name, int cx, int cy, UINT flags,
                                             DWORD* error, bool alphaChannel) {
    if (cx < 0 || cy < 0 || cx > kMaxIconSize || cy > kMaxIconSize) {
        Fail(error, ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const auto groupData =
        FindResourceData(section, ResourceId::Ordinal(kTypeGroupIcon), name, std::nullopt, error);
    if (!groupData)
        return std::nullopt;
    const auto group = ParseIconGroup(*groupData);
    if (!group || group->empty()) {
        Fail(error, kErrorInvalidData);
        return std::nullopt;
    }
    const SIZE size = RequestedIconSize(*group, cx, cy, flags);
    const IconDirEntry& entry = (*group)[size_t(PickIconEntry(*group, size.cx, size.cy))];
    const auto imageData = FindResourceData(section, ResourceId::Ordinal(kTypeIcon),
                                            ResourceId::Ordinal(entry.iconId), std::nullopt, error);
    if (!imageData)
        return std::nullopt;
    auto image = DecodeIconImage(*imageData, alphaChannel);
    if (!image) {
        Fail(error, kErrorInvalidData);
        return std::nullopt;
    }
    if (image->color.width != size.cx || image->color.height != size.cy)
        return ScaleIconImage(*image, size.cx, size.cy);
    return image;
}

} // namespace cesim

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity) {
    const std::vector<uint8_t>* section = cesim::ModuleResources(instance);
    DWORD error = 0;
    int length = 0;
    if (section) {
        length = cesim::LoadStringFromSection(*section, id, buffer, capacity, &error);
    } else {
        error = buffer && capacity >= 0 ? ERROR_RESOURCE_TYPE_NOT_FOUND : ERROR_INVALID_PARAMETER;
        if (buffer && capacity > 0)
            buffer[0] = 0;
    }
    if (error)
        SetLastError(error);
    return length;
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    if (type != IMAGE_ICON || !name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::vector<uint8_t>* section = cesim::ModuleResources(instance);
    if (!section) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    DWORD error = 0;
    // Per-pixel alpha came to GDI with CE 5.0 (AlphaBlend); before, every icon draws through
    // its mask.
    const bool alphaChannel = cesim::BootedWith().osMajor >= 5;
    auto image = cesim::LoadIconFromSection(*section, cesim::ResourceId::FromPointer(name), cx, cy,
                                            flags, &error, alphaChannel);
    if (!image) {
        SetLastError(error);
        return nullptr;
    }
    const cesim::ResourceId id = cesim::ResourceId::FromPointer(name);
    image->resourceId = id.isOrdinal ? id.ordinal : 0;
    return cesim::CreateIconObject(std::move(*image));
}
