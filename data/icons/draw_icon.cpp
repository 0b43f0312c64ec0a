// Draws the program's icon, a coaster loop with the riders' heartline
// inside it on the window's dark panel, as PNG files for the hicolor theme:
//
//   draw_icon OUT_FOLDER          writes OUT_FOLDER/<N>x<N>/apps/torvix.png
//                                 for every size a desktop asks for
//
// The shape is drawn on a 256-unit grid and scaled, so every size comes from
// the same drawing; small sizes get thicker strokes to stay readable.
#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <cstdio>

namespace {

const QColor kPanelTop(66, 73, 82);
const QColor kPanelBottom(33, 37, 41);
const QColor kRim(14, 16, 18);
const QColor kRail(180, 200, 220);
const QColor kAccent(104, 164, 214);
const QColor kHeart(220, 70, 70);

// A track running in from the left, over a loop and out to the right.
QPainterPath TrackPath(double inset) {
    QPainterPath path;
    path.moveTo(24, 196 - inset);
    path.cubicTo(80, 196 - inset, 118, 190 - inset, 150 - inset * 0.3, 150);
    path.cubicTo(178, 108 + inset, 176, 56 + inset, 128, 56 + inset);
    path.cubicTo(80 + inset * 0.5, 56 + inset, 78 + inset * 0.5, 108 + inset, 106 + inset * 0.3, 150);
    path.cubicTo(138, 190 - inset, 176, 196 - inset, 232, 196 - inset);
    return path;
}

QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    // Strokes no thinner than about 1.6 pixels at any size.
    const double min_stroke = 1.6 * 256.0 / size;
    const auto stroke = [min_stroke](double w) { return w > min_stroke ? w : min_stroke; };

    QLinearGradient back(0, 8, 0, 248);
    back.setColorAt(0.0, kPanelTop);
    back.setColorAt(1.0, kPanelBottom);
    p.setPen(QPen(kRim, stroke(6)));
    p.setBrush(back);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kRail, stroke(14), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(TrackPath(0));
    if (size >= 32) {
        // The heartline: the path the riders' hearts follow, above the rails.
        QPen heart(kAccent, stroke(6), Qt::DashLine, Qt::RoundCap, Qt::RoundJoin);
        heart.setDashPattern({2.0, 2.0});
        p.setPen(heart);
        p.drawPath(TrackPath(18));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kHeart);
    if (size >= 32) p.drawEllipse(QPointF(128, 74), 14, 14);
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_icon OUT_FOLDER\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) || !DrawIcon(size).save(folder + "/torvix.png")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
