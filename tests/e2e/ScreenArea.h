#pragma once

#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>

namespace wendel::e2e {

// How many pixels of `area` (screen coordinates) the X server shows in
// exactly `colour` (0xRRGGBB); nothing when the screen cannot be read.
std::optional<int> CountScreenPixels(const QString& display, const QRect& area, std::uint32_t colour);

} // namespace wendel::e2e
