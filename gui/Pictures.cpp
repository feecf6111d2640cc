#include "gui/Pictures.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace torvane::gui {
namespace {

QColor ToColor(const resources::Rgba& c) { return QColor(c.r, c.g, c.b, c.a); }

void DrawText(QPainter& painter, const resources::PictureShape& shape, const QRectF& box) {
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setBold(true);
  const QString text = QString::fromUtf8(shape.text.data(), static_cast<qsizetype>(shape.text.size()));
  // The largest pixel size whose text fits the box.
  double size = box.height();
  for (; size > 4.0; size -= 0.5) {
    font.setPixelSize(static_cast<int>(size));
    const QFontMetricsF metrics(font);
    if (metrics.horizontalAdvance(text) <= box.width() && metrics.height() <= box.height() * 1.3) break;
  }
  painter.setFont(font);
  painter.setPen(ToColor(shape.fill));
  painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
}

}  // namespace

QImage RenderPicture(const resources::Picture& picture, int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  const double sx = width / static_cast<double>(picture.width);
  const double sy = height / static_cast<double>(picture.height);
  for (const resources::PictureShape& shape : picture.shapes) {
    const QRectF box(shape.left * sx, shape.top * sy, (shape.right - shape.left) * sx, (shape.bottom - shape.top) * sy);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ToColor(shape.fill));
    switch (shape.kind) {
      case resources::ShapeKind::RoundedRect:
        painter.drawRoundedRect(box, shape.radius * sx, shape.radius * sy);
        break;
      case resources::ShapeKind::Ellipse:
        painter.drawEllipse(box);
        break;
      case resources::ShapeKind::Polygon: {
        QPolygonF polygon;
        for (const resources::PicturePoint& p : shape.points) polygon << QPointF(p.x * sx, p.y * sy);
        painter.drawPolygon(polygon);
        break;
      }
      case resources::ShapeKind::Text:
        DrawText(painter, shape, box);
        break;
    }
  }
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : resources::kIconPixelSizes) {
    icon.addPixmap(QPixmap::fromImage(RenderPicture(resources::AppIconPicture(), size, size)));
  }
  return icon;
}

}  // namespace torvane::gui
