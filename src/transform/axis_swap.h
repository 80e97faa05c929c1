// The quarter turn of the whole host scene, (x, y, z) -> (x, z, -y), with the rebuild of every
// host bone's local transform from its turned world matrix.
//
// Matrices are 16 floats, row-major ([row][column] = element row × 4 + column), for column
// vectors, with the translation in elements 3, 7 and 11.
#pragma once

#include "abi/host_interface.h"

namespace vexmara {

// Turns vertices, bones and the host's scene objects; nothing when the context is null.
// Asks the host to make every bone's world matrix current first, turns the world matrices,
// derives each bone's local matrix from its parent's turned world matrix and splits that into
// the bone's translation, rotation and scale.
void SwapModelAxes(HostContext* context);

// The bones' part of SwapModelAxes alone: the notification, the turned world matrices and the
// rebuilt local transforms. Vertices and scene objects are left as they are.
void SwapBoneAxes(HostContext* context);

// (x, y, z) -> (x, z, -y), in place.
void SwapAxes(float vector[3]);

// matrix <- P·matrix, with P the matrix of SwapAxes: rows 0 and 3 stay, row 1 becomes the old
// row 2 and row 2 the old row 1 negated (every element's sign flips, zeros included).
void SwapMatrixAxes(float matrix[16]);

}  // namespace vexmara
