// Draws every image the program compiles in and prints the two help documents.
//
// Everything is painted with QPainter from fixed seeds, so a run reproduces the same pictures and
// nothing is downloaded. Usage: genresources OUTPUT_DIR HELP_SOURCE_DIR
// OUTPUT_DIR receives img/, skin/, sysButton/, toolWidget/, contentWidget/, mainMenu/, help/ and
// lumo.qrc; HELP_SOURCE_DIR holds the two HTML texts of the help documents.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTextDocument>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

QString g_out;
QStringList g_qrcEntries; // "alias|file"

const QColor kWhite(255, 255, 255);

void save(const QImage &image, const QString &alias, const char *format, int quality = -1)
{
    const QString suffix =
        QString::fromLatin1(format).toLower() == u"jpeg" ? u"jpg"_qs : QString::fromLatin1(format).toLower();
    const QString file = alias.contains(u'.') ? alias : alias + u'.' + suffix;
    const QString path = g_out + u'/' + file;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (qstrcmp(format, "png") == 0)
        writer.setCompression(9);
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        std::exit(1);
    }
    g_qrcEntries << alias + u'|' + file;
}

QImage transparentImage(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QFont cjkFont(int pixelSize, bool bold = true)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// ---------------------------------------------------------------------------------------------
// Skins: a background gradient, a motif, and a darker band at the top so the white title text
// stays legible whatever the motif is.

enum class Motif
{
    Leaves,
    Waves,
    Hearts,
    Bokeh,
    Drops,
    Flowers,
    Rays,
    NightMoon,
    Aurora,
    Hexagons,
    Stones,
    Bolts,
    Swirls,
    Bursts,
    Clouds,
    Birds,
    Notes,
    Balloons,
    Summer,
    Beams,
    Wood,
    Rings,
    Festive
};

struct SkinDef
{
    QColor top;
    QColor bottom;
    Motif motif;
    QColor accent;
};

const SkinDef kSkins[24] = {
    {QColor(20, 110, 60), QColor(150, 210, 120), Motif::Leaves, QColor(200, 245, 170)},
    {QColor(5, 50, 120), QColor(40, 150, 210), Motif::Waves, QColor(160, 220, 255)},
    {QColor(140, 20, 40), QColor(230, 90, 100), Motif::Hearts, QColor(255, 190, 200)},
    {QColor(150, 60, 140), QColor(250, 170, 210), Motif::Bokeh, QColor(255, 235, 250)},
    {QColor(0, 95, 110), QColor(90, 200, 210), Motif::Drops, QColor(220, 255, 255)},
    {QColor(130, 30, 100), QColor(240, 130, 180), Motif::Flowers, QColor(255, 220, 120)},
    {QColor(190, 90, 10), QColor(255, 200, 90), Motif::Rays, QColor(255, 245, 200)},
    {QColor(8, 12, 45), QColor(40, 50, 110), Motif::NightMoon, QColor(255, 250, 210)},
    {QColor(25, 10, 60), QColor(60, 40, 120), Motif::Aurora, QColor(90, 230, 170)},
    {QColor(0, 100, 70), QColor(80, 190, 120), Motif::Hexagons, QColor(210, 255, 220)},
    {QColor(80, 70, 65), QColor(170, 160, 150), Motif::Stones, QColor(220, 210, 200)},
    {QColor(170, 110, 0), QColor(250, 200, 40), Motif::Bolts, QColor(255, 250, 200)},
    {QColor(60, 20, 110), QColor(150, 80, 200), Motif::Swirls, QColor(230, 200, 255)},
    {QColor(180, 40, 10), QColor(250, 140, 40), Motif::Bursts, QColor(255, 230, 150)},
    {QColor(40, 100, 190), QColor(170, 210, 250), Motif::Clouds, QColor(255, 255, 255)},
    {QColor(30, 120, 200), QColor(140, 210, 240), Motif::Birds, QColor(220, 50, 40)},
    {QColor(25, 20, 30), QColor(90, 60, 70), Motif::Notes, QColor(230, 190, 110)},
    {QColor(0, 130, 200), QColor(120, 220, 240), Motif::Balloons, QColor(255, 255, 255)},
    {QColor(0, 120, 150), QColor(120, 230, 230), Motif::Summer, QColor(255, 240, 150)},
    {QColor(10, 70, 150), QColor(70, 150, 220), Motif::Beams, QColor(200, 230, 255)},
    {QColor(100, 60, 30), QColor(170, 115, 65), Motif::Wood, QColor(80, 45, 20)},
    {QColor(190, 70, 120), QColor(250, 180, 200), Motif::Hearts, QColor(255, 235, 240)},
    {QColor(0, 50, 60), QColor(20, 130, 140), Motif::Rings, QColor(150, 255, 240)},
    {QColor(170, 10, 10), QColor(230, 50, 30), Motif::Festive, QColor(255, 215, 60)},
};

QPainterPath heartPath(QPointF c, qreal s)
{
    QPainterPath p;
    p.moveTo(c.x(), c.y() + s * 0.35);
    p.cubicTo(c.x() - s * 1.1, c.y() - s * 0.35, c.x() - s * 0.45, c.y() - s * 1.05, c.x(), c.y() - s * 0.45);
    p.cubicTo(c.x() + s * 0.45, c.y() - s * 1.05, c.x() + s * 1.1, c.y() - s * 0.35, c.x(), c.y() + s * 0.35);
    return p;
}

QPainterPath starPath(QPointF c, qreal outer, qreal inner, qreal rotation = -90)
{
    QPainterPath p;
    for (int i = 0; i < 10; ++i) {
        const qreal r = i % 2 ? inner : outer;
        const qreal a = qDegreesToRadians(rotation + i * 36.0);
        const QPointF pt(c.x() + r * qCos(a), c.y() + r * qSin(a));
        if (i == 0)
            p.moveTo(pt);
        else
            p.lineTo(pt);
    }
    p.closeSubpath();
    return p;
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

void drawMotif(QPainter &p, const SkinDef &d, int w, int h, QRandomGenerator &rng)
{
    auto rnd = [&](double lo, double hi) { return lo + (hi - lo) * rng.generateDouble(); };
    p.setPen(Qt::NoPen);
    switch (d.motif) {
    case Motif::Leaves:
        for (int i = 0; i < 38; ++i) {
            p.save();
            p.translate(rnd(0, w), rnd(h * 0.1, h));
            p.rotate(rnd(0, 360));
            const qreal s = rnd(18, 70);
            QPainterPath leaf;
            leaf.moveTo(0, 0);
            leaf.quadTo(s * 0.5, -s * 0.45, s, 0);
            leaf.quadTo(s * 0.5, s * 0.45, 0, 0);
            p.setBrush(withAlpha(d.accent, int(rnd(50, 140))));
            p.drawPath(leaf);
            p.restore();
        }
        break;
    case Motif::Waves:
        for (int k = 0; k < 9; ++k) {
            QPainterPath wave;
            const qreal base = h * (0.3 + k * 0.08);
            wave.moveTo(0, h);
            wave.lineTo(0, base);
            for (int x = 0; x <= w; x += 8)
                wave.lineTo(x, base + 18 * qSin(x / (70.0 + k * 9) + k * 1.3));
            wave.lineTo(w, h);
            wave.closeSubpath();
            p.setBrush(withAlpha(d.accent, 22 + k * 4));
            p.drawPath(wave);
        }
        break;
    case Motif::Hearts:
        for (int i = 0; i < 30; ++i) {
            p.setBrush(withAlpha(d.accent, int(rnd(40, 150))));
            p.drawPath(heartPath(QPointF(rnd(0, w), rnd(h * 0.05, h)), rnd(12, 60)));
        }
        break;
    case Motif::Bokeh:
        for (int i = 0; i < 60; ++i) {
            const QPointF c(rnd(0, w), rnd(0, h));
            const qreal r = rnd(6, 55);
            QRadialGradient g(c, r);
            g.setColorAt(0, withAlpha(d.accent, int(rnd(60, 150))));
            g.setColorAt(1, withAlpha(d.accent, 0));
            p.setBrush(g);
            p.drawEllipse(c, r, r);
        }
        for (int i = 0; i < 14; ++i) {
            p.setBrush(withAlpha(kWhite, 170));
            p.drawPath(starPath(QPointF(rnd(0, w), rnd(0, h)), rnd(5, 12), rnd(2, 5)));
        }
        break;
    case Motif::Drops:
        for (int i = 0; i < 45; ++i) {
            const QPointF c(rnd(0, w), rnd(0, h));
            const qreal r = rnd(6, 30);
            QRadialGradient g(c + QPointF(-r * 0.35, -r * 0.35), r * 1.2);
            g.setColorAt(0, withAlpha(kWhite, 200));
            g.setColorAt(0.35, withAlpha(d.accent, 90));
            g.setColorAt(1, withAlpha(d.top, 120));
            p.setBrush(g);
            p.drawEllipse(c, r, r * 1.08);
        }
        break;
    case Motif::Flowers:
        for (int i = 0; i < 22; ++i) {
            const QPointF c(rnd(0, w), rnd(h * 0.1, h));
            const qreal r = rnd(16, 48);
            const qreal turn = rnd(0, 72);
            p.setBrush(withAlpha(kWhite, int(rnd(110, 200))));
            for (int k = 0; k < 5; ++k) {
                p.save();
                p.translate(c);
                p.rotate(turn + k * 72);
                p.drawEllipse(QPointF(r * 0.55, 0), r * 0.5, r * 0.28);
                p.restore();
            }
            p.setBrush(d.accent);
            p.drawEllipse(c, r * 0.2, r * 0.2);
        }
        break;
    case Motif::Rays: {
        const QPointF sun(w * 0.82, h * 0.12);
        for (int k = 0; k < 18; ++k) {
            const qreal a = qDegreesToRadians(k * 20.0);
            QPainterPath ray;
            ray.moveTo(sun);
            ray.lineTo(sun + QPointF(1400 * qCos(a - 0.06), 1400 * qSin(a - 0.06)));
            ray.lineTo(sun + QPointF(1400 * qCos(a + 0.06), 1400 * qSin(a + 0.06)));
            ray.closeSubpath();
            p.setBrush(withAlpha(d.accent, 45));
            p.drawPath(ray);
        }
        QRadialGradient g(sun, 140);
        g.setColorAt(0, withAlpha(kWhite, 240));
        g.setColorAt(0.4, withAlpha(d.accent, 180));
        g.setColorAt(1, withAlpha(d.accent, 0));
        p.setBrush(g);
        p.drawEllipse(sun, 140, 140);
        break;
    }
    case Motif::NightMoon:
    case Motif::Aurora:
        for (int i = 0; i < 220; ++i) {
            p.setBrush(withAlpha(kWhite, int(rnd(80, 255))));
            const qreal r = rnd(0.6, 2.0);
            p.drawEllipse(QPointF(rnd(0, w), rnd(0, h)), r, r);
        }
        if (d.motif == Motif::NightMoon) {
            p.setBrush(d.accent);
            p.drawEllipse(QPointF(w * 0.78, h * 0.2), 48, 48);
            p.setBrush(withAlpha(d.top, 255));
            p.drawEllipse(QPointF(w * 0.78 + 22, h * 0.2 - 12), 44, 44);
            for (int i = 0; i < 6; ++i) {
                p.setBrush(withAlpha(d.accent, 220));
                p.drawPath(starPath(QPointF(rnd(0, w), rnd(0, h * 0.6)), rnd(5, 9), rnd(2, 3.5)));
            }
        } else {
            for (int k = 0; k < 4; ++k) {
                QPainterPath band;
                const qreal base = h * (0.35 + k * 0.07);
                band.moveTo(0, base);
                for (int x = 0; x <= w; x += 10)
                    band.lineTo(x, base + 40 * qSin(x / 130.0 + k));
                for (int x = w; x >= 0; x -= 10)
                    band.lineTo(x, base + 90 + 30 * qSin(x / 110.0 + k * 2));
                band.closeSubpath();
                QLinearGradient g(0, base, 0, base + 120);
                g.setColorAt(0, withAlpha(d.accent, 0));
                g.setColorAt(0.5, withAlpha(d.accent, 80));
                g.setColorAt(1, withAlpha(d.accent, 0));
                p.setBrush(g);
                p.drawPath(band);
            }
        }
        break;
    case Motif::Hexagons: {
        const qreal s = 34;
        p.setPen(QPen(withAlpha(d.accent, 70), 2));
        p.setBrush(Qt::NoBrush);
        for (int row = 0; row * s * 1.5 < h + s; ++row) {
            for (int col = 0; col * s * 1.732 < w + s; ++col) {
                const QPointF c(col * s * 1.732 + (row % 2) * s * 0.866, row * s * 1.5);
                QPolygonF hex;
                for (int k = 0; k < 6; ++k) {
                    const qreal a = qDegreesToRadians(60.0 * k + 30);
                    hex << c + QPointF(s * 0.9 * qCos(a), s * 0.9 * qSin(a));
                }
                if (rng.bounded(5) == 0)
                    p.setBrush(withAlpha(d.accent, 50));
                else
                    p.setBrush(Qt::NoBrush);
                p.drawPolygon(hex);
            }
        }
        break;
    }
    case Motif::Stones:
        for (int i = 0; i < 34; ++i) {
            const QPointF c(rnd(0, w), rnd(h * 0.15, h + 20));
            const qreal rx = rnd(30, 80), ry = rx * rnd(0.5, 0.8);
            QRadialGradient g(c + QPointF(-rx * 0.3, -ry * 0.4), rx * 1.3);
            const int shade = int(rnd(-40, 40));
            g.setColorAt(0, d.accent.lighter(120));
            g.setColorAt(1, QColor(qBound(0, 120 + shade, 255), qBound(0, 110 + shade, 255),
                                   qBound(0, 100 + shade, 255)));
            p.setBrush(g);
            p.drawEllipse(c, rx, ry);
        }
        break;
    case Motif::Bolts:
        for (int k = -6; k < 16; ++k) {
            QPainterPath stripe;
            const qreal x = k * 90;
            stripe.moveTo(x, 0);
            stripe.lineTo(x + 40, 0);
            stripe.lineTo(x + 40 + h * 0.6, h);
            stripe.lineTo(x + h * 0.6, h);
            stripe.closeSubpath();
            p.setBrush(withAlpha(d.accent, 40));
            p.drawPath(stripe);
        }
        break;
    case Motif::Swirls:
    case Motif::Rings: {
        const QPointF c = d.motif == Motif::Swirls ? QPointF(w * 0.7, h * 0.55) : QPointF(w * 0.5, h * 0.6);
        p.setBrush(Qt::NoBrush);
        for (int k = 1; k < 28; ++k) {
            p.setPen(QPen(withAlpha(d.accent, 30 + (k % 4) * 18), k % 3 == 0 ? 3 : 1.5));
            if (d.motif == Motif::Swirls)
                p.drawArc(QRectF(c.x() - k * 22, c.y() - k * 22, k * 44, k * 44), k * 400, 16 * 220);
            else
                p.drawEllipse(c, k * 26.0, k * 16.0);
        }
        break;
    }
    case Motif::Bursts:
        for (int i = 0; i < 26; ++i) {
            const QPointF c(rnd(0, w), rnd(0, h));
            const qreal r = rnd(20, 90);
            p.setBrush(withAlpha(d.accent, int(rnd(25, 80))));
            p.drawEllipse(c, r, r);
        }
        break;
    case Motif::Clouds:
    case Motif::Birds:
        for (int i = 0; i < 9; ++i) {
            const QPointF c(rnd(0, w), rnd(h * 0.2, h));
            const qreal s = rnd(30, 70);
            p.setBrush(withAlpha(kWhite, int(rnd(120, 210))));
            p.drawEllipse(c, s * 1.6, s * 0.6);
            p.drawEllipse(c + QPointF(-s * 0.6, -s * 0.35), s * 0.7, s * 0.6);
            p.drawEllipse(c + QPointF(s * 0.4, -s * 0.5), s * 0.8, s * 0.75);
        }
        if (d.motif == Motif::Birds) {
            for (int i = 0; i < 7; ++i) {
                const QPointF c(rnd(40, w - 40), rnd(h * 0.25, h * 0.95));
                const qreal r = rnd(18, 34);
                p.setBrush(d.accent);
                p.drawEllipse(c, r, r);
                p.setBrush(QColor(250, 230, 200));
                p.drawEllipse(c + QPointF(0, r * 0.45), r * 0.6, r * 0.4);
                p.setBrush(kWhite);
                p.drawEllipse(c + QPointF(-r * 0.3, -r * 0.15), r * 0.25, r * 0.25);
                p.drawEllipse(c + QPointF(r * 0.3, -r * 0.15), r * 0.25, r * 0.25);
                p.setBrush(Qt::black);
                p.drawEllipse(c + QPointF(-r * 0.25, -r * 0.12), r * 0.1, r * 0.1);
                p.drawEllipse(c + QPointF(r * 0.25, -r * 0.12), r * 0.1, r * 0.1);
                p.setBrush(QColor(250, 180, 30));
                QPolygonF beak;
                beak << c + QPointF(-r * 0.18, r * 0.12) << c + QPointF(r * 0.18, r * 0.12)
                     << c + QPointF(0, r * 0.42);
                p.drawPolygon(beak);
            }
        }
        break;
    case Motif::Notes:
        p.setPen(QPen(withAlpha(d.accent, 60), 1.5));
        for (int staff = 0; staff < 3; ++staff) {
            const qreal y0 = h * (0.3 + staff * 0.22);
            for (int l = 0; l < 5; ++l)
                p.drawLine(QPointF(0, y0 + l * 10), QPointF(w, y0 + l * 10 + 30 * qSin(staff)));
        }
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 22; ++i) {
            const QPointF c(rnd(0, w), rnd(h * 0.25, h));
            const qreal s = rnd(8, 16);
            p.setBrush(withAlpha(d.accent, int(rnd(120, 220))));
            p.save();
            p.translate(c);
            p.rotate(-20);
            p.drawEllipse(QPointF(0, 0), s, s * 0.7);
            p.restore();
            p.fillRect(QRectF(c.x() + s * 0.8, c.y() - s * 3.5, 2.5, s * 3.5), withAlpha(d.accent, 200));
        }
        break;
    case Motif::Balloons: {
        const QColor colours[] = {QColor(250, 80, 80), QColor(255, 200, 40), QColor(90, 200, 90),
                                  QColor(250, 130, 200), QColor(140, 110, 240)};
        for (int i = 0; i < 16; ++i) {
            const QPointF c(rnd(30, w - 30), rnd(h * 0.25, h));
            const qreal r = rnd(20, 40);
            p.setPen(QPen(withAlpha(kWhite, 160), 1));
            p.drawLine(c + QPointF(0, r * 1.2), c + QPointF(rnd(-15, 15), r * 3.5));
            p.setPen(Qt::NoPen);
            QRadialGradient g(c + QPointF(-r * 0.3, -r * 0.4), r * 1.4);
            const QColor col = colours[i % 5];
            g.setColorAt(0, col.lighter(150));
            g.setColorAt(1, col);
            p.setBrush(g);
            p.drawEllipse(c, r, r * 1.2);
        }
        break;
    }
    case Motif::Summer: {
        QRadialGradient sun(QPointF(w * 0.15, h * 0.3), 90);
        sun.setColorAt(0, withAlpha(d.accent, 255));
        sun.setColorAt(0.6, withAlpha(d.accent, 200));
        sun.setColorAt(1, withAlpha(d.accent, 0));
        p.setBrush(sun);
        p.drawEllipse(QPointF(w * 0.15, h * 0.3), 90, 90);
        for (int k = 0; k < 5; ++k) {
            QPainterPath wave;
            const qreal base = h * (0.6 + k * 0.08);
            wave.moveTo(0, h);
            wave.lineTo(0, base);
            for (int x = 0; x <= w; x += 8)
                wave.lineTo(x, base + 10 * qSin(x / 45.0 + k * 2));
            wave.lineTo(w, h);
            wave.closeSubpath();
            p.setBrush(withAlpha(kWhite, 35 + k * 8));
            p.drawPath(wave);
        }
        break;
    }
    case Motif::Beams:
        for (int k = 0; k < 7; ++k) {
            QPainterPath beam;
            const qreal x = w * (0.1 + k * 0.14);
            beam.moveTo(x, 0);
            beam.lineTo(x + 60 + k * 6, 0);
            beam.lineTo(x + 260 + k * 10, h);
            beam.lineTo(x + 160, h);
            beam.closeSubpath();
            QLinearGradient g(0, 0, 0, h);
            g.setColorAt(0, withAlpha(d.accent, 50));
            g.setColorAt(1, withAlpha(d.accent, 0));
            p.setBrush(g);
            p.drawPath(beam);
        }
        break;
    case Motif::Wood:
        p.setBrush(Qt::NoBrush);
        for (int k = 0; k < 70; ++k) {
            p.setPen(QPen(withAlpha(d.accent, int(rnd(30, 110))), rnd(0.8, 3.0)));
            QPainterPath grain;
            const qreal y0 = k * (h / 60.0) + rnd(-4, 4);
            const qreal phase = rnd(0, 6);
            grain.moveTo(0, y0);
            for (int x = 0; x <= w; x += 12)
                grain.lineTo(x, y0 + 5 * qSin(x / 160.0 + phase) + 2 * qSin(x / 23.0 + phase));
            p.drawPath(grain);
        }
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            const QPointF c(rnd(80, w - 80), rnd(h * 0.3, h * 0.9));
            p.setBrush(withAlpha(d.accent, 90));
            p.drawEllipse(c, 26, 10);
        }
        break;
    case Motif::Festive: {
        p.setBrush(d.accent);
        p.drawPath(starPath(QPointF(w * 0.1, h * 0.28), 42, 17));
        for (int k = 0; k < 4; ++k)
            p.drawPath(
                starPath(QPointF(w * 0.1 + 70 + (k % 2) * 22, h * 0.17 + k * 32), 12, 5, -90 + k * 20));
        for (int i = 0; i < 5; ++i) {
            const QPointF c(w * (0.35 + i * 0.14), h * 0.45 + (i % 2) * 50);
            p.setPen(QPen(d.accent, 2));
            p.drawLine(QPointF(c.x(), 0), c + QPointF(0, -30));
            p.setPen(Qt::NoPen);
            QRadialGradient g(c, 40);
            g.setColorAt(0, QColor(255, 120, 60));
            g.setColorAt(1, QColor(200, 20, 10));
            p.setBrush(g);
            p.drawEllipse(c, 40, 32);
            p.setBrush(d.accent);
            p.drawRect(QRectF(c.x() - 14, c.y() - 36, 28, 7));
            p.drawRect(QRectF(c.x() - 14, c.y() + 29, 28, 7));
            p.fillRect(QRectF(c.x() - 2, c.y() + 36, 4, 30), d.accent);
        }
        for (int i = 0; i < 30; ++i) {
            p.setBrush(withAlpha(d.accent, int(rnd(60, 160))));
            p.drawPath(starPath(QPointF(rnd(0, w), rnd(h * 0.6, h)), rnd(4, 9), rnd(2, 4)));
        }
        break;
    }
    }
}

void makeSkins()
{
    const int w = 960, h = 600;
    for (int n = 0; n < 24; ++n) {
        const SkinDef &d = kSkins[n];
        QImage image(w, h, QImage::Format_RGB32);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient bg(0, 0, w * 0.3, h);
        bg.setColorAt(0, d.top);
        bg.setColorAt(1, d.bottom);
        p.fillRect(image.rect(), bg);
        QRandomGenerator rng(quint32(1000 + n));
        drawMotif(p, d, w, h, rng);
        // The title bar shows roughly the top sixth of the image: keep it dark enough for white text.
        QLinearGradient shade(0, 0, 0, h * 0.2);
        shade.setColorAt(0, QColor(0, 0, 0, 95));
        shade.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(QRectF(0, 0, w, h * 0.2), shade);
        p.end();
        save(image, QStringLiteral("skin/%1_big").arg(n), "jpeg", 80);
        save(image.scaled(100, 65, Qt::IgnoreAspectRatio, Qt::SmoothTransformation),
             QStringLiteral("skin/%1").arg(n), "jpeg", 85);
    }
}

// ---------------------------------------------------------------------------------------------
// Four-frame button strips: normal, hover, pressed, and a dimmed fourth frame.

using GlyphPainter = void (*)(QPainter &, const QRectF &);

void glyphMin(QPainter &p, const QRectF &r)
{
    p.drawLine(QPointF(r.center().x() - 5, r.center().y() + 3),
               QPointF(r.center().x() + 5, r.center().y() + 3));
}

void glyphMax(QPainter &p, const QRectF &r)
{
    p.drawRect(QRectF(r.center().x() - 5, r.center().y() - 4, 10, 8));
    p.drawLine(QPointF(r.center().x() - 5, r.center().y() - 3),
               QPointF(r.center().x() + 5, r.center().y() - 3));
}

// The maximise glyph twice, offset: the window will go back to its earlier size.
void glyphRestore(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    // The window behind: only what the front window leaves visible.
    const QPointF behind[] = {c + QPointF(-2, -2), c + QPointF(-2, -6), c + QPointF(6, -6), c + QPointF(6, 1),
                              c + QPointF(3, 1)};
    p.drawPolyline(behind, 5);
    p.drawLine(c + QPointF(-2, -5), c + QPointF(6, -5));
    p.drawRect(QRectF(c.x() - 5, c.y() - 2, 8, 7));
    p.drawLine(QPointF(c.x() - 5, c.y() - 1), QPointF(c.x() + 3, c.y() - 1));
}

void glyphClose(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    p.drawLine(c + QPointF(-4.5, -4.5), c + QPointF(4.5, 4.5));
    p.drawLine(c + QPointF(-4.5, 4.5), c + QPointF(4.5, -4.5));
}

void glyphMenu(QPainter &p, const QRectF &r)
{
    const QPointF c = r.center();
    for (int k = -1; k <= 1; ++k)
        p.drawLine(c + QPointF(-5.5, k * 3.5), c + QPointF(5.5, k * 3.5));
}

void glyphSkin(QPainter &p, const QRectF &r)
{
    // A T-shirt outline: the usual sign for changing the look.
    const QPointF c = r.center();
    QPolygonF shirt;
    shirt << c + QPointF(-2.5, -5) << c + QPointF(-7, -2.5) << c + QPointF(-5, 1) << c + QPointF(-3.5, 0)
          << c + QPointF(-3.5, 5.5) << c + QPointF(3.5, 5.5) << c + QPointF(3.5, 0) << c + QPointF(5, 1)
          << c + QPointF(7, -2.5) << c + QPointF(2.5, -5);
    p.drawPolyline(shirt);
    p.drawArc(QRectF(c.x() - 2.5, c.y() - 7, 5, 4), 180 * 16, 180 * 16);
}

void makeStrip(const QString &alias, int fw, int fh, GlyphPainter glyph, bool danger)
{
    QImage image = transparentImage(fw * 4, fh);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int k = 0; k < 4; ++k) {
        const QRectF frame(k * fw, 0, fw, fh);
        QColor bg = Qt::transparent;
        if (k == 1)
            bg = danger ? QColor(232, 50, 50, 230) : QColor(255, 255, 255, 70);
        else if (k == 2)
            bg = danger ? QColor(170, 20, 20, 240) : QColor(0, 0, 0, 70);
        if (bg.alpha() > 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(bg);
            p.drawRoundedRect(frame.adjusted(0.5, 0, -0.5, -0.5), 2, 2);
        }
        // A faint shadow under the glyph keeps it visible on light skins.
        p.setPen(QPen(QColor(0, 0, 0, k == 3 ? 30 : 80), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        glyph(p, frame.translated(0, 1));
        p.setPen(
            QPen(QColor(255, 255, 255, k == 3 ? 120 : 255), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        glyph(p, frame);
    }
    p.end();
    save(image, alias, "png");
}

// ---------------------------------------------------------------------------------------------
// Icons. Function icons are white line drawings with a soft shadow, for the skin behind the title
// bar; content icons are white for the green action buttons or coloured for white pages.

QPen iconPen(QColor c, qreal width)
{
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawCalculator(QPainter &p, QRectF r, QColor c, qreal pen)
{
    p.setPen(iconPen(c, pen));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r, r.width() * 0.12, r.width() * 0.12);
    const QRectF screen(r.left() + r.width() * 0.18, r.top() + r.height() * 0.12, r.width() * 0.64,
                        r.height() * 0.2);
    p.drawRect(screen);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QPointF k(r.left() + r.width() * (0.28 + col * 0.22),
                            r.top() + r.height() * (0.5 + row * 0.16));
            p.drawEllipse(k, r.width() * 0.065, r.width() * 0.065);
        }
    }
}

void drawSheet(QPainter &p, QRectF r, QColor c, qreal pen)
{
    p.setPen(iconPen(c, pen));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    for (int k = 1; k < 4; ++k)
        p.drawLine(QPointF(r.left(), r.top() + r.height() * k / 4),
                   QPointF(r.right(), r.top() + r.height() * k / 4));
    p.drawLine(QPointF(r.left() + r.width() * 0.35, r.top()),
               QPointF(r.left() + r.width() * 0.35, r.bottom()));
}

void drawCoin(QPainter &p, QPointF c, qreal r, QColor col, qreal pen)
{
    p.setPen(iconPen(col, pen));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    QFont f = cjkFont(int(r * 1.25));
    p.setFont(f);
    p.drawText(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), Qt::AlignCenter, QStringLiteral("¥"));
}

void drawArrowDown(QPainter &p, QPointF top, qreal len, QColor c, qreal pen)
{
    p.setPen(iconPen(c, pen));
    p.drawLine(top, top + QPointF(0, len));
    p.drawLine(top + QPointF(0, len), top + QPointF(-len * 0.35, len * 0.62));
    p.drawLine(top + QPointF(0, len), top + QPointF(len * 0.35, len * 0.62));
}

void drawPie(QPainter &p, QPointF c, qreal r, QColor col, qreal pen, int slices)
{
    p.setPen(iconPen(col, pen));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    for (int k = 0; k < slices; ++k) {
        const qreal a = qDegreesToRadians(-90.0 + k * 360.0 / slices);
        p.drawLine(c, c + QPointF(r * qCos(a), r * qSin(a)));
    }
}

using IconPainter = void (*)(QPainter &, QColor);

void makeFunctionIcon(const QString &alias, IconPainter draw)
{
    // Wider than the drawing: the button is as wide as its icon plus 25 pixels and must fit a
    // six-character bold caption.
    QImage image = transparentImage(64, 48);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.translate(9, 1.5);
    draw(p, QColor(0, 0, 0, 90));
    p.translate(-1, -1.5);
    draw(p, kWhite);
    p.end();
    save(image, alias, "png");
}

void iconSingleCalc(QPainter &p, QColor c)
{
    drawCalculator(p, QRectF(11, 5, 26, 37), c, 2.4);
}

void iconBatchCalc(QPainter &p, QColor c)
{
    drawSheet(p, QRectF(5, 6, 30, 32), c, 2.2);
    p.setBrush(QColor(0, 0, 0, 0));
    drawCalculator(p, QRectF(28, 20, 16, 23), c, 2.0);
}

void iconSingleSave(QPainter &p, QColor c)
{
    drawCoin(p, QPointF(20, 26), 14, c, 2.4);
    drawArrowDown(p, QPointF(39, 8), 22, c, 2.4);
}

void iconBatchSave(QPainter &p, QColor c)
{
    drawCoin(p, QPointF(16, 30), 11, c, 2.2);
    drawCoin(p, QPointF(30, 18), 11, c, 2.2);
    drawArrowDown(p, QPointF(41, 20), 20, c, 2.4);
}

void iconBonusApportion(QPainter &p, QColor c)
{
    // A gift box split into equal parts.
    p.setPen(iconPen(c, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(8, 18, 32, 24));
    p.drawRect(QRectF(6, 12, 36, 7));
    p.drawLine(QPointF(24, 12), QPointF(24, 42));
    p.drawArc(QRectF(14, 4, 10, 9), 0, 180 * 16);
    p.drawArc(QRectF(24, 4, 10, 9), 0, 180 * 16);
}

void iconBatchApportion(QPainter &p, QColor c)
{
    drawPie(p, QPointF(22, 25), 16, c, 2.4, 4);
    p.drawLine(QPointF(38, 12), QPointF(44, 12));
    p.drawLine(QPointF(38, 20), QPointF(44, 20));
    p.drawLine(QPointF(38, 28), QPointF(44, 28));
}

void iconSalarySave(QPainter &p, QColor c)
{
    p.setPen(iconPen(c, 2.4));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(6, 6), QPointF(6, 42));
    p.drawLine(QPointF(6, 42), QPointF(43, 42));
    QPolygonF line;
    line << QPointF(10, 34) << QPointF(19, 25) << QPointF(27, 30) << QPointF(40, 12);
    p.drawPolyline(line);
    p.drawLine(QPointF(40, 12), QPointF(33, 13));
    p.drawLine(QPointF(40, 12), QPointF(39.5, 19));
}

void makeSmallIcon(const QString &alias, int s, const std::function<void(QPainter &)> &draw)
{
    QImage image = transparentImage(s, s);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    draw(p);
    p.end();
    save(image, alias, "png");
}

void drawSymbol(QPainter &p, int s, const QString &text, QColor fg, QColor bg)
{
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(1, 1, s - 2, s - 2), 4, 4);
    p.setPen(fg);
    p.setFont(cjkFont(int(s * 0.62)));
    p.drawText(QRectF(0, -1, s, s), Qt::AlignCenter, text);
}

void makeContentIcons()
{
    makeSmallIcon(QStringLiteral("contentWidget/calc"), 48,
                  [](QPainter &p) { drawCalculator(p, QRectF(12, 5, 24, 38), kWhite, 2.6); });
    makeSmallIcon(QStringLiteral("contentWidget/import"), 32, [](QPainter &p) {
        p.setPen(iconPen(kWhite, 2.4));
        p.drawPolyline(QPolygonF{QPointF(5, 18), QPointF(5, 27), QPointF(27, 27), QPointF(27, 18)});
        drawArrowDown(p, QPointF(16, 4), 17, kWhite, 2.4);
    });
    makeSmallIcon(QStringLiteral("contentWidget/export"), 32, [](QPainter &p) {
        p.setPen(iconPen(kWhite, 2.4));
        p.drawPolyline(QPolygonF{QPointF(5, 18), QPointF(5, 27), QPointF(27, 27), QPointF(27, 18)});
        p.drawLine(QPointF(16, 21), QPointF(16, 4));
        p.drawLine(QPointF(16, 4), QPointF(10, 10));
        p.drawLine(QPointF(16, 4), QPointF(22, 10));
    });
    {
        // The step picture between the import, calculate and export buttons.
        QImage image = transparentImage(40, 24);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(170, 200, 120));
        for (int k = 0; k < 3; ++k)
            p.drawEllipse(QPointF(5 + k * 8, 12), 2.2, 2.2);
        QPolygonF head;
        head << QPointF(27, 4) << QPointF(38, 12) << QPointF(27, 20);
        p.setBrush(QColor(110, 190, 10));
        p.drawPolygon(head);
        p.end();
        save(image, QStringLiteral("contentWidget/wizard"), "png");
    }
    makeSmallIcon(QStringLiteral("contentWidget/database"), 24, [](QPainter &p) {
        p.setPen(iconPen(QColor(0, 120, 230), 1.6));
        p.setBrush(QColor(200, 225, 250));
        p.drawRect(QRectF(4, 6, 16, 13));
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(4.8, 6, 14.4, 12));
        p.setPen(iconPen(QColor(0, 120, 230), 1.6));
        p.drawEllipse(QRectF(4, 3, 16, 6));
        p.drawArc(QRectF(4, 9, 16, 6), 180 * 16, 180 * 16);
        p.drawArc(QRectF(4, 15, 16, 6), 180 * 16, 180 * 16);
        p.drawLine(QPointF(4, 6), QPointF(4, 18));
        p.drawLine(QPointF(20, 6), QPointF(20, 18));
    });
    makeSmallIcon(QStringLiteral("contentWidget/constant"), 24,
                  [](QPainter &p) { drawSymbol(p, 24, QStringLiteral("π"), kWhite, QColor(230, 140, 20)); });
    makeSmallIcon(QStringLiteral("contentWidget/math"), 24,
                  [](QPainter &p) { drawSymbol(p, 24, QStringLiteral("±"), kWhite, QColor(110, 190, 10)); });
    makeSmallIcon(QStringLiteral("contentWidget/function"), 24, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(130, 80, 200));
        p.drawRoundedRect(QRectF(1, 1, 22, 22), 4, 4);
        p.setPen(kWhite);
        QFont f = cjkFont(13);
        f.setItalic(true);
        p.setFont(f);
        p.drawText(QRectF(0, 0, 24, 24), Qt::AlignCenter, QStringLiteral("fx"));
    });
}

void makeToolAndMenuIcons()
{
    const QColor grey(90, 90, 90);
    makeSmallIcon(QStringLiteral("toolWidget/fullscreen"), 20, [grey](QPainter &p) {
        p.setPen(iconPen(grey, 1.8));
        p.drawPolyline(QPolygonF{QPointF(3, 8), QPointF(3, 3), QPointF(8, 3)});
        p.drawPolyline(QPolygonF{QPointF(12, 3), QPointF(17, 3), QPointF(17, 8)});
        p.drawPolyline(QPolygonF{QPointF(17, 12), QPointF(17, 17), QPointF(12, 17)});
        p.drawPolyline(QPolygonF{QPointF(8, 17), QPointF(3, 17), QPointF(3, 12)});
    });
    makeSmallIcon(QStringLiteral("toolWidget/exitfullscreen"), 20, [grey](QPainter &p) {
        p.setPen(iconPen(grey, 1.8));
        p.drawPolyline(QPolygonF{QPointF(3, 8), QPointF(8, 8), QPointF(8, 3)});
        p.drawPolyline(QPolygonF{QPointF(12, 3), QPointF(12, 8), QPointF(17, 8)});
        p.drawPolyline(QPolygonF{QPointF(17, 12), QPointF(12, 12), QPointF(12, 17)});
        p.drawPolyline(QPolygonF{QPointF(8, 17), QPointF(8, 12), QPointF(3, 12)});
    });
    makeSmallIcon(QStringLiteral("mainMenu/help"), 16,
                  [](QPainter &p) { drawSymbol(p, 16, QStringLiteral("?"), kWhite, QColor(0, 120, 230)); });
    makeSmallIcon(QStringLiteral("mainMenu/about"), 16,
                  [](QPainter &p) { drawSymbol(p, 16, QStringLiteral("i"), kWhite, QColor(110, 190, 10)); });
    // Formula builder toolbar and the mapping header's remove and add marks.
    const struct
    {
        const char *name;
        const char *text;
    } symbols[] = {{"plus", "+"},  {"subtract", "−"}, {"star", "×"},    {"divide", "÷"},   {"equal", "="},
                   {"great", ">"}, {"little", "<"},   {"unequal", "≠"}, {"lblacket", "("}, {"rblacket", ")"}};
    for (const auto &sym : symbols) {
        const QString text = QString::fromUtf8(sym.text);
        makeSmallIcon(u"sysButton/"_qs + QString::fromLatin1(sym.name), 24, [text](QPainter &p) {
            p.setPen(QPen(QColor(150, 180, 210), 1));
            p.setBrush(QColor(235, 243, 252));
            p.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 4, 4);
            p.setPen(QColor(0, 90, 180));
            p.setFont(cjkFont(16));
            p.drawText(QRectF(0, -1, 24, 24), Qt::AlignCenter, text);
        });
    }
    makeSmallIcon(QStringLiteral("sysButton/close24"), 16, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 70, 60));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(iconPen(kWhite, 1.6));
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(5.5, 10.5), QPointF(10.5, 5.5));
    });
    makeSmallIcon(QStringLiteral("sysButton/add24"), 16, [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(110, 190, 10));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(iconPen(kWhite, 1.8));
        p.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
        p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
    });
}

// ---------------------------------------------------------------------------------------------
// The emblem: a sail boat on a misty blue tile.

void drawEmblem(QPainter &p, QRectF r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(r.topLeft(), r.bottomRight());
    bg.setColorAt(0, QColor(40, 170, 240));
    bg.setColorAt(1, QColor(10, 80, 170));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    const qreal s = r.width();
    p.drawRoundedRect(r, s * 0.2, s * 0.2);
    auto pt = [&](qreal x, qreal y) { return QPointF(r.left() + x * s, r.top() + y * s); };
    p.setBrush(kWhite);
    QPolygonF sail;
    sail << pt(0.50, 0.16) << pt(0.50, 0.62) << pt(0.22, 0.62);
    p.drawPolygon(sail);
    QPolygonF sail2;
    sail2 << pt(0.55, 0.24) << pt(0.78, 0.62) << pt(0.55, 0.62);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawPolygon(sail2);
    QPainterPath hull;
    hull.moveTo(pt(0.16, 0.67));
    hull.lineTo(pt(0.84, 0.67));
    hull.lineTo(pt(0.72, 0.78));
    hull.lineTo(pt(0.28, 0.78));
    hull.closeSubpath();
    p.setBrush(QColor(255, 210, 60));
    p.drawPath(hull);
    p.setPen(QPen(QColor(255, 255, 255, 170), s * 0.035, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    QPainterPath wave;
    wave.moveTo(pt(0.14, 0.86));
    wave.cubicTo(pt(0.3, 0.8), pt(0.4, 0.92), pt(0.55, 0.86));
    wave.cubicTo(pt(0.68, 0.81), pt(0.76, 0.9), pt(0.86, 0.85));
    p.drawPath(wave);
    p.restore();
}

void makeBrandImages()
{
    QImage lumo = transparentImage(64, 64);
    {
        QPainter p(&lumo);
        drawEmblem(p, QRectF(2, 2, 60, 60));
    }
    save(lumo, QStringLiteral("img/lumo"), "png");
    QImage ico = transparentImage(48, 48);
    {
        QPainter p(&ico);
        drawEmblem(p, QRectF(1, 1, 46, 46));
    }
    save(ico, QStringLiteral("img/lumo.ico"), "ico");

    // Title bar logo; the text has a dark outline so it also reads on the light wizard banner.
    QImage logo = transparentImage(132, 56);
    {
        QPainter p(&logo);
        p.setRenderHint(QPainter::Antialiasing);
        drawEmblem(p, QRectF(4, 8, 40, 40));
        QPainterPath text;
        text.addText(QPointF(52, 33), cjkFont(24), QStringLiteral("岚舟"));
        p.setPen(QPen(QColor(0, 50, 100, 150), 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(text);
        p.setPen(Qt::NoPen);
        p.setBrush(kWhite);
        p.drawPath(text);
        QPainterPath latin;
        QFont small = cjkFont(11);
        small.setLetterSpacing(QFont::AbsoluteSpacing, 3);
        latin.addText(QPointF(54, 48), small, QStringLiteral("LUMO"));
        p.setPen(QPen(QColor(0, 50, 100, 150), 2));
        p.drawPath(latin);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(230, 240, 255));
        p.drawPath(latin);
    }
    save(logo, QStringLiteral("img/logo"), "png");

    QImage banner(800, 64, QImage::Format_RGB32);
    {
        QPainter p(&banner);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient bg(0, 0, 800, 0);
        bg.setColorAt(0, QColor(255, 255, 255));
        bg.setColorAt(0.55, QColor(235, 245, 255));
        bg.setColorAt(1, QColor(120, 185, 235));
        p.fillRect(banner.rect(), bg);
        p.setBrush(Qt::NoBrush);
        for (int k = 0; k < 5; ++k) {
            p.setPen(QPen(QColor(255, 255, 255, 120 - k * 15), 2));
            QPainterPath wave;
            wave.moveTo(420, 40 + k * 5);
            for (int x = 420; x <= 800; x += 6)
                wave.lineTo(x, 40 + k * 5 + 6 * qSin(x / 40.0 + k));
            p.drawPath(wave);
        }
        p.fillRect(QRectF(0, 62, 800, 2), QColor(110, 190, 10));
    }
    save(banner, QStringLiteral("img/banner"), "png");
}

// ---------------------------------------------------------------------------------------------
// Help documents: HTML written by hand, printed to A4.

void makePdf(const QString &htmlFile, const QString &pdfAlias, const QString &title)
{
    QFile in(htmlFile);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(htmlFile));
        std::exit(1);
    }
    const QString html = QString::fromUtf8(in.readAll());
    const QString path = g_out + u"/help/"_qs + pdfAlias;
    QDir().mkpath(g_out + u"/help"_qs);
    QPdfWriter writer(path);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("岚舟个税节税筹划 2.1.2"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(18, 16, 18, 16), QPageLayout::Millimeter);
    writer.setResolution(150);
    QTextDocument doc;
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPointSizeF(10.5);
    doc.setDefaultFont(font);
    doc.setDefaultStyleSheet(QStringLiteral(
        "h1{color:#0a5aa8; font-size:20pt;} h2{color:#0a5aa8; font-size:14pt; margin-top:14px;}"
        "h3{color:#333333; font-size:11.5pt;} p,li{line-height:150%;} td,th{padding:4px;}"
        "th{background:#e6f0fa;} .note{color:#666666;}"));
    doc.setHtml(html);
    doc.print(&writer);
}

void writeQrc()
{
    g_qrcEntries.sort();
    QString qrc =
        QStringLiteral("<!DOCTYPE RCC>\n<!-- Written by tools/gen-resources; do not edit by hand. -->\n"
                       "<RCC version=\"1.0\">\n<qresource prefix=\"/\">\n");
    for (const QString &entry : std::as_const(g_qrcEntries)) {
        const QStringList parts = entry.split(u'|');
        qrc += QStringLiteral("    <file alias=\"%1\">%2</file>\n").arg(parts[0], parts[1]);
    }
    qrc += QStringLiteral("</qresource>\n</RCC>\n");
    QFile out(g_out + u"/lumo.qrc"_qs);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write lumo.qrc\n");
        std::exit(1);
    }
    out.write(qrc.toUtf8());
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: genresources OUTPUT_DIR HELP_SOURCE_DIR\n");
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    const QString helpSource = QString::fromLocal8Bit(argv[2]);

    makeSkins();
    makeStrip(QStringLiteral("sysButton/skin_button"), 27, 22, glyphSkin, false);
    makeStrip(QStringLiteral("sysButton/main_menu"), 27, 22, glyphMenu, false);
    makeStrip(QStringLiteral("sysButton/min_button"), 27, 22, glyphMin, false);
    makeStrip(QStringLiteral("sysButton/max_button"), 27, 22, glyphMax, false);
    makeStrip(QStringLiteral("sysButton/restore_button"), 27, 22, glyphRestore, false);
    makeStrip(QStringLiteral("sysButton/close_button"), 27, 22, glyphClose, true);
    makeStrip(QStringLiteral("sysButton/close"), 27, 22, glyphClose, true);
    makeFunctionIcon(QStringLiteral("toolWidget/singlecalc_free"), iconSingleCalc);
    makeFunctionIcon(QStringLiteral("toolWidget/batchcalc_free"), iconBatchCalc);
    makeFunctionIcon(QStringLiteral("toolWidget/singlesave"), iconSingleSave);
    makeFunctionIcon(QStringLiteral("toolWidget/batchsave"), iconBatchSave);
    makeFunctionIcon(QStringLiteral("toolWidget/bonusapportion"), iconBonusApportion);
    makeFunctionIcon(QStringLiteral("toolWidget/batchapportion"), iconBatchApportion);
    makeFunctionIcon(QStringLiteral("toolWidget/salarysave"), iconSalarySave);
    makeContentIcons();
    makeToolAndMenuIcons();
    makeBrandImages();
    writeQrc();
    makePdf(helpSource + u"/guide.html"_qs, QStringLiteral("使用帮助.pdf"),
            QStringLiteral("岚舟个税节税筹划 使用帮助"));
    makePdf(helpSource + u"/laws.html"_qs, QStringLiteral("相关法规.pdf"),
            QStringLiteral("岚舟个税节税筹划 相关法规"));
    return 0;
}
