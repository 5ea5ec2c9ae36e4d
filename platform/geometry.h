// Points, sizes and rectangles in global display coordinates, and the rectangle functions the logic
// relies on. A rectangle with a negative width or height is treated as its standardised equivalent.
#pragma once

#include <algorithm>
#include <cmath>

namespace platform {

struct Point {
  double x = 0;
  double y = 0;
};

struct Size {
  double width = 0;
  double height = 0;
};

struct Rect {
  Point origin;
  Size size;
};

inline Rect rectMake(double x, double y, double width, double height) { return {{x, y}, {width, height}}; }

inline Rect rectStandardize(Rect r) {
  if (r.size.width < 0) {
    r.origin.x += r.size.width;
    r.size.width = -r.size.width;
  }
  if (r.size.height < 0) {
    r.origin.y += r.size.height;
    r.size.height = -r.size.height;
  }
  return r;
}

inline double rectGetMinX(Rect r) { return rectStandardize(r).origin.x; }
inline double rectGetMinY(Rect r) { return rectStandardize(r).origin.y; }
inline double rectGetWidth(Rect r) { return std::fabs(r.size.width); }
inline double rectGetHeight(Rect r) { return std::fabs(r.size.height); }
inline double rectGetMaxX(Rect r) { return rectGetMinX(r) + rectGetWidth(r); }
inline double rectGetMaxY(Rect r) { return rectGetMinY(r) + rectGetHeight(r); }
inline double rectGetMidX(Rect r) { return rectGetMinX(r) + rectGetWidth(r) / 2; }
inline double rectGetMidY(Rect r) { return rectGetMinY(r) + rectGetHeight(r) / 2; }

// Rectangles that only share an edge do not intersect; an empty rectangle intersects nothing.
inline bool rectIntersectsRect(Rect a, Rect b) {
  a = rectStandardize(a);
  b = rectStandardize(b);
  if (a.size.width == 0 || a.size.height == 0 || b.size.width == 0 || b.size.height == 0) return false;
  return rectGetMinX(a) < rectGetMaxX(b) && rectGetMinX(b) < rectGetMaxX(a) && rectGetMinY(a) < rectGetMaxY(b) &&
         rectGetMinY(b) < rectGetMaxY(a);
}

// True when inner lies wholly inside outer; shared edges are allowed.
inline bool rectContainsRect(Rect outer, Rect inner) {
  return rectGetMinX(inner) >= rectGetMinX(outer) && rectGetMaxX(inner) <= rectGetMaxX(outer) &&
         rectGetMinY(inner) >= rectGetMinY(outer) && rectGetMaxY(inner) <= rectGetMaxY(outer);
}

}  // namespace platform
