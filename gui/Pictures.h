// Draws the program's vector pictures (resources/Pictures.h) with Qt.
#pragma once

#include <QIcon>
#include <QImage>

#include "resources/Pictures.h"

namespace torvane::gui {

QImage RenderPicture(const resources::Picture& picture, int width, int height);
// The application icon with an image for each of its sizes.
QIcon ProgramIcon();

}  // namespace torvane::gui
