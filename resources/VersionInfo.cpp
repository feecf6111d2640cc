#include "resources/VersionInfo.h"

namespace torvane::resources {
namespace {

constexpr std::string_view kCompany = "The Torvane developers";
constexpr std::string_view kDescription = "Firmware tool for USB cameras";
constexpr std::string_view kCopyright = "Copyright (C) the Torvane developers";

constexpr VersionRecord kVersion{
    {1, 0, 0, 3},
    {1, 0, 0, 3},
    {VersionBlock{Language::English, "Common USB Torvane", "Common USB Torvane.exe", kCompany, kDescription,
                  kCopyright},
     VersionBlock{Language::Chinese, "USBTorvane", "USBTorvane.exe", kCompany, kDescription, kCopyright}},
};

constexpr std::string_view kManifest = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <trustInfo xmlns="urn:schemas-microsoft-com:asm.v3">
    <security>
      <requestedPrivileges>
        <requestedExecutionLevel level="asInvoker" uiAccess="false"/>
      </requestedPrivileges>
    </security>
  </trustInfo>
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0"
                        processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
</assembly>
)";

}  // namespace

const VersionBlock& VersionRecord::Block(Language language) const {
  return language == Language::Chinese ? blocks[1] : blocks[0];
}

const VersionRecord& ProgramVersion() { return kVersion; }

std::string VersionText(const std::array<std::uint16_t, 4>& version) {
  std::string text;
  for (std::size_t i = 0; i < version.size(); ++i) {
    if (i != 0) text += '.';
    text += std::to_string(version[i]);
  }
  return text;
}

std::string_view WindowsManifest() { return kManifest; }

}  // namespace torvane::resources
