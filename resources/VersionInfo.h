// The version record and the Windows manifest: one source for every front end and the Windows build.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "resources/Language.h"

namespace torvane::resources {

struct VersionBlock {
  Language language;
  std::string_view productName;
  std::string_view originalFilename;
  std::string_view companyName;
  std::string_view fileDescription;
  std::string_view legalCopyright;
};

struct VersionRecord {
  std::array<std::uint16_t, 4> fileVersion;
  std::array<std::uint16_t, 4> productVersion;
  std::array<VersionBlock, 2> blocks;  // English, Chinese

  const VersionBlock& Block(Language language) const;
};

const VersionRecord& ProgramVersion();
std::string VersionText(const std::array<std::uint16_t, 4>& version);  // "1.0.0.3"

// Runs as the invoking user without elevation, with version 6 of the common controls.
std::string_view WindowsManifest();

}  // namespace torvane::resources
