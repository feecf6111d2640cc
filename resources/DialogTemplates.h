// The dialog templates as data: the main dialog (102) and the About box (100), each in English and
// Chinese. Positions are dialog units; a front end converts them with the base units of the dialog
// font (DialogUnits.h). Controls are listed in template order, which is also the tab order and the
// stacking order (the tab control comes last and lies beneath the controls placed on it).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "resources/Language.h"

namespace torvane::resources {

enum class ControlClass { Button, Edit, Static, ProgressBar, TabControl };

// Control styles. A control is visible and enabled unless the template says otherwise.
namespace style {
constexpr std::uint32_t kHidden = 1u << 0;
constexpr std::uint32_t kDisabled = 1u << 1;
constexpr std::uint32_t kTabStop = 1u << 2;
constexpr std::uint32_t kGroup = 1u << 3;
constexpr std::uint32_t kBorder = 1u << 4;
constexpr std::uint32_t kReadOnly = 1u << 5;
constexpr std::uint32_t kAutoHScroll = 1u << 6;
constexpr std::uint32_t kCentered = 1u << 7;
constexpr std::uint32_t kMultiline = 1u << 8;
constexpr std::uint32_t kNoPrefix = 1u << 9;       // "&" is shown, not taken as a mnemonic
constexpr std::uint32_t kDefaultButton = 1u << 10;
constexpr std::uint32_t kBitmap = 1u << 11;        // a static showing picture `imageId`
constexpr std::uint32_t kIcon = 1u << 12;          // a static showing icon `imageId`
constexpr std::uint32_t kTransparent = 1u << 13;   // extended style: painted after its siblings
}  // namespace style

// Dialog styles.
namespace dialog_style {
constexpr std::uint32_t kPopup = 1u << 0;
constexpr std::uint32_t kVisible = 1u << 1;
constexpr std::uint32_t kCaption = 1u << 2;
constexpr std::uint32_t kSystemMenu = 1u << 3;
constexpr std::uint32_t kModalFrame = 1u << 4;
constexpr std::uint32_t kAcceptFiles = 1u << 5;  // extended style: files can be dropped on it
constexpr std::uint32_t kAppWindow = 1u << 6;    // extended style: has a taskbar button
}  // namespace dialog_style

struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const DialogRect&, const DialogRect&) = default;
};

struct ControlTemplate {
  int id;
  ControlClass kind;
  std::string_view text;  // UTF-8
  DialogRect rect;
  std::uint32_t style;
  int imageId = 0;  // picture or icon shown by a kBitmap or kIcon static
};

struct DialogTemplate {
  int id;
  std::string_view caption;
  int width;   // client area, dialog units
  int height;
  std::string_view fontName;
  int fontPoints;
  std::uint32_t style;
  std::span<const ControlTemplate> controls;

  // The first control with `id`, or nullptr.
  const ControlTemplate* Find(int id) const;
};

const DialogTemplate& MainDialogTemplate(Language language);
const DialogTemplate& AboutDialogTemplate(Language language);
// The template `id` (100 or 102), or nullptr.
const DialogTemplate* FindDialogTemplate(int id, Language language);

}  // namespace torvane::resources
