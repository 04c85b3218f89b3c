#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>

namespace wendel::e2e {

// The screen as Xvfb keeps it in its -fbdir file (an XWD image, 24 or 32
// bits a pixel); nothing while it cannot be read.
std::optional<QImage> ReadFramebuffer(const QString& xwdPath);

// How many pixels of `area` are not `colour` (0xRRGGBB), skipping `hole`.
int PixelsOtherThan(const QImage& image, const QRect& area, std::uint32_t colour, const QRect& hole = {});
// How many different colours `area` holds: a drawn board has many.
int ColourCount(const QImage& image, const QRect& area);

} // namespace wendel::e2e
