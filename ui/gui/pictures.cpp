#include "ui/gui/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "ui/gui/gui_common.h"
#include "ui/ui_strings.h"

namespace quorvex {

namespace {

constexpr int kPictureWidth = 104;
constexpr int kPictureHeight = 78;

const QColor kInk(40, 40, 48);
const QColor kPaper(255, 255, 255);
const QColor kLine(150, 155, 170);
const QColor kBlue(30, 90, 200);
const QColor kGreen(0, 128, 0);
const QColor kBook(232, 176, 40);

/// A sheet of paper with a folded corner.
void Sheet(QPainter& p, const QRectF& r) {
  const qreal fold = r.width() * 0.22;
  QPainterPath path;
  path.moveTo(r.topLeft());
  path.lineTo(r.right() - fold, r.top());
  path.lineTo(r.right(), r.top() + fold);
  path.lineTo(r.bottomRight());
  path.lineTo(r.bottomLeft());
  path.closeSubpath();
  p.setPen(QPen(kInk, 1.2));
  p.setBrush(kPaper);
  p.drawPath(path);
  p.setBrush(QColor(220, 222, 230));
  p.drawPolygon(
      QPolygonF({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                 QPointF(r.right(), r.top() + fold)}));
}

/// Text lines across `r`, the last one shorter.
void TextLines(QPainter& p, const QRectF& r, int count, const QColor& colour = kLine) {
  p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
  const qreal step = count > 1 ? r.height() / (count - 1) : 0;
  for (int i = 0; i < count; ++i) {
    const qreal y = r.top() + i * step;
    const qreal right = i == count - 1 ? r.left() + r.width() * 0.6 : r.right();
    p.drawLine(QPointF(r.left(), y), QPointF(right, y));
  }
}

void Heading(QPainter& p, const QRectF& r) {
  p.setPen(QPen(kInk, 2.6, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(r.left(), r.top()), QPointF(r.left() + r.width() * 0.7, r.top()));
}

void SmallText(QPainter& p, const QRectF& r, const QString& text, const QColor& colour, int pixels,
               bool bold = false, Qt::Alignment align = Qt::AlignCenter) {
  QFont f = p.font();
  f.setPixelSize(pixels);
  f.setBold(bold);
  p.setFont(f);
  p.setPen(colour);
  p.drawText(r, align, text);
}

/// A closed help book with a question mark on its cover.
void HelpBook(QPainter& p, const QRectF& r) {
  p.setPen(QPen(kInk, r.width() / 28));
  p.setBrush(QColor(250, 245, 225));
  p.drawRoundedRect(r.adjusted(r.width() * 0.08, r.height() * 0.06, 0, 0), 3, 3);
  QLinearGradient cover(r.topLeft(), r.bottomRight());
  cover.setColorAt(0, kBook.lighter(120));
  cover.setColorAt(1, kBook.darker(115));
  p.setBrush(cover);
  const QRectF front = r.adjusted(0, 0, -r.width() * 0.08, -r.height() * 0.06);
  p.drawRoundedRect(front, 3, 3);
  // The question mark, drawn as strokes so no font is needed.
  const QPointF c = front.center();
  const qreal s = front.width() / 5;
  QPainterPath q;
  q.moveTo(c.x() - s, c.y() - s * 0.9);
  q.cubicTo(c.x() - s, c.y() - s * 2.2, c.x() + s, c.y() - s * 2.2, c.x() + s, c.y() - s * 0.9);
  q.cubicTo(c.x() + s, c.y() - s * 0.1, c.x(), c.y() - s * 0.1, c.x(), c.y() + s * 0.7);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kBlue.darker(130), front.width() / 9, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(q);
  p.setBrush(kBlue.darker(130));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(c.x(), c.y() + s * 1.6), front.width() / 15, front.width() / 15);
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, qreal width) {
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(from, to);
  const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
  const QPointF n(-d.y(), d.x());
  const qreal head = width * 2.2;
  p.setBrush(colour);
  p.setPen(Qt::NoPen);
  p.drawPolygon(
      QPolygonF({to + d * head * 0.6, to - d * head + n * head, to - d * head - n * head}));
}

void Printing(QPainter& p) {
  // The printer, a sheet coming out of it.
  p.setPen(QPen(kInk, 1.2));
  p.setBrush(QColor(190, 195, 210));
  p.drawRoundedRect(QRectF(16, 40, 72, 26), 4, 4);
  p.setBrush(QColor(120, 125, 140));
  p.drawRect(QRectF(26, 58, 52, 4));
  Sheet(p, QRectF(28, 6, 48, 42));
  Heading(p, QRectF(34, 14, 34, 0));
  TextLines(p, QRectF(34, 21, 34, 16), 4);
  p.setBrush(kGreen);
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(80, 47), 2.5, 2.5);
}

void Recompiling(QPainter& p) {
  // Source files with footnote marks and a project file, gathered by an arrow into a book.
  Sheet(p, QRectF(6, 6, 40, 50));
  SmallText(p, QRectF(10, 10, 30, 10), "#$K", kBlue, 10, true, Qt::AlignLeft | Qt::AlignVCenter);
  TextLines(p, QRectF(11, 26, 28, 22), 4);
  Sheet(p, QRectF(18, 40, 30, 32));
  SmallText(p, QRectF(18, 46, 28, 18), ".HPJ", kInk, 9, true);
  Arrow(p, QPointF(52, 39), QPointF(66, 39), kBlue, 2.4);
  HelpBook(p, QRectF(70, 18, 30, 40));
}

void Pages(QPainter& p, bool breaks) {
  if (breaks) {
    for (int i = 0; i < 2; ++i) {
      const qreal x = 8 + i * 48;
      Sheet(p, QRectF(x, 6, 40, 64));
      Heading(p, QRectF(x + 6, 14, 26, 0));
      TextLines(p, QRectF(x + 6, 22, 26, 18), 4);
    }
    return;
  }
  Sheet(p, QRectF(30, 4, 46, 70));
  Heading(p, QRectF(36, 12, 30, 0));
  TextLines(p, QRectF(36, 19, 32, 12), 3);
  Heading(p, QRectF(36, 40, 30, 0));
  TextLines(p, QRectF(36, 47, 32, 18), 4);
}

void IndexPage(QPainter& p) {
  Sheet(p, QRectF(22, 4, 60, 70));
  SmallText(p, QRectF(26, 8, 48, 14), "A-Z", kBlue, 12, true, Qt::AlignLeft | Qt::AlignVCenter);
  for (int col = 0; col < 2; ++col) {
    for (int i = 0; i < 5; ++i) {
      const qreal x = 28 + col * 26, y = 30 + i * 8;
      p.setPen(QPen(kLine, 1.6, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(x, y), QPointF(x + 13 - (i % 2) * 4, y));
      p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(QPointF(x + 17, y), QPointF(x + 20, y));
    }
  }
}

void ContentsPage(QPainter& p) {
  Sheet(p, QRectF(22, 4, 60, 70));
  Heading(p, QRectF(28, 13, 40, 0));
  for (int i = 0; i < 5; ++i) {
    const qreal y = 26 + i * 9, indent = (i % 3) ? 6 : 0;
    p.setPen(QPen(kLine, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(28 + indent, y), QPointF(48, y));
    p.setPen(QPen(kLine, 1.4, Qt::DotLine));
    p.drawLine(QPointF(50, y), QPointF(66, y));
    p.setPen(QPen(kInk, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(69, y), QPointF(73, y));
  }
}

void JumpText(QPainter& p, bool page_references) {
  Sheet(p, QRectF(10, 4, 84, 70));
  TextLines(p, QRectF(18, 16, 62, 0), 1);
  if (page_references) {
    SmallText(p, QRectF(16, 22, 74, 16), Tr(kTextPicturePageReference), kInk, 11, false,
              Qt::AlignLeft | Qt::AlignVCenter);
  } else {
    SmallText(p, QRectF(16, 22, 74, 16), Tr(kTextPictureHotspot), kGreen, 12, false,
              Qt::AlignLeft | Qt::AlignVCenter);
    p.setPen(QPen(kGreen, 1.4));
    p.drawLine(QPointF(17, 37), QPointF(58, 37));
  }
  TextLines(p, QRectF(18, 46, 62, 16), 3);
}

void Emblem(QPainter& p, const QRectF& r) {
  // The help book, an arrow, and the document it becomes.
  const qreal w = r.width(), h = r.height();
  HelpBook(p, QRectF(r.left() + w * 0.02, r.top() + h * 0.12, w * 0.42, h * 0.62));
  Sheet(p, QRectF(r.left() + w * 0.55, r.top() + h * 0.32, w * 0.42, h * 0.64));
  TextLines(p, QRectF(r.left() + w * 0.62, r.top() + h * 0.55, w * 0.24, h * 0.3), 4);
  p.setPen(QPen(kBlue, w / 22));
  p.drawLine(QPointF(r.left() + w * 0.62, r.top() + h * 0.45),
             QPointF(r.left() + w * 0.80, r.top() + h * 0.45));
  Arrow(p, QPointF(r.left() + w * 0.36, r.top() + h * 0.86),
        QPointF(r.left() + w * 0.52, r.top() + h * 0.86), kBlue, w / 18);
}

}  // namespace

QPixmap PanelPicture(int id) {
  const bool emblem = id == 6001;
  QImage image(emblem ? QSize(80, 80) : QSize(kPictureWidth, kPictureHeight),
               QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  switch (id) {
    case 7202:
      Printing(p);
      break;
    case 7203:
      Recompiling(p);
      break;
    case 7501:
      Pages(p, false);
      break;
    case 7502:
      Pages(p, true);
      break;
    case 7411:
      IndexPage(p);
      break;
    case 7421:
      ContentsPage(p);
      break;
    case 7701:
      JumpText(p, false);
      break;
    case 7707:
      JumpText(p, true);
      break;
    case 6001:
      Emblem(p, QRectF(2, 2, 76, 76));
      break;
    default:
      return QPixmap();
  }
  p.end();
  return QPixmap::fromImage(image);
}

QImage ProgramIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal m = size * 0.04;
  Emblem(p, QRectF(m, m, size - 2 * m, size - 2 * m));
  return image;
}

QIcon ProgramWindowIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(QPixmap::fromImage(ProgramIcon(size)));
  return icon;
}

}  // namespace quorvex
