// The program's colours. Rgb has COLORREF's layout, so Win32 code uses them as they are.
// The three shades of each disc run rim, ring, centre.
#pragma once

#include "imaging/picture.h"

namespace snapdeck::palette {

inline constexpr Rgb kHouse = MakeRgb(0x22, 0x22, 0x33);  // backgrounds, dark text
inline constexpr Rgb kHouseLight = MakeRgb(0x33, 0x33, 0x44);
inline constexpr Rgb kWhite = MakeRgb(0xFF, 0xFF, 0xFF);
inline constexpr Rgb kSilver = MakeRgb(0xCC, 0xCC, 0xCC);
inline constexpr Rgb kGrey = MakeRgb(0x66, 0x66, 0x66);

inline constexpr Rgb kRed = MakeRgb(0xBB, 0x11, 0x22);
inline constexpr Rgb kRose = MakeRgb(0xDD, 0x44, 0x55);
inline constexpr Rgb kPink = MakeRgb(0xFF, 0x99, 0xAA);

inline constexpr Rgb kNavy = MakeRgb(0x11, 0x22, 0x55);
inline constexpr Rgb kSteel = MakeRgb(0x55, 0x66, 0xAA);
inline constexpr Rgb kSky = MakeRgb(0xAA, 0xBB, 0xFF);

inline constexpr Rgb kGreen = MakeRgb(0x11, 0x77, 0x22);
inline constexpr Rgb kLeaf = MakeRgb(0x44, 0xAA, 0x55);
inline constexpr Rgb kMint = MakeRgb(0x99, 0xEE, 0xAA);

inline constexpr Rgb kOrange = MakeRgb(0xFF, 0x88, 0x11);
inline constexpr Rgb kAmber = MakeRgb(0xFF, 0xAA, 0x33);
inline constexpr Rgb kPale = MakeRgb(0xFF, 0xFF, 0x99);

inline constexpr Rgb kPeach = MakeRgb(0xFF, 0xBB, 0x77);
inline constexpr Rgb kYellow = MakeRgb(0xFF, 0xFF, 0x22);
inline constexpr Rgb kStraw = MakeRgb(0xEE, 0xEE, 0x22);

}  // namespace snapdeck::palette
