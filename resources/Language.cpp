#include "resources/Language.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace torvane::resources {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// "zh_Hans_CN.UTF-8@x" -> {"zh", "hans", "cn"}: the codeset and modifier say nothing about language.
std::vector<std::string> LocaleParts(std::string_view locale) {
  const std::size_t end = locale.find_first_of(".@");
  const std::string name = Lower(locale.substr(0, end));
  std::vector<std::string> parts;
  std::string current;
  for (char c : name) {
    if (c == '_' || c == '-') {
      parts.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  parts.push_back(current);
  return parts;
}

bool IsNeutralLocale(std::string_view value) { return value == "C" || value == "POSIX" || value.starts_with("C."); }

}  // namespace

Language LanguageFromLocale(std::string_view locale) {
  const std::vector<std::string> parts = LocaleParts(locale);
  if (parts.empty() || parts[0] != "zh") return Language::English;
  bool simplifiedScript = false;
  bool traditionalScript = false;
  bool mainland = false;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i] == "hans") simplifiedScript = true;
    if (parts[i] == "hant") traditionalScript = true;
    if (parts[i] == "cn") mainland = true;
  }
  if (simplifiedScript) return Language::Chinese;
  if (mainland && !traditionalScript) return Language::Chinese;
  return Language::English;
}

Language LanguageFromEnvironment(const EnvironmentLookup& lookup) {
  auto value = [&](const char* name) -> std::string_view {
    const char* v = lookup(name);
    return v == nullptr ? std::string_view{} : std::string_view{v};
  };
  std::string_view locale;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    locale = value(name);
    if (!locale.empty()) break;
  }
  const std::string_view priority = value("LANGUAGE");
  if (!priority.empty() && !locale.empty() && !IsNeutralLocale(locale)) {
    return LanguageFromLocale(priority.substr(0, priority.find(':')));
  }
  return LanguageFromLocale(locale);
}

Language LanguageFromEnvironment() {
  return LanguageFromEnvironment([](const char* name) { return std::getenv(name); });
}

}  // namespace torvane::resources
