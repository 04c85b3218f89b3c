// Saves a PNG of the whole primary screen, as the X server holds it: every
// window, the saver's included. The demo takes its pictures with it.
//
//   screen-grab OUT.png      save the screen
//   screen-grab --lit PNG    print the share of pixels that are not black;
//                            exit 0 when it is above 1 %, else 1
//
// Exit codes: 0 saved (or lit); 1 no screen, the file could not be written
// or read, or (--lit) a black picture; 2 bad arguments.

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstring>

namespace {

int Lit(const char* path)
{
    QImage image;
    if (!image.load(QString::fromLocal8Bit(path))) {
        std::fprintf(stderr, "screen-grab: cannot read %s\n", path);
        return 1;
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    long long lit = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xffffff) != 0) ++lit;
        }
    }
    const double share = 100.0 * static_cast<double>(lit) / (static_cast<double>(image.width()) * image.height());
    std::printf("%s: %.1f %% lit\n", path, share);
    return share > 1.0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--lit") == 0) return Lit(argv[2]);
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: screen-grab OUT.png | screen-grab --lit PNG\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        std::fprintf(stderr, "screen-grab: no screen\n");
        return 1;
    }
    // Window 0 is the root window: the screen as a viewer sees it.
    const QPixmap shot = screen->grabWindow(0);
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "screen-grab: could not save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
