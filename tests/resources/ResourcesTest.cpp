#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "resources/DialogTemplates.h"
#include "resources/DialogUnits.h"
#include "resources/Language.h"
#include "resources/Pictures.h"
#include "resources/ResourceIds.h"
#include "resources/StringTable.h"
#include "resources/VersionInfo.h"

namespace torvane::resources {
namespace {

TEST(Language, ChineseOnlyForSimplifiedChineseLocales) {
  struct Case {
    const char* locale;
    Language expected;
  };
  const Case cases[] = {
      {"zh_CN", Language::Chinese},        {"zh_CN.UTF-8", Language::Chinese},
      {"zh_CN.GB18030", Language::Chinese}, {"zh-CN", Language::Chinese},
      {"zh_Hans", Language::Chinese},      {"zh-Hans-CN", Language::Chinese},
      {"zh_Hans_SG", Language::Chinese},   {"ZH_cn", Language::Chinese},
      {"zh_TW.UTF-8", Language::English},  {"zh_HK", Language::English},
      {"zh_Hant_CN", Language::English},   {"zh", Language::English},
      {"en_US.UTF-8", Language::English},  {"de_DE@euro", Language::English},
      {"C", Language::English},            {"", Language::English},
      {"zhx_CN", Language::English},       {"cn", Language::English},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LanguageFromLocale(c.locale), c.expected) << c.locale;
  }
}

TEST(Language, EnvironmentFollowsTheMessageCatalogueOrder) {
  using Env = std::map<std::string, std::string>;
  auto decide = [](const Env& env) {
    return LanguageFromEnvironment([&env](const char* name) -> const char* {
      auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    });
  };
  EXPECT_EQ(decide({}), Language::English);
  EXPECT_EQ(decide({{"LANG", "zh_CN.UTF-8"}}), Language::Chinese);
  EXPECT_EQ(decide({{"LANG", "zh_CN.UTF-8"}, {"LC_MESSAGES", "en_GB.UTF-8"}}), Language::English);
  EXPECT_EQ(decide({{"LANG", "en_US.UTF-8"}, {"LC_ALL", "zh_CN.UTF-8"}}), Language::Chinese);
  EXPECT_EQ(decide({{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "zh_CN:en"}}), Language::Chinese);
  // LANGUAGE is ignored under the C locale, as the C library does.
  EXPECT_EQ(decide({{"LANG", "C"}, {"LANGUAGE", "zh_CN"}}), Language::English);
  EXPECT_EQ(decide({{"LC_ALL", ""}, {"LANG", "zh_Hans"}}), Language::Chinese);
}

TEST(StringTable, EveryIdExistsInBothLanguagesAndOthersAreEmpty) {
  for (int id = kStrAboutItem; id <= kStrExportFailed; ++id) {
    EXPECT_FALSE(LoadString(id, Language::English).empty()) << id;
    EXPECT_FALSE(LoadString(id, Language::Chinese).empty()) << id;
  }
  EXPECT_TRUE(LoadString(100, Language::English).empty());
  EXPECT_TRUE(LoadString(115, Language::Chinese).empty());
  EXPECT_EQ(LoadString(kStrBurnOk, Language::English), "Burn Successes!");
  EXPECT_EQ(LoadString(kStrReadyToBurn, Language::Chinese), "请单击“开始烧录”！");
  EXPECT_EQ(LoadString(kStrAboutItem, Language::English), "&About Common USB Torvane...");
}

TEST(DialogTemplates, BothLanguagesHaveTheSameControlsWithUniqueIds) {
  for (int dialogId : {kMainDialog, kAboutDialog}) {
    std::vector<int> english;
    std::vector<int> chinese;
    for (const auto& c : FindDialogTemplate(dialogId, Language::English)->controls) english.push_back(c.id);
    for (const auto& c : FindDialogTemplate(dialogId, Language::Chinese)->controls) chinese.push_back(c.id);
    std::set<int> unique;
    for (int id : english) {
      if (id != kIdStatic) {
        EXPECT_TRUE(unique.insert(id).second) << "duplicate id " << id;
      }
    }
    std::sort(english.begin(), english.end());
    std::sort(chinese.begin(), chinese.end());
    EXPECT_EQ(english, chinese) << dialogId;
  }
  EXPECT_EQ(FindDialogTemplate(101, Language::English), nullptr);
}

TEST(DialogTemplates, TabControlComesLastAndTheChineseOrderDiffersOnlyAtTheIdentityFields) {
  auto order = [](Language language) {
    std::vector<int> ids;
    for (const auto& c : MainDialogTemplate(language).controls) ids.push_back(c.id);
    return ids;
  };
  const std::vector<int> english = order(Language::English);
  const std::vector<int> chinese = order(Language::Chinese);
  ASSERT_EQ(english.size(), 27u);
  EXPECT_EQ(english.back(), kTabControl);
  EXPECT_EQ(std::vector<int>(english.end() - 9, english.end()),
            (std::vector<int>{1024, 1033, 1034, 1029, 1030, 1031, 1032, 1035, 1050}));
  EXPECT_EQ(std::vector<int>(chinese.end() - 9, chinese.end()),
            (std::vector<int>{1024, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1050}));
  EXPECT_TRUE(std::equal(english.begin(), english.end() - 8, chinese.begin()));
}

TEST(DialogUnits, BaseUnitsSixByThirteenAt96DpiScaleWithDpi) {
  EXPECT_EQ(DialogUnitsToPixelsX(320, 96), 480);
  EXPECT_EQ(DialogUnitsToPixelsY(185, 96), 301);
  EXPECT_EQ(DialogUnitsToPixelsX(320, 192), 960);
  EXPECT_EQ(DialogUnitsToPixelsY(185, 144), 451);
  // Edges are rounded, so two controls that touch in dialog units touch in pixels.
  const PixelRect a = DialogUnitsToPixels({0, 0, 3, 3}, 96);
  const PixelRect b = DialogUnitsToPixels({3, 3, 3, 3}, 96);
  EXPECT_EQ(a.x + a.width, b.x);
  EXPECT_EQ(a.y + a.height, b.y);
  EXPECT_EQ(DialogUnitsToPixels({14, 145, 290, 8}, 96), (PixelRect{21, 236, 435, 13}));
}

TEST(Pictures, IconAndLogoStayInsideTheirOwnBounds) {
  for (int id : {kAppIcon, kLogoBitmap}) {
    const Picture* picture = FindPicture(id);
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->shapes.empty());
    for (const PictureShape& shape : picture->shapes) {
      EXPECT_GE(shape.left, 0);
      EXPECT_LE(shape.right, picture->width);
      EXPECT_LE(shape.bottom, picture->height);
      for (const PicturePoint& p : shape.points) {
        EXPECT_TRUE(p.x >= 0 && p.x <= picture->width && p.y >= 0 && p.y <= picture->height) << id;
      }
    }
  }
  EXPECT_EQ(FindPicture(129), nullptr);
}

TEST(VersionRecord, VersionAndNamesPerLanguage) {
  const VersionRecord& version = ProgramVersion();
  EXPECT_EQ(VersionText(version.fileVersion), "1.0.0.3");
  EXPECT_EQ(VersionText(version.productVersion), "1.0.0.3");
  EXPECT_EQ(version.Block(Language::English).originalFilename, "Common USB Torvane.exe");
  EXPECT_EQ(version.Block(Language::Chinese).productName, "USBTorvane");
  EXPECT_NE(WindowsManifest().find("asInvoker"), std::string_view::npos);
}

}  // namespace
}  // namespace torvane::resources
