// Matrix builders and vector helpers for the camera, projection, lights and
// transformed drawing. Results go through a local first, so an output may
// alias an input and a failed call leaves its output as it was.
#include "core/matrix.h"

#include "core/string_util.h"
#include "graphics/screen_settings.h"

namespace qz {
namespace {

constexpr Matrix4x4 kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
constexpr float kDepthEpsilon = 0.0001f;
constexpr float kSingularDeterminant = 1e-7f;

// The screen's height / width when the caller gives no usable aspect.
float ResolveAspect(float aspect) {
  if (aspect > 0.0f) return aspect;
  int width = 0;
  int height = 0;
  GetScreenModeSize(&width, &height);
  return width > 0 ? static_cast<float>(height) / static_cast<float>(width) : 1.0f;
}

Vector3 Subtract(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector3 Cross(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vector3 Normalized(const Vector3& v) {
  Vector3 out;
  NormalizeVector3(&out, &v);
  return out;
}

}  // namespace

int MakeIdentityMatrix(Matrix4x4* out) {
  if (out == nullptr) return -1;
  *out = kIdentity;
  return 0;
}

int MultiplyMatrix4(Matrix4x4* out, const Matrix4x4* a, const Matrix4x4* b) {
  if (out == nullptr || a == nullptr || b == nullptr) return -1;
  Matrix4x4 product;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a->m[row][k] * b->m[k][column];
      product.m[row][column] = sum;
    }
  }
  *out = product;
  return 0;
}

int TransposeMatrix4(Matrix4x4* out, const Matrix4x4* m) {
  if (out == nullptr || m == nullptr) return -1;
  Matrix4x4 transposed;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) transposed.m[column][row] = m->m[row][column];
  }
  *out = transposed;
  return 0;
}

int InvertMatrix4(Matrix4x4* out, const Matrix4x4* m) {
  if (out == nullptr || m == nullptr) return -1;
  const auto& a = m->m;
  // 2x2 minors of the lower two rows and of the upper two rows; every 3x3
  // cofactor is a combination of them.
  const float s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
  const float s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
  const float s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
  const float s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
  const float s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
  const float s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
  const float c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
  const float c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
  const float c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
  const float c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
  const float c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
  const float c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

  const float determinant = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (AbsFloat(determinant) < kSingularDeterminant) return -1;
  const float inverse = 1.0f / determinant;

  Matrix4x4 r;
  r.m[0][0] = (a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3) * inverse;
  r.m[0][1] = (-a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3) * inverse;
  r.m[0][2] = (a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3) * inverse;
  r.m[0][3] = (-a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3) * inverse;
  r.m[1][0] = (-a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1) * inverse;
  r.m[1][1] = (a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1) * inverse;
  r.m[1][2] = (-a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1) * inverse;
  r.m[1][3] = (a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1) * inverse;
  r.m[2][0] = (a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0) * inverse;
  r.m[2][1] = (-a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0) * inverse;
  r.m[2][2] = (a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0) * inverse;
  r.m[2][3] = (-a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0) * inverse;
  r.m[3][0] = (-a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0) * inverse;
  r.m[3][1] = (a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0) * inverse;
  r.m[3][2] = (-a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0) * inverse;
  r.m[3][3] = (a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0) * inverse;
  *out = r;
  return 0;
}

int MakePerspectiveMatrix(Matrix4x4* out, float fieldOfView, float nearZ, float farZ, float aspect) {
  if (out == nullptr) return -1;
  aspect = ResolveAspect(aspect);
  float sine = 0.0f;
  float cosine = 0.0f;
  SinCosFloat(fieldOfView * 0.5f, &sine, &cosine);
  if (AbsFloat(farZ - nearZ) < kDepthEpsilon || AbsFloat(sine) < kDepthEpsilon) return -1;

  const float cotangent = cosine / sine;
  const float q = farZ / (farZ - nearZ);
  *out = Matrix4x4{};
  out->m[0][0] = aspect * cotangent;
  out->m[1][1] = cotangent;
  out->m[2][2] = q;
  out->m[3][2] = -q * nearZ;
  out->m[2][3] = 1.0f;
  return 0;
}

int MakeOrthographicMatrix(Matrix4x4* out, float size, float nearZ, float farZ, float aspect) {
  if (out == nullptr) return -1;
  aspect = ResolveAspect(aspect);
  if (AbsFloat(nearZ - farZ) < kDepthEpsilon) return -1;

  const float width = size / aspect;
  *out = Matrix4x4{};
  out->m[0][0] = 2.0f / width;
  out->m[1][1] = 2.0f / size;
  out->m[2][2] = 1.0f / (farZ - nearZ);
  out->m[3][2] = nearZ / (nearZ - farZ);
  out->m[3][3] = 1.0f;
  return 0;
}

int MakeViewportMatrix(Matrix4x4* out, float centreX, float centreY, float width, float height) {
  if (out == nullptr) return -1;
  *out = Matrix4x4{};
  out->m[0][0] = width * 0.5f;
  out->m[1][1] = -height * 0.5f;
  out->m[2][2] = 1.0f;
  out->m[3][3] = 1.0f;
  out->m[3][0] = centreX;
  out->m[3][1] = centreY;
  return 0;
}

int MakeLookAtMatrix(Matrix4x4* out, const Vector3* eye, const Vector3* target, const Vector3* up) {
  if (out == nullptr || eye == nullptr || target == nullptr || up == nullptr) return -1;
  const Vector3 z = Normalized(Subtract(*target, *eye));
  const Vector3 x = Normalized(Cross(*up, z));
  const Vector3 y = Normalized(Cross(z, x));
  *out = Matrix4x4{{{x.x, y.x, z.x, 0.0f},
                    {x.y, y.y, z.y, 0.0f},
                    {x.z, y.z, z.z, 0.0f},
                    {-DotVector3(&x, eye), -DotVector3(&y, eye), -DotVector3(&z, eye), 1.0f}}};
  return 0;
}

int NormalizeVector3(Vector3* out, const Vector3* v) {
  if (out == nullptr || v == nullptr) return -1;
  const float length = SqrtFloat(v->x * v->x + v->y * v->y + v->z * v->z);
  // A zero (or underflowing) length has no direction; give the zero vector
  // instead of NaNs that would spread through every later product.
  if (!(length > 0.0f)) {
    *out = Vector3{0.0f, 0.0f, 0.0f};
    return 0;
  }
  *out = Vector3{v->x / length, v->y / length, v->z / length};
  return 0;
}

int MakeNormalizedVector3(Vector3* out, float x, float y, float z) {
  const Vector3 v{x, y, z};
  return NormalizeVector3(out, &v);
}

float DotVector3(const Vector3* a, const Vector3* b) {
  if (a == nullptr || b == nullptr) return 0.0f;
  return a->x * b->x + a->y * b->y + a->z * b->z;
}

int TransformVector3(Vector3* out, const Vector3* v, const Matrix4x4* m) {
  if (out == nullptr || v == nullptr || m == nullptr) return -1;
  const auto& a = m->m;
  const Vector3 result{v->x * a[0][0] + v->y * a[1][0] + v->z * a[2][0] + a[3][0],
                       v->x * a[0][1] + v->y * a[1][1] + v->z * a[2][1] + a[3][1],
                       v->x * a[0][2] + v->y * a[1][2] + v->z * a[2][2] + a[3][2]};
  *out = result;
  return 0;
}

}  // namespace qz
