#include "resources/StringTable.h"

#include <array>

#include "resources/ResourceIds.h"

namespace torvane::resources {
namespace {

struct StringEntry {
  int id;
  std::string_view english;
  std::string_view chinese;
};

constexpr std::array kStringTable{
    StringEntry{kStrAboutItem, "&About Common USB Torvane...", "&关于 USBTorvane..."},
    StringEntry{kStrTabBurn, "Burn", "烧录"},
    StringEntry{kStrTabAuxiliary, "Auxiliary Function", "辅助功能"},
    StringEntry{kStrIdle, "No Task is Running...", "没有任务正在运行..."},
    StringEntry{kStrReadyToBurn, "Click 'GO' to start burning...", "请单击“开始烧录”！"},
    StringEntry{kStrBurning, "Burning...", "烧录中..."},
    StringEntry{kStrBurnOk, "Burn Successes!", "烧录成功！"},
    StringEntry{kStrBurnFailed, "Burn Failed!", "烧录失败！"},
    StringEntry{kStrErasing, "Erasing...", "擦除中..."},
    StringEntry{kStrEraseOk, "Flash Erase Successes!", "擦除成功！"},
    StringEntry{kStrEraseFailed, "Flash Erase Failed!", "擦除失败！"},
    StringEntry{kStrExporting, "Exporting...", "正在导出..."},
    StringEntry{kStrExportOk, "Export Rom Successes!", "导出成功！"},
    StringEntry{kStrExportFailed, "Export Failed!", "导出失败！"},
};

}  // namespace

std::string_view LoadString(int id, Language language) {
  for (const StringEntry& entry : kStringTable) {
    if (entry.id == id) return language == Language::Chinese ? entry.chinese : entry.english;
  }
  return {};
}

}  // namespace torvane::resources
