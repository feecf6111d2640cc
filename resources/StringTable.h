// The string table (ids 101 to 114) in both languages. Texts are UTF-8.
#pragma once

#include <string_view>

#include "resources/Language.h"

namespace torvane::resources {

// The string `id` in `language`; empty when the table has no such id (callers then show nothing,
// as a failed resource lookup does).
std::string_view LoadString(int id, Language language);

}  // namespace torvane::resources
