#include <urs/plane_geometry.h>

#include <cmath>
#include <limits>

namespace urs {

namespace {

// Stands for the slope of a vertical segment, so that two vertical segments compare equal.
constexpr double kVerticalSlope = std::numeric_limits<double>::max();
constexpr double kOnSegmentTolerance = 1e-6;

double Slope(const QPointF& p1, const QPointF& p2) {
  if (p1.x() == p2.x()) return kVerticalSlope;
  if (p1.y() == p2.y()) return 0.0;
  return (p2.y() - p1.y()) / (p2.x() - p1.x());
}

bool IsFinite(const QPointF& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// p lies on the segment when going through it makes no detour.
bool OnSegment(const QPointF& p, const QPointF& s1, const QPointF& s2) {
  const double detour = PointsDistance(p, s2) + PointsDistance(p, s1) - PointsDistance(s1, s2);
  return std::fabs(detour) <= kOnSegmentTolerance;  // false for NaN
}

}  // namespace

double PointsDistance(const QPointF& a, const QPointF& b) {
  // hypot does not overflow for far-apart points where the squares would.
  return std::hypot(b.x() - a.x(), b.y() - a.y());
}

bool SegmentsIntersection(const QPointF& a1, const QPointF& a2, const QPointF& b1,
                          const QPointF& b2, QPointF& point) {
  if (!IsFinite(a1) || !IsFinite(a2) || !IsFinite(b1) || !IsFinite(b2)) return false;

  const double kA = Slope(a1, a2);
  const double kB = Slope(b1, b2);
  if (kA == kB) return false;  // parallel or collinear: no single common point

  const bool aVertical = kA == kVerticalSlope;
  const bool bVertical = kB == kVerticalSlope;
  const bool aHorizontal = kA == 0.0;
  const bool bHorizontal = kB == 0.0;

  // Axis-parallel lines are handled apart so that the vertical stand-in slope never enters
  // the arithmetic.
  double x = 0.0;
  double y = 0.0;
  if (aHorizontal && bVertical) {
    x = b1.x();
    y = a1.y();
  } else if (aVertical && bHorizontal) {
    x = a1.x();
    y = b1.y();
  } else if (aHorizontal) {
    y = a1.y();
    x = (y - b1.y() + b1.x() * kB) / kB;
  } else if (bHorizontal) {
    y = b1.y();
    x = (y - a1.y() + a1.x() * kA) / kA;
  } else if (aVertical) {
    x = a1.x();
    y = a1.x() * kB + b1.y() - b1.x() * kB;
  } else if (bVertical) {
    x = b1.x();
    y = b1.x() * kA + a1.y() - a1.x() * kA;
  } else {
    x = (b1.y() - b1.x() * kB - a1.y() + a1.x() * kA) / (kA - kB);
    y = x * kA + a1.y() - a1.x() * kA;
  }

  const QPointF p(x, y);
  if (!OnSegment(p, a1, a2) || !OnSegment(p, b1, b2)) return false;
  point = p;
  return true;
}

}  // namespace urs
