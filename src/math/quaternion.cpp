#include "math/quaternion.h"

namespace vexmara {

void MultiplyQuaternions(const float a[4], const float b[4], float out[4]) {
  // Every component is read before any is written, so the result may overwrite an operand.
  const float ax = a[0], ay = a[1], az = a[2], aw = a[3];
  const float bx = b[0], by = b[1], bz = b[2], bw = b[3];
  out[0] = aw * bx + ax * bw + ay * bz - az * by;
  out[1] = aw * by + ay * bw + az * bx - ax * bz;
  out[2] = aw * bz + az * bw + ax * by - ay * bx;
  out[3] = aw * bw - ax * bx - ay * by - az * bz;
}

void QuaternionToMatrix(const float q[4], float out[16]) {
  const float x = q[0], y = q[1], z = q[2], w = q[3];
  // Every product is formed as (2·a)·b in single precision.
  const float xx = (2 * x) * x, yy = (2 * y) * y, zz = (2 * z) * z;
  const float xy = (2 * x) * y, xz = (2 * x) * z, yz = (2 * y) * z;
  const float wx = (2 * w) * x, wy = (2 * w) * y, wz = (2 * w) * z;
  out[0] = 1 - yy - zz;
  out[1] = xy - wz;
  out[2] = xz + wy;
  out[3] = 0;
  out[4] = xy + wz;
  out[5] = 1 - xx - zz;
  out[6] = yz - wx;
  out[7] = 0;
  out[8] = xz - wy;
  out[9] = yz + wx;
  out[10] = 1 - xx - yy;
  out[11] = 0;
  out[12] = 0;
  out[13] = 0;
  out[14] = 0;
  out[15] = 1;
}

}  // namespace vexmara
