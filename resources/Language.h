// Which of the two resource sets a user sees: Simplified Chinese when the user's interface language
// is Simplified Chinese (zh_CN, zh_Hans and their spellings), English otherwise.
#pragma once

#include <functional>
#include <string_view>

namespace torvane::resources {

enum class Language { English, Chinese };

// A locale name in any of the usual spellings: "zh_CN.UTF-8", "zh-Hans-CN", "zh_Hans", "de_DE@euro".
Language LanguageFromLocale(std::string_view locale);

// The interface language from the environment, read as the C library's message catalogues read it:
// the first entry of LANGUAGE (unless the locale is "C" or "POSIX"), else LC_ALL, LC_MESSAGES, LANG.
using EnvironmentLookup = std::function<const char*(const char*)>;
Language LanguageFromEnvironment(const EnvironmentLookup& lookup);
Language LanguageFromEnvironment();  // the process environment

}  // namespace torvane::resources
