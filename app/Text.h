// UTF-8 (the tool's messages and resources) to UTF-16 (what the dialog's edits hold) and back.
// Malformed input becomes U+FFFD; nothing is read past the end.
#pragma once

#include <string>
#include <string_view>

#include "rom/Utf.h"

namespace torvane::app {

inline std::u16string Utf8ToUtf16(std::string_view text) { return rom::Utf8ToUtf16Replacing(text); }
inline std::string Utf16ToUtf8(std::u16string_view text) { return rom::Utf16ToUtf8(text); }

}  // namespace torvane::app
