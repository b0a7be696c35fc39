// 4x4 matrices and 3-vectors: row vectors multiplied on the left (v' = vM),
// translation in the fourth row, left-handed.
#pragma once

namespace qz {

struct Matrix4x4 {
  float m[4][4];
};

struct Vector3 {
  float x, y, z;
};

int MakeIdentityMatrix(Matrix4x4* out);
int MultiplyMatrix4(Matrix4x4* out, const Matrix4x4* a, const Matrix4x4* b);
int TransposeMatrix4(Matrix4x4* out, const Matrix4x4* m);
// -1 when |det| < 1e-7; out unchanged.
int InvertMatrix4(Matrix4x4* out, const Matrix4x4* m);
// aspect is height / width; 0 or below takes the screen's.
int MakePerspectiveMatrix(Matrix4x4* out, float fieldOfView, float nearZ, float farZ, float aspect);
int MakeOrthographicMatrix(Matrix4x4* out, float size, float nearZ, float farZ, float aspect);
int MakeViewportMatrix(Matrix4x4* out, float centreX, float centreY, float width, float height);
int MakeLookAtMatrix(Matrix4x4* out, const Vector3* eye, const Vector3* target, const Vector3* up);

// A zero vector normalises to the zero vector.
int NormalizeVector3(Vector3* out, const Vector3* v);
int MakeNormalizedVector3(Vector3* out, float x, float y, float z);
float DotVector3(const Vector3* a, const Vector3* b);
// (x, y, z, 1) M without the division by w.
int TransformVector3(Vector3* out, const Vector3* v, const Matrix4x4* m);

}  // namespace qz
