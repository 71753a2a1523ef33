#pragma once
// Window layout units: twips, 1440 per inch, 15 per pixel at 96 dots per inch.

#include <QRect>
#include <cmath>

namespace quillmere {

inline constexpr int kTwipsPerPixel = 15;

inline int PixelsFromTwips(int twips) { return static_cast<int>(std::lround(twips / double(kTwipsPerPixel))); }

inline QRect RectFromTwips(int left, int top, int width, int height)
{
    return {PixelsFromTwips(left), PixelsFromTwips(top), PixelsFromTwips(width), PixelsFromTwips(height)};
}

}  // namespace quillmere
