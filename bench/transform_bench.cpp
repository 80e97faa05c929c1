// The closing transforms: DecomposeAffine per matrix, and the axis swap with the rebuild of
// every bone's local transform over a skeleton of thousands of bones.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "abi/host_interface.h"
#include "math/matrix.h"
#include "transform/affine_decomposition.h"
#include "transform/axis_swap.h"

namespace vexmara::bench {
namespace {

// Row-major, for column vectors: rotation about a random axis, a scale per axis (some mirrored),
// a translation.
std::vector<std::array<float, 16>> AffineMatrices(size_t count) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  std::uniform_real_distribution<float> factor(0.2f, 3.0f);
  std::vector<std::array<float, 16>> matrices(count);
  for (auto& m : matrices) {
    float q[4] = {unit(random), unit(random), unit(random), unit(random)};
    const float n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]) + 1e-6f;
    for (float& c : q) c /= n;
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    const float r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                           {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                           {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
    const float s[3] = {factor(random), factor(random),
                        factor(random) * (unit(random) < -0.8f ? -1.0f : 1.0f)};
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column)
        m[size_t(row * 4 + column)] = r[row][column] * s[column];
      m[size_t(row * 4 + 3)] = 10.0f * unit(random);
    }
    m[12] = m[13] = m[14] = 0.0f;
    m[15] = 1.0f;
  }
  return matrices;
}

void BM_DecomposeAffine(benchmark::State& state) {
  const auto matrices = AffineMatrices(size_t(state.range(0)));
  for (auto _ : state) {
    for (const auto& m : matrices) {
      AffineParts parts = DecomposeAffine(m.data());
      benchmark::DoNotOptimize(parts);
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

BENCHMARK(BM_DecomposeAffine)
    ->ArgName("matrices")
    ->Arg(1'000)
    ->Arg(10'000)
    ->Unit(benchmark::kMicrosecond);

// A host context holding only a skeleton: `bones` bones in a chain, each turned a little about
// z and moved along y from its parent, with world matrices as the host makes them current.
// Its bone-transform notification does nothing: the world matrices stay as the swap left them,
// and a quarter turn applied again and again stays finite.
struct SkeletonContext {
  std::unique_ptr<HostContext> context = std::make_unique<HostContext>();
  std::vector<HostBone> bones;
  void* operations[200] = {};

  static int32_t KeepTransforms(void*, int32_t) { return 1; }

  explicit SkeletonContext(int32_t count) : bones(size_t(count)) {
    std::memset(static_cast<void*>(context.get()), 0, sizeof(HostContext));
    std::memset(static_cast<void*>(bones.data()), 0, bones.size() * sizeof(HostBone));
    operations[136] = reinterpret_cast<void*>(&KeepTransforms);
    context->operations = operations;
    for (int32_t i = 0; i < count; ++i) {
      HostBone& bone = bones[size_t(i)];
      bone.parentIndex = i - 1;
      const float angle = 0.05f * float(i % 40);
      const float local[16] = {std::cos(angle),
                               -std::sin(angle),
                               0,
                               0,
                               std::sin(angle),
                               std::cos(angle),
                               0,
                               1,
                               0,
                               0,
                               1,
                               0,
                               0,
                               0,
                               0,
                               1};
      if (i == 0) {
        std::memcpy(bone.worldMatrix, local, sizeof(local));
      } else {
        MultiplyMatrix(bone.worldMatrix, bones[size_t(i - 1)].worldMatrix, local);
      }
    }
    context->bones.count = count;
    context->bones.items = bones.data();
  }
};

void BM_AxisSwap(benchmark::State& state) {
  SkeletonContext skeleton(int32_t(state.range(0)));
  for (auto _ : state) {
    SwapModelAxes(skeleton.context.get());
    benchmark::ClobberMemory();
  }
  if (!std::isfinite(skeleton.bones.back().translation[0]))
    state.SkipWithError("the rebuilt bones are not finite");
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

BENCHMARK(BM_AxisSwap)->ArgName("bones")->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vexmara::bench
