// Form geometry in twips, 1440 to the inch, as the window cores describe it.
// Each front end converts to its own pixels through its screen's DPI.
#pragma once

#include <cmath>

namespace platform {

struct TwipsPoint {
    int left;
    int top;
};

// A control's place in its window's client area.
struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

// Pixels for twips at dpi dots per inch, rounded to the nearest.
inline int TwipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(twips * static_cast<double>(dpi) / 1440.0));
}

}  // namespace platform
