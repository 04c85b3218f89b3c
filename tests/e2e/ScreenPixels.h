#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace wendel::e2e {

// The colour (0xRRGGBB) the X server shows at (x, y) of the screen, read
// through a connection of its own; nothing when it cannot be read.
std::optional<std::uint32_t> ScreenPixel(const QString& display, int x, int y);

} // namespace wendel::e2e
