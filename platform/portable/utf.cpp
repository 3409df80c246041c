// UTF-8 and UTF-16, for the platform layers and the tools; no platform of its own.
#include "platform/portable/utf.h"

#include <cstdint>

namespace utf {

namespace {

bool IsHigh(uint32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(uint32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void Append(uint32_t c, std::string* out) {
    if (c < 0x80) {
        *out += static_cast<char>(c);
    } else if (c < 0x800) {
        *out += static_cast<char>(0xC0 | (c >> 6));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += static_cast<char>(0xE0 | (c >> 12));
        *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (c >> 18));
        *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Encode(const std::u16string& text, bool keepLoneSurrogates) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if ((IsHigh(c) || IsLow(c)) && !keepLoneSurrogates) {
            c = 0xFFFD;
        }
        Append(c, &out);
    }
    return out;
}

std::optional<std::u16string> Decode(const std::string& text, bool acceptLoneSurrogates) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const uint8_t lead = static_cast<uint8_t>(text[i]);
        size_t extra;
        uint32_t c;
        uint32_t smallest;
        if (lead < 0x80) {
            extra = 0, c = lead, smallest = 0;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, c = lead & 0x1F, smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, c = lead & 0x0F, smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, c = lead & 0x07, smallest = 0x10000;
        } else {
            return std::nullopt;
        }
        if (text.size() - i - 1 < extra)
            return std::nullopt;
        for (size_t k = 1; k <= extra; ++k) {
            const uint8_t next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < smallest || c > 0x10FFFF)
            return std::nullopt;
        if (IsHigh(c) || IsLow(c)) {
            if (!acceptLoneSurrogates)
                return std::nullopt;
            // A low surrogate right after a high one would have been one pair.
            if (IsLow(c) && !out.empty() && IsHigh(out.back()))
                return std::nullopt;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += extra + 1;
    }
    return out;
}

} // namespace

std::optional<std::u16string> FromUtf8(const std::string& text) {
    return Decode(text, false);
}

std::string ToUtf8(const std::u16string& text) {
    return Encode(text, false);
}

std::optional<std::u16string> FromWtf8(const std::string& text) {
    return Decode(text, true);
}

std::string ToWtf8(const std::u16string& text) {
    return Encode(text, true);
}

} // namespace utf
