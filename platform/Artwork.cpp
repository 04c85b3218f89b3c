#include "Artwork.h"

#include <QImageReader>

namespace wendel {

QString SaverTitleText() { return QString::fromLatin1(kSaverTitleText); }

QString SaverBylineText() { return QString::fromLatin1(kSaverBylineText); }

QString ArtworkResourcePath(ArtworkId id)
{
    for (const ArtworkEntry& entry : kAllArtwork) {
        if (entry.id == id) {
            return QStringLiteral(":/artwork/")
                + QString::fromLatin1(entry.name.data(), qsizetype(entry.name.size()))
                + QStringLiteral(".png");
        }
    }
    return {};
}

QImage LoadArtwork(ArtworkId id)
{
    const QString path = ArtworkResourcePath(id);
    if (path.isEmpty()) {
        return {};
    }
    // PNG is Qt's own: naming it keeps the reader from loading every image
    // plugin to ask whether one of them reads PNG better.
    QImageReader reader(path, QByteArrayLiteral("png"));
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    // The PNG reader hands out 24-bit files as RGB32; give the callers the
    // depth the icons were drawn in.
    if (image.format() == QImage::Format_RGB32) {
        image = image.convertToFormat(QImage::Format_RGB888);
    }
    return image;
}

} // namespace wendel
