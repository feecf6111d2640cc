// The program's pictures as simple vector data, drawn by each front end at the size it needs: the
// application icon (128), rendered at 16, 24, 32, 48 and 256 pixels, and the logo of the main dialog
// (130). Coordinates are in the picture's own units (`width` x `height`), y pointing down.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace torvane::resources {

struct Rgba {
  std::uint8_t r, g, b, a;
};

struct PicturePoint {
  float x, y;
};

enum class ShapeKind {
  RoundedRect,  // box, corner radius
  Ellipse,      // box
  Polygon,      // points
  Text,         // text in the front end's dialog font, bold, fitted to the box, left-aligned, centred vertically
};

struct PictureShape {
  ShapeKind kind;
  Rgba fill;
  float left = 0, top = 0, right = 0, bottom = 0;
  float radius = 0;
  std::span<const PicturePoint> points{};
  std::string_view text{};
};

struct Picture {
  int id;
  float width;
  float height;
  std::span<const PictureShape> shapes;  // painted in order
};

constexpr std::array<int, 5> kIconPixelSizes{16, 24, 32, 48, 256};

const Picture& AppIconPicture();
const Picture& LogoPicture();
// The picture `id` (128 or 130), or nullptr.
const Picture* FindPicture(int id);

}  // namespace torvane::resources
