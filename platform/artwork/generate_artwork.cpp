// Draws every picture of the saver and writes them as PNG files into the folder
// named on the command line. The build runs it with QT_QPA_PLATFORM=offscreen
// and embeds the files into wendelplatform (see CMakeLists.txt here).
//
// The output must be the same on every run: no randomness, no clock, fixed
// palettes or a deterministic median cut, and fonts by pixel size.

#include "Artwork.h"

#include <QDir>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>
#include <QSaveFile>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <numbers>
#include <vector>

namespace {

using wendel::ArtworkId;

// Brightest shade of each hue. Blue leans a little towards cyan so that the
// yellow texts over it stay easy to read.
constexpr QRgb kBlue = 0xff3070ff;
constexpr QRgb kRed = 0xffe01818;
constexpr QRgb kGreen = 0xff28e848;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kYellow = 0xffffff00;

constexpr double kPi = std::numbers::pi;

// 4 x 4 ordered-dither thresholds, 0 to 15.
constexpr int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

double SmoothStep(double edge0, double edge1, double x)
{
    const double t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

// n shades from black (entry 0) to `top` (entry n - 1).
QList<QRgb> RampPalette(QRgb top, int n)
{
    QList<QRgb> palette;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / double(n - 1);
        palette.append(qRgb(int(std::lround(qRed(top) * t)), int(std::lround(qGreen(top) * t)),
                            int(std::lround(qBlue(top) * t))));
    }
    return palette;
}

// Brightness 0..1 at a point in pixel coordinates (pixel centres at +0.5).
using Field = std::function<double(double x, double y)>;

// Renders a brightness field as shades of one hue. Each pixel averages 4 x 4
// samples so that edges come out smooth; with few shades, a 4 x 4 ordered
// dither hides the steps of long gradients.
QImage RampImage(int width, int height, QRgb top, int shades, const Field& field)
{
    const bool dither = shades <= 16;
    QImage image(width, height, QImage::Format_Indexed8);
    image.setColorTable(RampPalette(top, shades));
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            double sum = 0.0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    sum += Clamp01(field(x + (sx + 0.5) / 4.0, y + (sy + 0.5) / 4.0));
                }
            }
            const double level = sum / 16.0 * (shades - 1);
            const double offset = dither ? (kBayer[y % 4][x % 4] + 0.5) / 16.0 : 0.5;
            line[x] = uchar(std::min(shades - 1, int(std::floor(level + offset))));
        }
    }
    return image;
}

// Look 1's header: a blue band, brightest along its middle and at the left,
// fading into black towards the right end and the top and bottom edges.
QImage DrawDefaultHeader()
{
    return RampImage(640, 90, kBlue, 256, [](double x, double y) {
        const double across = std::pow(std::sin(kPi * y / 90.0), 0.9);
        const double along = std::pow(1.0 - SmoothStep(40.0, 640.0, x), 1.4);
        // A thin bright rule near the top edge of the band gives it a finish.
        const double rule = 0.35 * std::exp(-std::pow((y - 11.0) / 1.1, 2.0));
        return (0.92 * across + rule) * along;
    });
}

// Look 1's footer: a soft bar that fades in from black and out again.
QImage DrawDefaultFooter()
{
    return RampImage(450, 22, kBlue, 16, [](double x, double y) {
        const double across = std::pow(std::sin(kPi * y / 22.0), 1.2);
        const double along = std::pow(std::sin(kPi * x / 450.0), 0.7);
        return 0.75 * across * along;
    });
}

// Looks 2-4: two fine rules and a glow that grow from black on the left to
// the full hue at the right end, where the play-state icon sits.
QImage DrawLookFooter(QRgb hue)
{
    return RampImage(450, 22, hue, 16, [](double x, double y) {
        const double t = x / 450.0;
        const double rules = std::exp(-std::pow((y - 1.5) / 0.8, 2.0)) +
                             std::exp(-std::pow((y - 20.5) / 0.8, 2.0));
        const double glow = 0.55 * std::pow(t, 2.2) * std::pow(std::sin(kPi * y / 22.0), 2.0);
        return std::max(rules * std::pow(t, 0.8), glow);
    });
}

// Looks 2-4: a shaded ellipse lit from the upper left, with a lighter rim.
QImage DrawHeaderEllipse(QRgb hue, double strength)
{
    return RampImage(90, 64, hue, 16, [strength](double x, double y) {
        const double cx = 45.0, cy = 32.0, rx = 44.0, ry = 31.0;
        const double r = std::hypot((x - cx) / rx, (y - cy) / ry);
        if (r > 1.0) {
            return 0.0;
        }
        const double fx = cx - 0.4 * rx, fy = cy - 0.45 * ry;
        const double d = std::min(1.0, std::hypot((x - fx) / (1.4 * rx), (y - fy) / (1.45 * ry)));
        const double body = 1.0 - 0.8 * d;
        const double rim = 0.75 * SmoothStep(0.84, 0.95, r);
        return strength * std::max(body, rim);
    });
}

QImage NewCanvas(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kBlack);
    return image;
}

void Antialias(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::TextAntialiasing);
}

// Play-state icons: 24-bit pictures on black.
QImage DrawPlay()
{
    QImage image = NewCanvas(34, 32);
    QPainter p(&image);
    Antialias(p);
    QLinearGradient fill(0, 4, 0, 28);
    fill.setColorAt(0.0, QColor(150, 255, 150));
    fill.setColorAt(1.0, QColor(0, 150, 40));
    p.setPen(QPen(QColor(210, 255, 210), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPolygon(QPolygonF({QPointF(9.5, 4.5), QPointF(9.5, 27.5), QPointF(29.5, 16.0)}));
    return image;
}

QImage DrawPause()
{
    QImage image = NewCanvas(29, 32);
    QPainter p(&image);
    Antialias(p);
    QLinearGradient fill(0, 4, 0, 28);
    fill.setColorAt(0.0, QColor(255, 230, 110));
    fill.setColorAt(1.0, QColor(215, 130, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(5, 4, 7, 24), 1.5, 1.5);
    p.drawRoundedRect(QRectF(17, 4, 7, 24), 1.5, 1.5);
    return image;
}

QPolygonF Octagon(QPointF centre, double radius)
{
    QPolygonF octagon;
    for (int i = 0; i < 8; ++i) {
        const double a = kPi / 8.0 + i * kPi / 4.0; // flat top and bottom
        octagon << centre + QPointF(radius * std::cos(a), radius * std::sin(a));
    }
    return octagon;
}

QImage DrawStopsign()
{
    QImage image = NewCanvas(34, 31);
    QPainter p(&image);
    Antialias(p);
    const QPointF centre(17.0, 15.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 240, 240));
    p.drawPolygon(Octagon(centre, 15.0));
    QLinearGradient fill(0, 3, 0, 28);
    fill.setColorAt(0.0, QColor(255, 80, 70));
    fill.setColorAt(1.0, QColor(170, 0, 0));
    p.setBrush(fill);
    p.drawPolygon(Octagon(centre, 12.8));
    // A white bar across the middle, as on a road sign too small for lettering.
    p.setBrush(QColor(240, 240, 240));
    p.drawRoundedRect(QRectF(9.0, 13.5, 16.0, 4.0), 1.0, 1.0);
    return image;
}

// Median cut over the colours of `image`, after reserving `pinned` so that
// exact black and the exact text colour survive. Always returns `size`
// entries; unused ones repeat black.
QList<QRgb> MedianCutPalette(const QImage& image, const QList<QRgb>& pinned, int size)
{
    std::map<QRgb, qint64> histogram;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y) | 0xff000000u;
            if (!pinned.contains(c)) {
                ++histogram[c];
            }
        }
    }
    using Bucket = std::vector<std::pair<QRgb, qint64>>;
    std::vector<Bucket> buckets;
    if (!histogram.empty()) {
        buckets.emplace_back(histogram.begin(), histogram.end());
    }
    const auto channel = [](QRgb c, int which) {
        return which == 0 ? qRed(c) : which == 1 ? qGreen(c) : qBlue(c);
    };
    const std::size_t wanted = std::size_t(size - pinned.size());
    while (buckets.size() < wanted) {
        std::size_t best = buckets.size();
        int bestRange = 0;
        int bestChannel = 0;
        for (std::size_t i = 0; i < buckets.size(); ++i) {
            for (int ch = 0; ch < 3; ++ch) {
                int lo = 255, hi = 0;
                for (const auto& [c, n] : buckets[i]) {
                    lo = std::min(lo, channel(c, ch));
                    hi = std::max(hi, channel(c, ch));
                }
                if (hi - lo > bestRange) {
                    best = i;
                    bestRange = hi - lo;
                    bestChannel = ch;
                }
            }
        }
        if (best == buckets.size()) {
            break; // every bucket holds a single colour
        }
        Bucket& bucket = buckets[best];
        std::sort(bucket.begin(), bucket.end(), [&](const auto& a, const auto& b) {
            const int ca = channel(a.first, bestChannel), cb = channel(b.first, bestChannel);
            return ca != cb ? ca < cb : a.first < b.first;
        });
        qint64 total = 0;
        for (const auto& entry : bucket) {
            total += entry.second;
        }
        std::size_t cut = 1;
        qint64 below = bucket[0].second;
        while (cut + 1 < bucket.size() && below * 2 < total) {
            below += bucket[cut].second;
            ++cut;
        }
        Bucket upper(bucket.begin() + std::ptrdiff_t(cut), bucket.end());
        bucket.resize(cut);
        buckets.push_back(std::move(upper));
    }
    QList<QRgb> palette = pinned;
    for (const Bucket& bucket : buckets) {
        double r = 0, g = 0, b = 0, n = 0;
        for (const auto& [c, count] : bucket) {
            r += double(qRed(c)) * double(count);
            g += double(qGreen(c)) * double(count);
            b += double(qBlue(c)) * double(count);
            n += double(count);
        }
        palette.append(qRgb(int(std::lround(r / n)), int(std::lround(g / n)), int(std::lround(b / n))));
    }
    while (palette.size() < size) {
        palette.append(kBlack);
    }
    return palette;
}

// Maps every pixel to the nearest palette entry (squared distance, first
// entry on a tie). A non-zero `dither` spreads a 4 x 4 ordered pattern of up
// to that many levels per channel over the pixels first, which turns the
// steps of a quantised gradient into a fine texture; pinned colours are kept
// exact.
QImage Quantise(const QImage& image, const QList<QRgb>& pinned, int size, double dither = 0.0)
{
    const QList<QRgb> palette = MedianCutPalette(image, pinned, size);
    QImage indexed(image.size(), QImage::Format_Indexed8);
    indexed.setColorTable(palette);
    std::map<QRgb, uchar> nearest;
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = indexed.scanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            QRgb c = image.pixel(x, y) | 0xff000000u;
            if (dither > 0.0 && !pinned.contains(c)) {
                const int offset = int(std::lround(((kBayer[y % 4][x % 4] + 0.5) / 16.0 - 0.5) * dither));
                c = qRgb(std::clamp(qRed(c) + offset, 0, 255), std::clamp(qGreen(c) + offset, 0, 255),
                         std::clamp(qBlue(c) + offset, 0, 255));
            }
            auto found = nearest.find(c);
            if (found == nearest.end()) {
                int bestIndex = 0;
                int bestDistance = INT_MAX;
                for (int i = 0; i < palette.size(); ++i) {
                    const int dr = qRed(c) - qRed(palette[i]);
                    const int dg = qGreen(c) - qGreen(palette[i]);
                    const int db = qBlue(c) - qBlue(palette[i]);
                    const int distance = dr * dr + dg * dg + db * db;
                    if (distance < bestDistance) {
                        bestDistance = distance;
                        bestIndex = i;
                    }
                }
                found = nearest.emplace(c, uchar(bestIndex)).first;
            }
            line[x] = found->second;
        }
    }
    return indexed;
}

// The program's emblem, a pair of yellow quavers on a blue disc, drawn in a
// 32 x 32 box; a scaled painter draws it crisp at any icon size.
void PaintEmblem(QPainter& p)
{
    Antialias(p);
    QRadialGradient disc(QPointF(11, 9), 24);
    disc.setColorAt(0.0, QColor(120, 175, 255));
    disc.setColorAt(1.0, QColor(8, 28, 110));
    p.setPen(QPen(QColor(170, 205, 255), 1.0));
    p.setBrush(disc);
    p.drawEllipse(QRectF(1.0, 1.0, 30.0, 30.0));

    const QColor note(255, 225, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(note);
    const auto head = [&p](QPointF centre) {
        p.save();
        p.translate(centre);
        p.rotate(-25.0);
        p.drawEllipse(QRectF(-3.6, -2.6, 7.2, 5.2));
        p.restore();
    };
    head(QPointF(10.0, 22.0));
    head(QPointF(20.5, 20.0));
    p.drawRect(QRectF(12.0, 9.0, 2.0, 12.6));
    p.drawRect(QRectF(22.5, 7.0, 2.0, 12.6));
    QPainterPath beam;
    beam.moveTo(12.0, 8.4);
    beam.lineTo(24.5, 5.9);
    beam.lineTo(24.5, 9.5);
    beam.lineTo(12.0, 12.0);
    beam.closeSubpath();
    p.drawPath(beam);
}

// The window icon: the emblem on black, in 256 colours.
QImage DrawWindowIcon()
{
    QImage image = NewCanvas(32, 32);
    QPainter p(&image);
    PaintEmblem(p);
    p.end();
    return Quantise(image, {kBlack}, 256);
}

// The desktop's icon for the program: the emblem on a transparent square.
QImage DrawDesktopIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(size / 32.0, size / 32.0);
    PaintEmblem(p);
    p.end();
    return image;
}

// The upper-left 162 x 95 corner of the board in one look: the header in
// the box where the board puts it (stretched if the box differs from the
// picture's size), the yellow title and byline over it, in 16 colours.
QImage DrawLookPreview(const QImage& header, const QRect& box)
{
    QImage canvas = NewCanvas(162, 95);
    QPainter p(&canvas);
    Antialias(p);
    p.drawImage(box, header);
    // As the board's Track and ArtistAlbum labels: Arial 23 px from (34, 28)
    // and 17 px from (36, 59), text hanging from the top of the box.
    p.setPen(QColor(kYellow));
    QFont title(QStringLiteral("Arial"));
    title.setPixelSize(23);
    p.setFont(title);
    p.drawText(QRect(34, 28, 400, 26), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
               QString::fromLatin1(wendel::kSaverTitleText));
    QFont byline(QStringLiteral("Arial"));
    byline.setPixelSize(17);
    p.setFont(byline);
    p.drawText(QRect(36, 59, 400, 19), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
               QString::fromLatin1(wendel::kSaverBylineText));
    p.end();
    // A light dither; a stronger one makes the letters' edges noisy.
    return Quantise(canvas, {kBlack, kYellow}, 16, 20.0);
}

QImage Draw(ArtworkId id)
{
    switch (id) {
    case ArtworkId::DefaultHeader: return DrawDefaultHeader();
    case ArtworkId::DefaultFooter: return DrawDefaultFooter();
    case ArtworkId::Header1: return DrawHeaderEllipse(kBlue, 1.0);
    case ArtworkId::Header2: return DrawHeaderEllipse(kRed, 0.85); // reads as dark red
    case ArtworkId::Header3: return DrawHeaderEllipse(kGreen, 1.0);
    case ArtworkId::Footer1: return DrawLookFooter(kBlue);
    case ArtworkId::Footer2: return DrawLookFooter(kRed);
    case ArtworkId::Footer3: return DrawLookFooter(kGreen);
    case ArtworkId::Play: return DrawPlay().convertToFormat(QImage::Format_RGB888);
    case ArtworkId::Pause: return DrawPause().convertToFormat(QImage::Format_RGB888);
    case ArtworkId::Stopsign: return DrawStopsign().convertToFormat(QImage::Format_RGB888);
    case ArtworkId::WindowIcon: return DrawWindowIcon();
    // The header boxes of the board: DefaultHeader at its own size, Header1
    // stretched to 90 x 74, Header2 and Header3 to 91 x 75.
    case ArtworkId::LookPreview1: return DrawLookPreview(Draw(ArtworkId::DefaultHeader), {0, 13, 640, 90});
    case ArtworkId::LookPreview2: return DrawLookPreview(Draw(ArtworkId::Header1), {16, 18, 90, 74});
    case ArtworkId::LookPreview3: return DrawLookPreview(Draw(ArtworkId::Header2), {16, 18, 91, 75});
    case ArtworkId::LookPreview4: return DrawLookPreview(Draw(ArtworkId::Header3), {16, 18, 91, 75});
    }
    return {};
}

// Qt's PNG writer stores every palette picture at 8 bits a pixel. The
// 16-colour pictures are written here at 4 bits, their true depth.
quint32 Crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void AppendBigEndian(QByteArray& out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.append(char((value >> shift) & 0xffu));
    }
}

void AppendChunk(QByteArray& out, const char* type, const QByteArray& data)
{
    const QByteArray typed = QByteArray(type, 4) + data;
    AppendBigEndian(out, quint32(data.size()));
    out.append(typed);
    AppendBigEndian(out, Crc32(typed));
}

bool SaveFourBitPng(const QImage& image, const QString& path)
{
    QByteArray header;
    AppendBigEndian(header, quint32(image.width()));
    AppendBigEndian(header, quint32(image.height()));
    header.append(char(4)); // bit depth
    header.append(char(3)); // colour type: palette
    header.append(3, char(0)); // deflate, adaptive filters, no interlace
    QByteArray palette;
    for (const QRgb c : image.colorTable()) {
        palette.append(char(qRed(c)));
        palette.append(char(qGreen(c)));
        palette.append(char(qBlue(c)));
    }
    QByteArray rows;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        rows.append(char(0)); // filter: none
        for (int x = 0; x < image.width(); x += 2) {
            const int low = x + 1 < image.width() ? line[x + 1] : 0;
            rows.append(char((line[x] << 4) | low));
        }
    }
    // qCompress gives a zlib stream after a 4-byte length of its own.
    const QByteArray zlib = qCompress(rows, 9).mid(4);
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "PLTE", palette);
    AppendChunk(png, "IDAT", zlib);
    AppendChunk(png, "IEND", {});
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(png) == png.size() && file.commit();
}

bool Save(const QImage& image, const QString& path)
{
    if (image.format() == QImage::Format_Indexed8 && image.colorCount() <= 16) {
        return SaveFourBitPng(image, path);
    }
    return image.save(path, "PNG");
}

// The desktop icon at the hicolor theme's usual sizes, as
// wendelsaver-<size>.png; the build installs them under share/icons/hicolor.
constexpr int kDesktopIconSizes[] = {16, 32, 48, 64, 128, 256};

int WriteDesktopIcons(const QDir& out)
{
    for (const int size : kDesktopIconSizes) {
        const QString path = out.filePath(QStringLiteral("wendelsaver-%1.png").arg(size));
        if (!DrawDesktopIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "generate_artwork: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

int WriteArtwork(const QDir& out)
{
    // The previews must match the board's "Arial", which Debian maps to
    // Liberation Sans. Another face would still work, so only warn.
    const QString family = QFontInfo(QFont(QStringLiteral("Arial"))).family();
    if (family != QLatin1String("Liberation Sans") && family != QLatin1String("Arial")) {
        std::fprintf(stderr, "generate_artwork: warning: Arial is drawn as %s; install fonts-liberation2\n",
                     qPrintable(family));
    }
    for (const wendel::ArtworkEntry& entry : wendel::kAllArtwork) {
        const QString name = QString::fromLatin1(entry.name.data(), qsizetype(entry.name.size()));
        const QString path = out.filePath(name + QStringLiteral(".png"));
        if (!Save(Draw(entry.id), path)) {
            std::fprintf(stderr, "generate_artwork: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QStringList args = QGuiApplication::arguments();
    const bool icons = args.size() == 3 && args[1] == QLatin1String("--icons");
    if (icons) args.removeAt(1);
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: generate_artwork [--icons] OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(args[1]);
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "generate_artwork: cannot create %s\n", qPrintable(args[1]));
        return 1;
    }
    return icons ? WriteDesktopIcons(out) : WriteArtwork(out);
}
