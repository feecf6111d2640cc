#include "resources/Pictures.h"

#include "resources/ResourceIds.h"

namespace torvane::resources {
namespace {

constexpr Rgba kNavy{0x1d, 0x3a, 0x6e, 0xff};
constexpr Rgba kSky{0x4f, 0xa3, 0xe0, 0xff};
constexpr Rgba kWhite{0xff, 0xff, 0xff, 0xff};
constexpr Rgba kAmber{0xf5, 0xb3, 0x1b, 0xff};
constexpr Rgba kPale{0xe8, 0xf1, 0xfa, 0xff};

// A lightning stroke: the flash being written.
constexpr std::array kBolt{PicturePoint{17, 3}, PicturePoint{9, 17}, PicturePoint{15, 17},
                           PicturePoint{12, 29}, PicturePoint{23, 13}, PicturePoint{17, 13},
                           PicturePoint{21, 3}};

// Icon, 32 x 32 units: a camera lens on a navy tile with the bolt across it.
constexpr std::array kIconShapes{
    PictureShape{ShapeKind::RoundedRect, kNavy, 0, 0, 32, 32, 6},
    PictureShape{ShapeKind::Ellipse, kWhite, 4, 4, 28, 28},
    PictureShape{ShapeKind::Ellipse, kSky, 8, 8, 24, 24},
    PictureShape{ShapeKind::Ellipse, kNavy, 12, 12, 20, 20},
    PictureShape{ShapeKind::Polygon, kAmber, 0, 0, 0, 0, 0, kBolt},
};

constexpr std::array kLogoBolt{PicturePoint{12.5f, 2}, PicturePoint{7, 11}, PicturePoint{11, 11},
                               PicturePoint{9, 18}, PicturePoint{16, 8}, PicturePoint{12, 8},
                               PicturePoint{15, 2}};

// Logo, 82 x 20 units (the size of its place in the dialog): the lens and the name.
constexpr std::array kLogoShapes{
    PictureShape{ShapeKind::RoundedRect, kPale, 0, 0, 82, 20, 4},
    PictureShape{ShapeKind::Ellipse, kNavy, 2, 1, 20, 19},
    PictureShape{ShapeKind::Ellipse, kSky, 5, 4, 17, 16},
    PictureShape{ShapeKind::Polygon, kAmber, 0, 0, 0, 0, 0, kLogoBolt},
    PictureShape{ShapeKind::Text, kNavy, 24, 2, 80, 18, 0, {}, "Torvane"},
};

constexpr Picture kIcon{kAppIcon, 32, 32, kIconShapes};
constexpr Picture kLogo{kLogoBitmap, 82, 20, kLogoShapes};

}  // namespace

const Picture& AppIconPicture() { return kIcon; }
const Picture& LogoPicture() { return kLogo; }

const Picture* FindPicture(int id) {
  if (id == kAppIcon) return &kIcon;
  if (id == kLogoBitmap) return &kLogo;
  return nullptr;
}

}  // namespace torvane::resources
