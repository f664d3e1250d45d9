#pragma once
// Points and line segments in the plane.

#include <urs/urs_core_export.h>

#include <QPointF>

namespace urs {

// Euclidean distance of a and b.
URS_CORE_EXPORT double PointsDistance(const QPointF& a, const QPointF& b);

// True when segment a1-a2 and segment b1-b2 meet in one point, which is then written to point
// (left alone otherwise). An end point lying on the other segment counts, within an absolute
// 1e-6 on the distances. Parallel segments never meet, collinear overlapping ones included,
// as they share no single point; neither do two segments reduced to a point each. Any
// coordinate that is not finite gives false.
URS_CORE_EXPORT bool SegmentsIntersection(const QPointF& a1, const QPointF& a2, const QPointF& b1,
                                          const QPointF& b2, QPointF& point);

}  // namespace urs
