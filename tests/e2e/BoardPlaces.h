#pragma once

#include <QRect>
#include <QString>

#include <cstdint>

namespace wendel::e2e {

inline const QString kBoardTitle = QStringLiteral("WendelSaver");

// Places on the board, in pixels from its top-left corner. A square cover is
// fitted to 320 x 320 at (160, 114); its middle shows nothing else once a
// track plays. The waiting text lies over the cover area, in front of it.
inline const QRect kCoverMiddle(300, 254, 40, 40);
inline const QRect kWaitingLabel(154, 192, 343, 103);
inline constexpr std::uint32_t kLabelOlive = 0xC0C000;
// Where the title begins.
inline const QRect kTrackLabel(34, 28, 306, 26);
inline constexpr std::uint32_t kLabelYellow = 0xFFFF00;

// Cover colours: none of them is black or one of the board's text colours.
inline constexpr std::uint32_t kRose = 0xC03060;
inline constexpr std::uint32_t kSea = 0x3060C0;

} // namespace wendel::e2e
