#include "rom/Utf.h"

#include <cstdint>

namespace torvane::rom {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t cp) {
  auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(static_cast<unsigned char>(byte))); };
  if (cp < 0x80) {
    put(cp);
  } else if (cp < 0x800) {
    put(0xC0 | (cp >> 6));
    put(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    put(0xE0 | (cp >> 12));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  } else {
    put(0xF0 | (cp >> 18));
    put(0x80 | ((cp >> 12) & 0x3F));
    put(0x80 | ((cp >> 6) & 0x3F));
    put(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      AppendUtf8(out, cp);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

namespace {

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000) {
    const char32_t v = cp - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

// One UTF-8 sequence at `i`: the bytes it takes, and its code point, or nothing when it is malformed
// (a bad lead byte takes one byte; a sequence cut short takes the bytes that belonged to it).
struct Decoded {
  std::size_t taken = 1;
  std::optional<char32_t> cp;
};

Decoded DecodeAt(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 1;
  char32_t cp = 0;
  char32_t minimum = 0;  // below this the form is overlong
  if (lead < 0x80) {
    return {1, lead};
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, cp = lead & 0x1Fu, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, cp = lead & 0x0Fu, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, cp = lead & 0x07u, minimum = 0x10000;
  } else {
    return {1, std::nullopt};
  }
  std::size_t taken = 1;
  for (; taken < length; ++taken) {
    if (i + taken >= text.size()) return {taken, std::nullopt};
    const auto next = static_cast<unsigned char>(text[i + taken]);
    if ((next & 0xC0) != 0x80) return {taken, std::nullopt};
    cp = (cp << 6) | (next & 0x3Fu);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {taken, std::nullopt};
  return {taken, cp};
}

}  // namespace

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = DecodeAt(text, i);
    if (!d.cp) return std::nullopt;
    AppendUtf16(out, *d.cp);
    i += d.taken;
  }
  return out;
}

std::u16string Utf8ToUtf16Replacing(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Decoded d = DecodeAt(text, i);
    AppendUtf16(out, d.cp.value_or(kReplacement));
    i += d.taken;
  }
  return out;
}

}  // namespace torvane::rom
