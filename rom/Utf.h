// Conversions between the UTF-16 texts the image and the dialog's fields hold and the UTF-8 texts of
// messages, terminals and command lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace torvane::rom {

// Lossless for well-formed UTF-16; a lone surrogate becomes U+FFFD (for display only: never feed the
// result back into an image, use the UTF-16 text itself).
std::string Utf16ToUtf8(std::u16string_view text);

// Nothing when `text` is not well-formed UTF-8 (overlong forms, surrogates, bytes cut short).
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// The same, but each malformed sequence becomes U+FFFD and the rest is still read (for texts shown in
// the dialog, where something must be shown).
std::u16string Utf8ToUtf16Replacing(std::string_view text);

}  // namespace torvane::rom
