#pragma once
// The static-control style bits that decide how labels and links lay out their text.

namespace static_style {

inline constexpr int kLeft = 0x0;
inline constexpr int kCenter = 0x1;
inline constexpr int kRight = 0x2;
inline constexpr int kLeftNoWordWrap = 0xC;
inline constexpr int kTypeMask = 0x1F;
inline constexpr int kCenterImage = 0x200;

}  // namespace static_style
