// UTF-8 and UTF-16, for the platform layers and the tools; no platform of its own.
#pragma once

#include <optional>
#include <string>

namespace utf {

// Strict UTF-8 for text that people read and type. Malformed input gives nothing, and so does
// a surrogate encoded on its own; an unpaired surrogate in UTF-16 becomes U+FFFD.
std::optional<std::u16string> FromUtf8(const std::string& text);
std::string ToUtf8(const std::u16string& text);

// For names that must come back exactly: as UTF-8, except that an unpaired surrogate travels
// as its own three-byte form (WTF-8), so every UTF-16 string survives the round trip. A paired
// surrogate written that way would give one name two spellings, and is refused like overlong
// forms are.
std::optional<std::u16string> FromWtf8(const std::string& text);
std::string ToWtf8(const std::u16string& text);

} // namespace utf
