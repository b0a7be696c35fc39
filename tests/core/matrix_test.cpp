// Matrix builders, inversion, vector helpers and rectangle clipping: the
// guards that refuse degenerate input and the conventions (row vectors,
// translation in the fourth row, left-handed) that callers depend on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/matrix.h"
#include "core/rect.h"
#include "graphics/screen_settings.h"

namespace qz {
namespace {

constexpr float kPi = 3.14159265f;

Matrix4x4 Translation(float x, float y, float z) {
  Matrix4x4 m;
  MakeIdentityMatrix(&m);
  m.m[3][0] = x;
  m.m[3][1] = y;
  m.m[3][2] = z;
  return m;
}

Vector3 Transform(const Vector3& v, const Matrix4x4& m) {
  Vector3 out;
  EXPECT_EQ(TransformVector3(&out, &v, &m), 0);
  return out;
}

void ExpectVector(const Vector3& v, float x, float y, float z, float tolerance = 1e-4f) {
  EXPECT_NEAR(v.x, x, tolerance);
  EXPECT_NEAR(v.y, y, tolerance);
  EXPECT_NEAR(v.z, z, tolerance);
}

// Restores the default screen size when a test changed it.
struct ScreenSizeGuard {
  ~ScreenSizeGuard() { SetScreenModeSize(0, 0); }
};

TEST(Matrix, MultiplyOrderTransposeAndTransform) {
  Matrix4x4 identity;
  ASSERT_EQ(MakeIdentityMatrix(&identity), 0);
  ExpectVector(Transform({1, 2, 3}, identity), 1, 2, 3);
  ExpectVector(Transform({1, 2, 3}, Translation(10, 20, 30)), 11, 22, 33);

  // a then b: with row vectors v (a b) applies a first.
  Matrix4x4 scale{};
  scale.m[0][0] = scale.m[1][1] = scale.m[2][2] = 2.0f;
  scale.m[3][3] = 1.0f;
  const Matrix4x4 move = Translation(10, 0, 0);
  Matrix4x4 product;
  ASSERT_EQ(MultiplyMatrix4(&product, &move, &scale), 0);
  ExpectVector(Transform({1, 0, 0}, product), 22, 0, 0);
  ASSERT_EQ(MultiplyMatrix4(&product, &scale, &move), 0);
  ExpectVector(Transform({1, 0, 0}, product), 12, 0, 0);

  // The output may be an input.
  Matrix4x4 inPlace = move;
  ASSERT_EQ(MultiplyMatrix4(&inPlace, &inPlace, &scale), 0);
  ExpectVector(Transform({1, 0, 0}, inPlace), 22, 0, 0);

  Matrix4x4 transposed;
  ASSERT_EQ(TransposeMatrix4(&transposed, &move), 0);
  EXPECT_EQ(transposed.m[0][3], 10.0f);
  EXPECT_EQ(transposed.m[3][0], 0.0f);
  ASSERT_EQ(TransposeMatrix4(&transposed, &transposed), 0);
  EXPECT_EQ(std::memcmp(&transposed, &move, sizeof move), 0);
}

TEST(Matrix, Inverse) {
  Matrix4x4 zeroRow = Translation(1, 2, 3);
  zeroRow.m[1][0] = zeroRow.m[1][1] = zeroRow.m[1][2] = zeroRow.m[1][3] = 0.0f;
  Matrix4x4 out;
  std::memset(&out, 0x5A, sizeof out);
  Matrix4x4 untouched = out;
  EXPECT_EQ(InvertMatrix4(&out, &zeroRow), -1);
  EXPECT_EQ(std::memcmp(&out, &untouched, sizeof out), 0);

  Matrix4x4 dependent = Translation(0, 0, 0);
  for (int c = 0; c < 4; ++c) dependent.m[2][c] = 2.0f * dependent.m[0][c] + dependent.m[1][c];
  EXPECT_EQ(InvertMatrix4(&out, &dependent), -1);

  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  for (int trial = 0; trial < 50; ++trial) {
    Matrix4x4 m;
    for (auto& row : m.m) {
      for (float& element : row) element = value(random);
    }
    for (int i = 0; i < 4; ++i) m.m[i][i] += 5.0f;  // diagonally dominant: well conditioned
    Matrix4x4 inverse;
    ASSERT_EQ(InvertMatrix4(&inverse, &m), 0);
    Matrix4x4 product;
    MultiplyMatrix4(&product, &m, &inverse);
    for (int row = 0; row < 4; ++row) {
      for (int column = 0; column < 4; ++column) {
        ASSERT_NEAR(product.m[row][column], row == column ? 1.0f : 0.0f, 1e-5f) << "trial " << trial;
      }
    }
    ASSERT_EQ(InvertMatrix4(&m, &m), 0) << "in place";
    EXPECT_EQ(std::memcmp(&m, &inverse, sizeof m), 0);
  }
}

TEST(Matrix, Perspective) {
  Matrix4x4 out = Translation(1, 2, 3);
  const Matrix4x4 before = out;
  EXPECT_EQ(MakePerspectiveMatrix(&out, kPi / 2, 10.0f, 10.0f, 0.75f), -1);
  EXPECT_EQ(MakePerspectiveMatrix(&out, 0.0f, 1.0f, 100.0f, 0.75f), -1);
  EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);

  ASSERT_EQ(MakePerspectiveMatrix(&out, kPi / 2, 1.0f, 101.0f, 0.75f), 0);
  EXPECT_NEAR(out.m[0][0], 0.75f, 1e-5f);
  EXPECT_NEAR(out.m[1][1], 1.0f, 1e-5f);
  EXPECT_EQ(out.m[2][3], 1.0f);
  EXPECT_EQ(out.m[3][3], 0.0f);
  // Depth runs 0 at the near plane to 1 at the far plane after the divide by w = z.
  const Vector3 nearPoint = Transform({0, 0, 1.0f}, out);
  const Vector3 farPoint = Transform({0, 0, 101.0f}, out);
  EXPECT_NEAR(nearPoint.z / 1.0f, 0.0f, 1e-5f);
  EXPECT_NEAR(farPoint.z / 101.0f, 1.0f, 1e-5f);

  // No aspect: the screen's height / width.
  ScreenSizeGuard guard;
  ASSERT_EQ(MakePerspectiveMatrix(&out, kPi / 2, 1.0f, 101.0f, 0.0f), 0);
  EXPECT_NEAR(out.m[0][0], 0.75f, 1e-5f);
  SetScreenModeSize(800, 400);
  ASSERT_EQ(MakePerspectiveMatrix(&out, kPi / 2, 1.0f, 101.0f, -1.0f), 0);
  EXPECT_NEAR(out.m[0][0], 0.5f, 1e-5f);
}

TEST(Matrix, OrthographicAndViewport) {
  Matrix4x4 out;
  EXPECT_EQ(MakeOrthographicMatrix(&out, 480.0f, 5.0f, 5.00001f, 0.75f), -1);
  ASSERT_EQ(MakeOrthographicMatrix(&out, 480.0f, 0.0f, 100.0f, 0.0f), 0);
  EXPECT_FLOAT_EQ(out.m[0][0], 2.0f / 640.0f);
  EXPECT_FLOAT_EQ(out.m[1][1], 2.0f / 480.0f);
  EXPECT_EQ(out.m[3][3], 1.0f);
  ExpectVector(Transform({320, 240, 100}, out), 1, 1, 1);
  ExpectVector(Transform({-320, -240, 0}, out), -1, -1, 0);

  ASSERT_EQ(MakeViewportMatrix(&out, 320, 240, 640, 480), 0);
  ExpectVector(Transform({1, 1, 0.5f}, out), 640, 0, 0.5f);
  ExpectVector(Transform({-1, -1, 0}, out), 0, 480, 0);
}

TEST(Matrix, LookAt) {
  const Vector3 eye{3, 4, 5};
  const Vector3 target{0, 1, -2};
  const Vector3 up{0, 1, 0};
  Matrix4x4 view;
  ASSERT_EQ(MakeLookAtMatrix(&view, &eye, &target, &up), 0);
  Vector3 basis[3];
  for (int axis = 0; axis < 3; ++axis) basis[axis] = {view.m[0][axis], view.m[1][axis], view.m[2][axis]};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(DotVector3(&basis[i], &basis[j]), i == j ? 1.0f : 0.0f, 1e-5f);
  }
  ExpectVector(Transform(eye, view), 0, 0, 0);
  const float distance = std::sqrt(9.0f + 9.0f + 49.0f);
  ExpectVector(Transform(target, view), 0, 0, distance);  // ahead on +z
  EXPECT_GT(Transform({0, 10, 0}, view).y, 0.0f) << "up stays up";

  // Looking straight along up has no sideways axis: no NaN may come out.
  const Vector3 above{3, 10, 5};
  ASSERT_EQ(MakeLookAtMatrix(&view, &eye, &above, &up), 0);
  for (const auto& row : view.m) {
    for (float element : row) EXPECT_TRUE(std::isfinite(element));
  }
}

TEST(Vector, NormaliseAndDot) {
  Vector3 out;
  const Vector3 v{3, 0, 4};
  ASSERT_EQ(NormalizeVector3(&out, &v), 0);
  ExpectVector(out, 0.6f, 0, 0.8f, 1e-6f);
  ASSERT_EQ(MakeNormalizedVector3(&out, 0, -2, 0), 0);
  ExpectVector(out, 0, -1, 0, 1e-6f);

  const Vector3 zero{0, 0, 0};
  ASSERT_EQ(NormalizeVector3(&out, &zero), 0);
  EXPECT_EQ(out.x, 0.0f);
  EXPECT_EQ(out.y, 0.0f);
  EXPECT_EQ(out.z, 0.0f);
  ASSERT_EQ(MakeNormalizedVector3(&out, 1e-30f, 0, 0), 0);
  EXPECT_FALSE(std::isnan(out.x));

  const Vector3 a{1, 2, 3};
  const Vector3 b{-4, 5, 0.5f};
  EXPECT_FLOAT_EQ(DotVector3(&a, &b), 7.5f);
  EXPECT_EQ(NormalizeVector3(nullptr, &a), -1);
  EXPECT_EQ(TransformVector3(&out, &a, nullptr), -1);
}

TEST(ClipRect, EdgesClampToTheirOwnPairAndNeverInvert) {
  const Rect screen{0, 0, 640, 480};
  const Rect inner{100, 20, 300, 200};  // distinct edges: one clamped against the wrong pair shows
  const struct {
    const char* name;
    Rect rect;
    Rect clip;
    Rect expected;
  } cases[] = {
      {"inside", {10, 20, 30, 40}, screen, {10, 20, 30, 40}},
      {"equal to the clip", {0, 0, 640, 480}, screen, {0, 0, 640, 480}},
      {"over the top left", {-10, -20, 30, 40}, screen, {0, 0, 30, 40}},
      {"over the bottom right", {600, 470, 700, 500}, screen, {600, 470, 640, 480}},
      {"wholly left: zero width", {-50, 10, -10, 20}, screen, {0, 10, 0, 20}},
      {"wholly below: zero height", {10, 500, 20, 600}, screen, {10, 480, 20, 480}},
      {"left and bottom", {50, 150, 150, 250}, inner, {100, 150, 150, 200}},
      {"right and top", {250, 0, 400, 30}, inner, {250, 20, 300, 30}},
      {"outside a corner", {0, 210, 90, 260}, inner, {100, 200, 100, 200}},
      {"inside a tall clip", {20, 120, 50, 150}, {10, 100, 300, 200}, {20, 120, 50, 150}},
      {"right only", {20, 120, 250, 150}, {10, 100, 200, 300}, {20, 120, 200, 150}},
      // Reversed edges collapse onto left and top before clamping.
      {"reversed", {30, 40, 10, 20}, screen, {30, 40, 30, 40}},
      {"reversed outside", {700, -5, 10, -50}, screen, {640, 0, 640, 0}},
  };
  for (const auto& c : cases) {
    Rect r = c.rect;
    ClipRect(&r, &c.clip);
    EXPECT_TRUE(r.left == c.expected.left && r.top == c.expected.top && r.right == c.expected.right &&
                r.bottom == c.expected.bottom)
        << c.name << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }

  // A reversed clip must still never produce a negative size.
  Rect r{-10, -10, 200, 200};
  const Rect reversedClip{100, 100, 0, 0};
  ClipRect(&r, &reversedClip);
  EXPECT_GE(r.right, r.left);
  EXPECT_GE(r.bottom, r.top);

  Rect untouched{1, 2, 3, 4};
  ClipRect(&untouched, nullptr);
  EXPECT_TRUE(untouched.left == 1 && untouched.top == 2 && untouched.right == 3 && untouched.bottom == 4);
}

}  // namespace
}  // namespace qz
