// Draws the main window's skin: a 440 x 340 picture whose exact magenta
// pixels are cut out of the window, and whose painted panels, boxes and
// buttons lie under the window's controls.
//
//   draw_skin OUT.png             the skin as shipped
//   draw_skin --overlay OUT.png   the same with the control rectangles in red,
//                                 for checking the alignment by eye
//   draw_skin --preview OUT.png   with sample texts, lights and bar painted on
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>
#include <QRectF>
#include <QString>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 440;
constexpr int kHeight = 340;
constexpr double kTwipsPerPixel = 15.0;

const QColor kKey(255, 0, 255);
const QColor kFieldBack(33, 37, 41);
const QColor kFieldText(180, 200, 220);
const QColor kCaption(150, 166, 182);
const QColor kAccent(104, 164, 214);
const QColor kRim(14, 16, 18);
const QColor kDeepShadow(18, 20, 23);
const QColor kPanel(42, 47, 53);
const QColor kDarkRed(110, 10, 10);
const char* const kFamily = "DejaVu Sans";

// A control's rectangle in twips relative to the window, as the window lays
// it out; the skin is drawn in pixels at 96 dpi.
struct Control {
  const char* name;
  int left, top, width, height;
  bool round;
};

QRectF Px(const Control& c) {
  return QRectF(c.left / kTwipsPerPixel, c.top / kTwipsPerPixel, c.width / kTwipsPerPixel,
                c.height / kTwipsPerPixel);
}

constexpr Control kSegments{"str_segments", 2100, 1500, 615, 315, false};
constexpr Control kHeartline{"str_heartline", 2100, 1950, 615, 315, false};
constexpr Control kStartSpeed{"str_startspeed", 2100, 2400, 615, 315, false};
constexpr Control kEndSpeed{"str_endspeed", 2100, 2850, 615, 315, false};
constexpr Control kPrecision{"str_precision", 2100, 3300, 615, 315, false};
constexpr Control kFilter{"str_filter", 2100, 3750, 615, 315, false};
constexpr Control kSlopeIn{"str_slope_in", 3600, 3300, 765, 315, false};
constexpr Control kRadiusIn{"str_radius_in", 4500, 3300, 765, 315, false};
constexpr Control kTiltIn{"str_tilt_in", 5400, 3300, 765, 315, false};
constexpr Control kSlopeOut{"str_slope_out", 3600, 3750, 765, 315, false};
constexpr Control kRadiusOut{"str_radius_out", 4500, 3750, 765, 315, false};
constexpr Control kTiltOut{"str_tilt_out", 5400, 3750, 765, 315, false};
constexpr Control kLength{"Lengthlabel", 3905, 2760, 900, 315, false};
constexpr Control kFriction{"SLopeLabel", 4950, 2760, 900, 315, false};
constexpr Control kLight1{"statuslight1", 3272, 2664, 94, 94, true};
constexpr Control kLight2{"statuslight2", 3420, 2664, 94, 94, true};
constexpr Control kLight3{"statuslight3", 3570, 2664, 94, 94, true};
constexpr Control kProgress{"Progressbar", 2920, 2400, 145, 1680, false};
constexpr Control kBubble{"bubbleshape", 2950, 3960, 40, 40, true};
constexpr Control kLoad{"btnLoad", 540, 4620, 1335, 255, false};
constexpr Control kModify{"btnMod", 2340, 4620, 1335, 255, false};
constexpr Control kSave{"btnSave", 4140, 4620, 1335, 255, false};
constexpr Control kMinimize{"minimizeme", 5280, 180, 495, 315, false};
constexpr Control kClose{"closeme", 5820, 180, 435, 315, false};
constexpr Control kMessage{"Message_Label", 780, 4220, 1635, 315, false};

constexpr Control kAllControls[] = {kSegments,  kHeartline, kStartSpeed, kEndSpeed, kPrecision,
                                    kFilter,    kSlopeIn,   kRadiusIn,   kTiltIn,   kSlopeOut,
                                    kRadiusOut, kTiltOut,   kLength,     kFriction, kLight1,
                                    kLight2,    kLight3,    kProgress,   kBubble,   kLoad,
                                    kModify,    kSave,      kMinimize,   kClose,    kMessage};

// The bubble wanders inside the tube: its left edge is kept within
// 2920..3025 twips and a burst widens it to 120 twips while moving it 20 to
// the left twice; it rises from a top of 4000 to at most 2500 twips.
const QRectF kTubeInside(2880 / kTwipsPerPixel, 2340 / kTwipsPerPixel, 270 / kTwipsPerPixel,
                         1770 / kTwipsPerPixel);

// Panels, in pixels.
const QRectF kSettingsPanel(10, 46, 176, 230);
const QRectF kTablePanel(216, 46, 214, 110);
const QRectF kResultsPanel(216, 162, 214, 114);

QFont Font(int pixel_size, QFont::Weight weight = QFont::Normal) {
  QFont font(kFamily);
  font.setPixelSize(pixel_size);
  font.setWeight(weight);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

void Text(QPainter& p, const QRectF& r, int flags, const QString& text, const QFont& font,
          const QColor& color) {
  p.setFont(font);
  p.setPen(color);
  p.drawText(r, flags, text);
}

// Text with a one-pixel dark shadow below, so it reads as engraved.
void EngravedText(QPainter& p, const QRectF& r, int flags, const QString& text, const QFont& font,
                  const QColor& color) {
  Text(p, r.translated(0, 1), flags, text, font, QColor(0, 0, 0, 150));
  Text(p, r, flags, text, font, color);
}

// Fills the inside corner where two parts of the outline meet at `corner`;
// (sx, sy) point into the notch.
QPainterPath Fillet(QPointF corner, double sx, double sy, double r) {
  QPainterPath square;
  square.addRect(QRectF(corner, corner + QPointF(sx * r, sy * r)).normalized());
  QPainterPath round;
  round.addEllipse(corner + QPointF(sx * r, sy * r), r, r);
  return square.subtracted(round);
}

// The overall outline: a title strip, the main body and a footer that holds
// the three command buttons. Everything outside becomes magenta.
QPainterPath Outline() {
  QPainterPath title;
  title.addRoundedRect(QRectF(14, 2, 412, 40), 12, 12);
  QPainterPath body;
  body.addRoundedRect(QRectF(2, 30, 436, 276), 14, 14);
  QPainterPath footer;
  footer.addRoundedRect(QRectF(22, 290, 396, 47), 12, 12);
  QPainterPath shape = title.united(body).united(footer);
  shape = shape.united(Fillet(QPointF(14, 30), -1, -1, 6));
  shape = shape.united(Fillet(QPointF(426, 30), 1, -1, 6));
  shape = shape.united(Fillet(QPointF(22, 306), -1, 1, 6));
  shape = shape.united(Fillet(QPointF(418, 306), 1, 1, 6));
  return shape.simplified();
}

void Background(QPainter& p, const QPainterPath& outline) {
  QLinearGradient body(0, 0, 0, kHeight);
  body.setColorAt(0.0, QColor(66, 73, 82));
  body.setColorAt(0.5, QColor(52, 58, 66));
  body.setColorAt(1.0, QColor(40, 45, 51));
  p.fillPath(outline, body);

  // A fine horizontal brushing, barely visible, so the surface is not flat.
  p.save();
  p.setClipPath(outline);
  for (int y = 0; y < kHeight; y += 2) {
    p.fillRect(QRectF(0, y, kWidth, 1), QColor(255, 255, 255, (y / 2) % 3 == 0 ? 5 : 2));
  }
  p.restore();

  // Inner bevel: light above, dark below.
  p.save();
  p.setClipPath(outline);
  QPen light(QColor(255, 255, 255, 40), 2);
  p.setPen(light);
  p.setBrush(Qt::NoBrush);
  p.drawPath(outline.translated(1, 1));
  p.restore();
}

void TitleStrip(QPainter& p) {
  const QRectF strip(14, 4, 412, 34);
  QLinearGradient g(0, strip.top(), 0, strip.bottom());
  g.setColorAt(0.0, QColor(46, 52, 60));
  g.setColorAt(1.0, QColor(30, 34, 39));
  QPainterPath path;
  path.addRoundedRect(strip, 10, 10);
  p.fillPath(path, g);
  p.setPen(QPen(QColor(255, 255, 255, 28), 1));
  p.drawLine(QPointF(26, strip.bottom() + 0.5), QPointF(414, strip.bottom() + 0.5));
  p.setPen(QPen(QColor(0, 0, 0, 120), 1));
  p.drawLine(QPointF(26, strip.bottom() - 0.5), QPointF(414, strip.bottom() - 0.5));

  // Emblem: a banked track curve with the riders' heart line above it.
  p.save();
  p.translate(24, 8);
  QPainterPath rail;
  rail.moveTo(0, 20);
  rail.cubicTo(8, 20, 10, 6, 18, 6);
  rail.cubicTo(24, 6, 26, 14, 32, 14);
  QPainterPath heart = rail.translated(0, -5);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(140, 150, 160), 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(rail);
  p.setPen(QPen(kAccent, 1.4, Qt::DashLine, Qt::RoundCap));
  p.drawPath(heart);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(220, 70, 70));
  p.drawEllipse(QPointF(18, 1), 2.2, 2.2);
  p.restore();

  EngravedText(p, QRectF(62, 6, 120, 30), Qt::AlignLeft | Qt::AlignVCenter, "Torvix",
               Font(19, QFont::Bold), QColor(210, 222, 234));
  EngravedText(p, QRectF(138, 7, 160, 30), Qt::AlignLeft | Qt::AlignVCenter, "heartline banking",
               Font(10), kCaption);

  // Minimize and close buttons.
  auto button = [&p](const QRectF& r, const QColor& top, const QColor& bottom) {
    QPainterPath path;
    path.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    QLinearGradient face(0, r.top(), 0, r.bottom());
    face.setColorAt(0.0, top);
    face.setColorAt(1.0, bottom);
    p.fillPath(path, face);
    p.setPen(QPen(kRim, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 45), 1));
    p.drawLine(QPointF(r.left() + 4, r.top() + 1.5), QPointF(r.right() - 4, r.top() + 1.5));
  };
  const QRectF minimize = Px(kMinimize);
  const QRectF close = Px(kClose);
  button(minimize, QColor(80, 89, 100), QColor(52, 58, 66));
  button(close, QColor(150, 52, 52), QColor(100, 30, 30));
  p.setPen(QPen(kFieldText, 2, Qt::SolidLine, Qt::FlatCap));
  const QPointF mc = minimize.center();
  p.drawLine(QPointF(mc.x() - 6, mc.y() + 4), QPointF(mc.x() + 6, mc.y() + 4));
  const QPointF cc = close.center();
  p.setPen(QPen(QColor(236, 224, 224), 1.8, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(cc.x() - 4, cc.y() - 4), QPointF(cc.x() + 4, cc.y() + 4));
  p.drawLine(QPointF(cc.x() - 4, cc.y() + 4), QPointF(cc.x() + 4, cc.y() - 4));
}

// A recessed panel with a small heading on its top edge.
void Panel(QPainter& p, const QRectF& r, const QString& heading) {
  QPainterPath path;
  path.addRoundedRect(r, 7, 7);
  QLinearGradient g(0, r.top(), 0, r.bottom());
  g.setColorAt(0.0, QColor(38, 43, 49));
  g.setColorAt(1.0, kPanel);
  p.fillPath(path, g);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0, 0, 0, 140), 1));
  p.drawPath(path.translated(0.5, 0.5));
  p.setPen(QPen(QColor(255, 255, 255, 30), 1));
  p.drawPath(path.translated(0.5, 1.5));

  if (!heading.isEmpty()) {
    const QRectF head(r.left() + 10, r.top() + 3, r.width() - 20, 14);
    Text(p, head, Qt::AlignLeft | Qt::AlignVCenter, heading, Font(9, QFont::Bold), kAccent);
    p.setPen(QPen(QColor(104, 164, 214, 70), 1));
    p.drawLine(QPointF(r.left() + 10, r.top() + 18.5), QPointF(r.right() - 10, r.top() + 18.5));
  }
}

// A sunken box for a text field or label; the control covers its inside.
void Well(QPainter& p, const QRectF& r) {
  const QRectF outer = r.adjusted(-2, -2, 2, 2);
  QPainterPath path;
  path.addRoundedRect(outer, 3, 3);
  p.fillPath(path, kDeepShadow);
  p.setPen(QPen(QColor(255, 255, 255, 36), 1));
  p.drawLine(QPointF(outer.left() + 2, outer.bottom() + 0.5),
             QPointF(outer.right() - 2, outer.bottom() + 0.5));
  p.fillRect(r, kFieldBack);
  p.fillRect(QRectF(r.left(), r.top(), r.width(), 1), QColor(24, 27, 30));
}

void SettingsPanel(QPainter& p) {
  Panel(p, kSettingsPanel, "PARAMETERS");
  struct Row {
    Control control;
    const char* caption;
    const char* unit;
  };
  const Row rows[] = {{kSegments, "Segments", ""},
                      {kHeartline, "Heartline", "m"},
                      {kStartSpeed, "Speed in", "m/s"},
                      {kEndSpeed, "Speed out", "m/s"},
                      {kPrecision, "Precision", "4\u201316"},
                      {kFilter, "Filter", ""}};
  const QFont caption = Font(11);
  const QFont unit = Font(8);

  // Group the two speeds and the fitting settings with faint separators.
  p.setPen(QPen(QColor(255, 255, 255, 14), 1));
  for (double y : {155.5, 215.5}) {
    p.drawLine(QPointF(kSettingsPanel.left() + 12, y), QPointF(kSettingsPanel.right() - 12, y));
  }

  for (const Row& row : rows) {
    const QRectF field = Px(row.control);
    Well(p, field);
    const double left = kSettingsPanel.left() + 8;
    const QRectF line(left, field.top(), field.left() - 8 - left, field.height());
    EngravedText(p, line.adjusted(0, 0, -30, 0), Qt::AlignRight | Qt::AlignVCenter, row.caption,
                 caption, kFieldText);
    Text(p, line, Qt::AlignRight | Qt::AlignVCenter, QString::fromUtf8(row.unit), unit, kCaption);
  }

  // What the panel is for, above the fields.
  Text(p,
       QRectF(kSettingsPanel.left() + 10, kSettingsPanel.top() + 22, kSettingsPanel.width() - 20,
              30),
       Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
       "Rebuild the spline on the riders'\nheartline and bank it to the forces.", Font(8),
       QColor(120, 134, 148));
}

void TablePanel(QPainter& p) {
  Panel(p, kTablePanel, "RECOMMENDED HEARTLINE (m)");
  struct Entry {
    const char* type;
    const char* height;
  };
  const Entry left[] = {{"Sit-down", "1.1"},  {"Hyper", "1.2"},    {"Wooden", "1.0"},
                        {"Floorless", "1.2"}, {"Stand-up", "1.5"}, {"Family", "0.9"}};
  const Entry right[] = {{"Inverted", "-1.2"}, {"Suspended", "-1.6"}, {"Flying", "-0.6"},
                         {"Wing", "0.4"},      {"Bobsled", "0.8"},    {"Spinning", "0.9"}};
  const double top = kTablePanel.top() + 22;
  const double row_height = 14;
  const double column_width = (kTablePanel.width() - 24) / 2.0;
  const QFont name = Font(10);
  const QFont value = Font(10, QFont::Bold);
  for (int column = 0; column < 2; ++column) {
    const double x = kTablePanel.left() + 8 + column * (column_width + 8);
    const Entry* entries = column == 0 ? left : right;
    for (int i = 0; i < 6; ++i) {
      const QRectF cell(x, top + i * row_height, column_width, row_height);
      if (i % 2 == 0) {
        p.fillRect(cell, QColor(255, 255, 255, 9));
      }
      Text(p, cell.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, entries[i].type, name,
           kCaption);
      const bool negative = entries[i].height[0] == '-';
      Text(p, cell.adjusted(0, 0, -5, 0), Qt::AlignRight | Qt::AlignVCenter, entries[i].height,
           value, negative ? QColor(226, 170, 110) : kFieldText);
    }
  }
  // Column divider.
  const double divider = kTablePanel.left() + 8 + column_width + 4;
  p.setPen(QPen(QColor(255, 255, 255, 22), 1));
  p.drawLine(QPointF(divider + 0.5, top + 1), QPointF(divider + 0.5, top + 6 * row_height - 1));
}

void Tube(QPainter& p) {
  const QRectF inside = kTubeInside;
  const QRectF glass = inside.adjusted(-3, -2, 3, 2);

  // Dark liquid with a slight cyan cast, so the red bar and the pale bubble
  // both stand out.
  QLinearGradient liquid(glass.left(), 0, glass.right(), 0);
  liquid.setColorAt(0.0, QColor(34, 56, 72));
  liquid.setColorAt(0.45, QColor(18, 30, 40));
  liquid.setColorAt(1.0, QColor(30, 48, 62));
  QPainterPath body;
  body.addRoundedRect(glass, 6, 6);
  p.fillPath(body, liquid);

  // Scale marks every tenth of the bar.
  const QRectF bar = Px(kProgress);
  p.setPen(QPen(QColor(180, 200, 220, 60), 1));
  for (int i = 1; i < 10; ++i) {
    const double y = bar.bottom() - bar.height() * i / 10.0;
    const double len = i == 5 ? 5 : 3;
    p.drawLine(QPointF(glass.right() - 1 - len, y), QPointF(glass.right() - 1, y));
  }

  // Glass rim and reflections.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0, 0, 0, 170), 1));
  p.drawRoundedRect(glass.adjusted(-0.5, -0.5, 0.5, 0.5), 6, 6);
  p.setPen(QPen(QColor(190, 215, 235, 110), 1));
  p.drawRoundedRect(glass.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
  p.setPen(QPen(QColor(255, 255, 255, 70), 1.5));
  p.drawLine(QPointF(glass.left() + 2.5, glass.top() + 8),
             QPointF(glass.left() + 2.5, glass.bottom() - 8));

  // Metal caps at both ends.
  auto cap = [&p](const QRectF& r) {
    QLinearGradient metal(r.left(), 0, r.right(), 0);
    metal.setColorAt(0.0, QColor(70, 76, 84));
    metal.setColorAt(0.35, QColor(170, 178, 188));
    metal.setColorAt(1.0, QColor(60, 66, 74));
    QPainterPath path;
    path.addRoundedRect(r, 2.5, 2.5);
    p.fillPath(path, metal);
    p.setPen(QPen(kRim, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  };
  cap(QRectF(glass.left() - 3, glass.top() - 7, glass.width() + 6, 8));
  cap(QRectF(glass.left() - 3, glass.bottom() - 1, glass.width() + 6, 8));
}

void ResultsPanel(QPainter& p) {
  Panel(p, kResultsPanel, "");

  // Painted dark-red lamps under the three status lights.
  const QFont lamp_font = Font(7, QFont::Bold);
  const char* lamp_names[] = {"L", "H", "S"};
  const Control lights[] = {kLight1, kLight2, kLight3};
  for (int i = 0; i < 3; ++i) {
    const QRectF light = Px(lights[i]);
    const QPointF c = light.center();
    p.setPen(Qt::NoPen);
    p.setBrush(kDeepShadow);
    p.drawEllipse(c, 4.6, 4.6);
    QRadialGradient lamp(c + QPointF(-1, -1), 4);
    lamp.setColorAt(0.0, QColor(170, 30, 30));
    lamp.setColorAt(0.6, kDarkRed);
    lamp.setColorAt(1.0, QColor(60, 4, 4));
    p.setBrush(lamp);
    p.drawEllipse(c, 3.4, 3.4);
    Text(p, QRectF(c.x() - 5, light.top() - 11, 10, 9), Qt::AlignCenter, lamp_names[i], lamp_font,
         kCaption);
  }

  // Length and friction.
  const QRectF length = Px(kLength);
  const QRectF friction = Px(kFriction);
  Well(p, length);
  Well(p, friction);
  const QFont caption = Font(9);
  Text(p, QRectF(length.left(), length.top() - 14, length.width(), 12), Qt::AlignCenter,
       "Length (m)", caption, kCaption);
  Text(p, QRectF(friction.left(), friction.top() - 14, friction.width(), 12), Qt::AlignCenter,
       "Friction", caption, kCaption);

  // Entry and exit grid.
  const Control grid[] = {kSlopeIn, kRadiusIn, kTiltIn, kSlopeOut, kRadiusOut, kTiltOut};
  for (const Control& c : grid) {
    Well(p, Px(c));
  }
  const char* headings[] = {"Slope (\u00b0)", "Radius (m)", "Tilt (\u00b0)"};
  const QFont heading = Font(9, QFont::Bold);
  for (int i = 0; i < 3; ++i) {
    const QRectF cell = Px(grid[i]);
    Text(p, QRectF(cell.left() - 4, cell.top() - 14, cell.width() + 8, 12), Qt::AlignCenter,
         QString::fromUtf8(headings[i]), heading, kFieldText);
  }
  const QFont row_font = Font(9, QFont::Bold);
  const QRectF in = Px(kSlopeIn);
  const QRectF out = Px(kSlopeOut);
  Text(
      p,
      QRectF(kResultsPanel.left() + 2, in.top(), in.left() - kResultsPanel.left() - 6, in.height()),
      Qt::AlignRight | Qt::AlignVCenter, "In", row_font, kAccent);
  Text(p,
       QRectF(kResultsPanel.left() + 2, out.top(), out.left() - kResultsPanel.left() - 6,
              out.height()),
       Qt::AlignRight | Qt::AlignVCenter, "Out", row_font, kAccent);
}

void MessageWindow(QPainter& p) {
  const QRectF r = Px(kMessage);
  Well(p, r);
}

void Footer(QPainter& p) {
  struct Button {
    Control control;
    const char* caption;
  };
  const Button buttons[] = {{kLoad, "Load"}, {kModify, "Heartline"}, {kSave, "Save"}};
  for (const Button& b : buttons) {
    const QRectF r = Px(b.control);
    QPainterPath outer;
    outer.addRoundedRect(r.adjusted(-1.5, -1.5, 1.5, 1.5), 6, 6);
    p.fillPath(outer, kRim);
    QPainterPath face;
    face.addRoundedRect(r, 5, 5);
    QLinearGradient g(0, r.top(), 0, r.bottom());
    g.setColorAt(0.0, QColor(96, 108, 122));
    g.setColorAt(0.5, QColor(70, 80, 92));
    g.setColorAt(1.0, QColor(56, 64, 74));
    p.fillPath(face, g);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.drawLine(QPointF(r.left() + 5, r.top() + 0.5), QPointF(r.right() - 5, r.top() + 0.5));
    EngravedText(p, r, Qt::AlignCenter, b.caption, Font(11, QFont::Bold), QColor(214, 226, 238));
  }

  // Arrows from Load to Heartline and from Heartline to Save.
  auto arrow = [&p](double from, double to, double y) {
    p.setPen(QPen(kAccent, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(from, y), QPointF(to - 5, y));
    QPainterPath head;
    head.moveTo(to, y);
    head.lineTo(to - 7, y - 4.5);
    head.lineTo(to - 7, y + 4.5);
    head.closeSubpath();
    p.fillPath(head, kAccent);
  };
  const QRectF load = Px(kLoad);
  const QRectF modify = Px(kModify);
  const QRectF save = Px(kSave);
  const double y = load.center().y();
  arrow(load.right() + 6, modify.left() - 5, y);
  arrow(modify.right() + 6, save.left() - 5, y);

  EngravedText(p, QRectF(save.right() + 6, save.top() - 2, 40, save.height() + 4), Qt::AlignCenter,
               "V1.6", Font(12, QFont::Bold), kCaption);
}

// Cuts the artwork to its outline: every pixel outside becomes exactly the
// key colour (no anti-aliased fringe, the window's region is cut on exact
// matches), and the pixels along the cut get a crisp dark rim.
void CutOutline(QImage& image, const QPainterPath& outline) {
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath all;
    all.addRect(QRectF(0, 0, kWidth, kHeight));
    p.fillPath(all.subtracted(outline), kKey);
  }
  const QRgb key = kKey.rgb();
  std::vector<bool> cut(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      cut[static_cast<size_t>(y) * kWidth + x] = (image.pixel(x, y) & 0xffffff) == (key & 0xffffff);
    }
  }
  auto is_cut = [&cut](int x, int y) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return true;
    return static_cast<bool>(cut[static_cast<size_t>(y) * kWidth + x]);
  };
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if (is_cut(x, y)) continue;
      if (is_cut(x - 1, y) || is_cut(x + 1, y) || is_cut(x, y - 1) || is_cut(x, y + 1)) {
        image.setPixel(x, y, kRim.rgb());
      }
    }
  }
}

void Overlay(QImage& image) {
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(QColor(255, 0, 0), 0));
  p.setBrush(Qt::NoBrush);
  for (const Control& c : kAllControls) {
    const QRectF r = Px(c);
    if (c.round) {
      p.drawEllipse(r);
    } else {
      p.drawRect(r);
    }
  }
}

// Roughly what the window shows at start-up with a track loaded and a run
// half done, for judging the picture with its controls on top.
void Preview(QImage& image) {
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, true);
  struct Shown {
    Control control;
    const char* text;
  };
  const Shown fields[] = {{kSegments, "60"},    {kHeartline, "1.0"},     {kStartSpeed, "20"},
                          {kEndSpeed, "17"},    {kPrecision, "6"},       {kFilter, "15"},
                          {kSlopeIn, "-2.315"}, {kRadiusIn, "straight"}, {kTiltIn, "none"},
                          {kSlopeOut, "0.000"}, {kRadiusOut, "41.870"},  {kTiltOut, "12.500"},
                          {kLength, "1234.56"}, {kFriction, "0.024315"}};
  const QFont font = Font(11);
  for (const Shown& f : fields) {
    const QRectF r = Px(f.control);
    p.fillRect(r, kFieldBack);
    Text(p, r.adjusted(3, 0, -3, 0), Qt::AlignLeft | Qt::AlignVCenter, f.text, font, kFieldText);
  }
  Text(p, Px(kMessage), Qt::AlignCenter, "Ready", QFont("DejaVu Sans Mono", 9), kFieldText);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 192, 0));
  p.drawEllipse(Px(kLight1));
  const QRectF bar = Px(kProgress);
  p.setBrush(QColor(255, 0, 0));
  p.drawRect(QRectF(bar.left(), bar.bottom() - bar.height() / 2, bar.width(), bar.height() / 2));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(kFieldText, 1));
  p.drawEllipse(QRectF(3000 / kTwipsPerPixel, 3400 / kTwipsPerPixel, 80 / kTwipsPerPixel,
                       80 / kTwipsPerPixel));
}

}  // namespace

int main(int argc, char** argv) {
  bool overlay = false;
  bool preview = false;
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--overlay") == 0) {
      overlay = true;
    } else if (std::strcmp(argv[i], "--preview") == 0) {
      preview = true;
    } else if (out == nullptr) {
      out = argv[i];
    } else {
      out = nullptr;
      break;
    }
  }
  if (out == nullptr) {
    std::fprintf(stderr, "usage: draw_skin [--overlay] [--preview] OUT.png\n");
    return 2;
  }

  // Text needs a font database, which needs an application; no window is shown.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QGuiApplication app(argc, argv);

  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  image.fill(kRim);
  const QPainterPath outline = Outline();
  {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    Background(p, outline);
    TitleStrip(p);
    SettingsPanel(p);
    TablePanel(p);
    Tube(p);
    ResultsPanel(p);
    MessageWindow(p);
    Footer(p);
  }
  CutOutline(image, outline);
  if (preview) {
    Preview(image);
  }
  if (overlay) {
    Overlay(image);
  }

  long keyed = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if ((image.pixel(x, y) & 0xffffff) == (kKey.rgb() & 0xffffff)) ++keyed;
    }
  }
  if (!image.save(QString::fromLocal8Bit(out), "PNG")) {
    std::fprintf(stderr, "draw_skin: cannot write %s\n", out);
    return 1;
  }
  std::printf("%s: %dx%d, %ld key-coloured pixels\n", out, kWidth, kHeight, keyed);
  return 0;
}
