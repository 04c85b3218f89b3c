// Draws the demo's cover pictures into the folder named on the command line:
// squares, portraits and landscapes from 300 x 300 to 3000 x 3000, so the
// demo shows how the board fits every shape and size. The build runs it with
// QT_QPA_PLATFORM=offscreen. The output is the same on every run.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cstdio>

namespace {

struct Cover {
    const char* file;
    int width;
    int height;
    const char* caption;
    int hue; // 0 to 359
};

// Names are read by examples/demo/demo.plx.
constexpr Cover kCovers[] = {
    {"night-flight-300x300.jpg", 300, 300, "Night Flight", 230},
    {"summer-hits-1200x800.jpg", 1200, 800, "Summer Hits", 40},
    {"lanterns-800x1200.jpg", 800, 1200, "Lanterns", 15},
    {"harbour-3000x3000.jpg", 3000, 3000, "Live at the Harbour", 195},
    {"benchmark-1000x1000.jpg", 1000, 1000, "One Thousand", 280},
    {"long-road-2000x1200.png", 2000, 1200, "The Long Road", 100},
    {"small-hours-480x640.jpg", 480, 640, "Small Hours", 320},
    {"tides-1600x1600.jpg", 1600, 1600, "Tides", 175},
    {"tall-tales-2400x3000.jpg", 2400, 3000, "Tall Tales", 55},
    {"wide-open-3000x2000.jpg", 3000, 2000, "Wide Open", 130},
    {"postcard-640x480.jpg", 640, 480, "Postcard", 0},
    {"echoes-500x500.png", 500, 500, "Echoes", 260},
};

QImage Draw(const Cover& cover)
{
    QImage image(cover.width, cover.height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(0, 0, cover.width, cover.height);
    const double unit = std::min(cover.width, cover.height);

    QLinearGradient sky(area.topLeft(), area.bottomRight());
    sky.setColorAt(0, QColor::fromHsv(cover.hue, 200, 230));
    sky.setColorAt(1, QColor::fromHsv((cover.hue + 60) % 360, 255, 70));
    p.fillRect(area, sky);

    // A disc in the middle and rings around it, sized by the shorter side.
    const QPointF centre = area.center();
    QRadialGradient disc(centre, unit * 0.42);
    disc.setColorAt(0, QColor::fromHsv((cover.hue + 180) % 360, 120, 250));
    disc.setColorAt(1, QColor::fromHsv((cover.hue + 200) % 360, 255, 120));
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(centre, unit * 0.42, unit * 0.42);
    p.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 6; ++ring) {
        p.setPen(QPen(QColor(255, 255, 255, 40 + ring * 20), unit * 0.006));
        p.drawEllipse(centre, unit * 0.07 * ring, unit * 0.07 * ring);
    }

    // Diagonal bands show at once whether a picture was stretched.
    p.setPen(QPen(QColor(255, 255, 255, 60), unit * 0.02));
    for (int band = -4; band <= 4; ++band) {
        const double offset = band * unit * 0.25;
        p.drawLine(QPointF(centre.x() + offset - unit, centre.y() + unit),
                   QPointF(centre.x() + offset + unit, centre.y() - unit));
    }

    // The caption on top, the size at the bottom, both shadowed for contrast.
    const auto text = [&](const QString& words, double top, double size, int weight) {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(std::max(8, static_cast<int>(size)));
        font.setWeight(static_cast<QFont::Weight>(weight));
        p.setFont(font);
        const QRectF box(0, top, cover.width, size * 1.6);
        p.setPen(QColor(0, 0, 0, 160));
        p.drawText(box.translated(unit * 0.006, unit * 0.006), Qt::AlignCenter, words);
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, words);
    };
    text(QString::fromUtf8(cover.caption), cover.height * 0.06, unit * 0.09, QFont::Bold);
    text(QStringLiteral("%1 \u00d7 %2").arg(cover.width).arg(cover.height), cover.height * 0.84, unit * 0.06,
         QFont::Normal);

    // A frame one pixel inside the edge, to check that nothing is cropped.
    p.setPen(QPen(Qt::white, std::max(1.0, unit * 0.004)));
    p.drawRect(area.adjusted(1, 1, -1, -1));
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    for (const Cover& cover : kCovers) {
        QImageWriter writer(folder + QLatin1Char('/') + QString::fromLatin1(cover.file));
        writer.setQuality(85);
        if (!writer.write(Draw(cover))) {
            std::fprintf(stderr, "cannot write %s: %s\n", cover.file, qPrintable(writer.errorString()));
            return 1;
        }
    }
    return 0;
}
