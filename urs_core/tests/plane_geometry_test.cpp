#include <urs/plane_geometry.h>

#include <gtest/gtest.h>

#include <limits>

namespace {

using urs::PointsDistance;
using urs::SegmentsIntersection;

const QPointF kUntouched(-7.0, -7.0);

// Runs the intersection with a sentinel in the result, so a false answer can be checked to
// leave it alone.
bool Meet(QPointF a1, QPointF a2, QPointF b1, QPointF b2, QPointF& at) {
  at = kUntouched;
  return SegmentsIntersection(a1, a2, b1, b2, at);
}

TEST(PointsDistance, IsEuclidean) {
  EXPECT_DOUBLE_EQ(PointsDistance({0, 0}, {3, 4}), 5.0);
  EXPECT_DOUBLE_EQ(PointsDistance({2, 2}, {-1, -2}), 5.0);
  EXPECT_DOUBLE_EQ(PointsDistance({1.5, -3}, {1.5, -3}), 0.0);
}

TEST(SegmentsIntersection, CrossingSegmentsMeet) {
  QPointF at;
  ASSERT_TRUE(Meet({0, 0}, {2, 2}, {0, 2}, {2, 0}, at));
  EXPECT_DOUBLE_EQ(at.x(), 1.0);
  EXPECT_DOUBLE_EQ(at.y(), 1.0);
}

TEST(SegmentsIntersection, AxisParallelSegments) {
  QPointF at;
  ASSERT_TRUE(Meet({1, -1}, {1, 1}, {0, 0}, {2, 0}, at));  // vertical, horizontal
  EXPECT_EQ(at, QPointF(1, 0));
  ASSERT_TRUE(Meet({0, 0}, {2, 0}, {1, -1}, {1, 1}, at));  // horizontal, vertical
  EXPECT_EQ(at, QPointF(1, 0));
  ASSERT_TRUE(Meet({0, 1}, {4, 1}, {0, 0}, {2, 2}, at));  // horizontal, slope 1
  EXPECT_DOUBLE_EQ(at.x(), 1.0);
  EXPECT_DOUBLE_EQ(at.y(), 1.0);
  ASSERT_TRUE(Meet({0, 0}, {4, 8}, {0, 3}, {4, 3}, at));  // slope 2, horizontal
  EXPECT_DOUBLE_EQ(at.x(), 1.5);
  EXPECT_DOUBLE_EQ(at.y(), 3.0);
  ASSERT_TRUE(Meet({3, 0}, {3, 10}, {0, 0}, {4, 8}, at));  // vertical, slope 2
  EXPECT_DOUBLE_EQ(at.x(), 3.0);
  EXPECT_DOUBLE_EQ(at.y(), 6.0);
  ASSERT_TRUE(Meet({0, 0}, {4, 8}, {3, 10}, {3, 0}, at));  // slope 2, vertical
  EXPECT_DOUBLE_EQ(at.x(), 3.0);
  EXPECT_DOUBLE_EQ(at.y(), 6.0);
}

TEST(SegmentsIntersection, CrossingLinesButDisjointSegments) {
  QPointF at;
  // The lines cross at (1,1), an end point of A but beyond B.
  EXPECT_FALSE(Meet({0, 0}, {1, 1}, {2, 0}, {3, -1}, at));
  EXPECT_EQ(at, kUntouched);
  EXPECT_FALSE(Meet({1, 1}, {1, 3}, {0, 0}, {2, 0}, at));  // vertical stops short
  EXPECT_EQ(at, kUntouched);
}

TEST(SegmentsIntersection, ParallelAndCollinearNeverMeet) {
  QPointF at;
  EXPECT_FALSE(Meet({0, 0}, {1, 1}, {0, 1}, {1, 2}, at));
  EXPECT_FALSE(Meet({0, 0}, {0, 1}, {1, 0}, {1, 1}, at));  // both vertical
  EXPECT_FALSE(Meet({0, 0}, {2, 0}, {1, 0}, {3, 0}, at));  // collinear overlap, horizontal
  EXPECT_FALSE(Meet({0, 0}, {2, 2}, {3, 3}, {1, 1}, at));  // collinear overlap, sloped
  EXPECT_FALSE(Meet({0, 0}, {0, 2}, {0, 1}, {0, 3}, at));  // collinear overlap, vertical
  EXPECT_EQ(at, kUntouched);
}

TEST(SegmentsIntersection, TouchingEndPointsMeet) {
  QPointF at;
  ASSERT_TRUE(Meet({0, 0}, {2, 0}, {1, 0}, {1, 5}, at));  // T junction
  EXPECT_EQ(at, QPointF(1, 0));
  ASSERT_TRUE(Meet({0, 0}, {1, 1}, {1, 1}, {2, 0}, at));  // shared corner
  EXPECT_DOUBLE_EQ(at.x(), 1.0);
  EXPECT_DOUBLE_EQ(at.y(), 1.0);
}

TEST(SegmentsIntersection, ToleranceOnTheDetour) {
  QPointF at;
  // P = (1,0) is 1e-7 from B's end: a detour of 2e-7, within 1e-6.
  ASSERT_TRUE(Meet({0, 0}, {2, 0}, {1, 1e-7}, {1, 5}, at));
  EXPECT_EQ(at, QPointF(1, 0));
  // 1e-3 away: a detour of 2e-3.
  EXPECT_FALSE(Meet({0, 0}, {2, 0}, {1, 1e-3}, {1, 5}, at));
  EXPECT_EQ(at, kUntouched);
}

TEST(SegmentsIntersection, NonFiniteCoordinatesAreRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  QPointF at;
  EXPECT_FALSE(Meet({nan, 0}, {2, 2}, {0, 2}, {2, 0}, at));
  EXPECT_FALSE(Meet({0, 0}, {2, 2}, {0, 2}, {2, inf}, at));
  EXPECT_EQ(at, kUntouched);
}

}  // namespace
