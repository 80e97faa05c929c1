// Properties of the decomposition over generated matrices, and its behaviour on hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "affine_test_support.h"
#include "transform/affine_decomposition.h"

namespace vexmara {
namespace {

using namespace affine_test;

struct Sample {
  std::string kind;
  Affine16 input;
  bool singular;  // exactly or numerically: no sign expectation
};

// Recomposition tolerance relative to the matrix's size. A float decomposition is accurate to
// a few units of 2^-24 times σ1/σ2, the ratio of the two largest singular values (estimated
// here as size² / largest cofactor); matrices flatter than 2^-12 are treated as rank one,
// which bounds the error by about that fraction.
double RecompositionTolerance(const M3& a) {
  double cofactor = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      cofactor = std::fmax(cofactor, std::fabs(a[i1][j1] * a[i2][j2] - a[i1][j2] * a[i2][j1]));
    }
  const double size = MaxAbs(a);
  if (size == 0) return 0;
  const double flatness = size * size / std::fmax(cofactor, 1e-300);
  return std::fmin(2e-5 + 5e-7 * flatness, 5e-4);
}

// Every property the parts must have, whatever the input: finite, the fixed components in
// place, unit quaternions, a sign of ±1 and the input recomposed as T·F·R·U·K·Uᵀ.
void ExpectSoundParts(const Affine16& input, const AffineParts& p) {
  ASSERT_TRUE(AllFinite(p));
  EXPECT_EQ(p.translation[0], input.m[3]);
  EXPECT_EQ(p.translation[1], input.m[7]);
  EXPECT_EQ(p.translation[2], input.m[11]);
  EXPECT_EQ(p.translation[3], 0.0f);
  EXPECT_EQ(p.scale[3], 1.0f);
  EXPECT_TRUE(p.determinantSign == 1.0f || p.determinantSign == -1.0f);
  EXPECT_NEAR(Length(p.rotation), 1.0, 1e-5) << "R must be a proper rotation";
  EXPECT_NEAR(Length(p.stretchRotation), 1.0, 1e-5);
  const M3 a = Upper3(input.m);
  EXPECT_LE(MaxAbsDiff(Recompose3(p), a), RecompositionTolerance(a) * MaxAbs(a));
}

std::vector<Sample> GenerateSamples() {
  std::mt19937 rng(20240607);
  std::uniform_real_distribution<double> entry(-10, 10);
  std::uniform_real_distribution<double> factor(0.05, 20);
  std::uniform_int_distribution<int> small(-3, 3);
  std::uniform_int_distribution<int> coin(0, 1);
  std::vector<Sample> out;
  auto add = [&](const std::string& kind, const M3& a, bool singular) {
    out.push_back({kind, ToAffine16(a, entry(rng), entry(rng), entry(rng)), singular});
  };
  auto stretch = [&](double a, double b, double c) {
    const M3 u = RandomRotation(rng);
    return Mul(Mul(u, Diag(a, b, c)), Transpose(u));
  };
  for (int n = 0; n < 60; ++n) {
    M3 a{};
    for (auto& row : a) {
      for (double& v : row) v = entry(rng);
    }
    add("general", a, std::fabs(Det(a)) < 1e-2);
  }
  for (int n = 0; n < 60; ++n)
    add("rotation and stretch",
        Mul(RandomRotation(rng), stretch(factor(rng), factor(rng), factor(rng))), false);
  for (int n = 0; n < 60; ++n) {
    const M3 mirror = Diag(coin(rng) ? -1 : 1, -1, 1);
    add("mirrored",
        Mul(Mul(RandomRotation(rng), mirror), stretch(factor(rng), factor(rng), factor(rng))),
        false);
  }
  for (int n = 0; n < 60; ++n) {
    // Exactly repeated factors: axis-aligned stretch between cube rotations stays exact in
    // float, so the snuggle sees bitwise equal factors.
    const float a = static_cast<float>(factor(rng));
    const float b = static_cast<float>(factor(rng));
    const int where = n % 4;
    const M3 k = where == 0   ? Diag(a, a, b)
                 : where == 1 ? Diag(a, b, a)
                 : where == 2 ? Diag(b, a, a)
                              : Diag(a, a, a);
    const M3 mirror = coin(rng) ? Diag(-1, 1, 1) : Identity3();
    add("repeated factors, exact",
        Mul(Mul(RandomCubeRotation(rng), mirror), Mul(k, RandomCubeRotation(rng))), false);
  }
  for (int n = 0; n < 40; ++n) {
    const double a = factor(rng);
    add("repeated factors, rounded", Mul(RandomRotation(rng), stretch(a, a, factor(rng))), false);
  }
  for (int n = 0; n < 40; ++n)
    add("rank two, rounded", Mul(RandomRotation(rng), stretch(factor(rng), factor(rng), 0)), true);
  for (int n = 0; n < 40; ++n) {
    M3 a{};
    for (int j = 0; j < 3; ++j) {
      a[0][j] = small(rng);
      a[1][j] = small(rng);
      a[2][j] = a[0][j] + (coin(rng) ? a[1][j] : -a[1][j]);
    }
    if (coin(rng)) std::swap(a[0], a[2]);
    add("rank two, exact", a, true);
  }
  for (int n = 0; n < 40; ++n) {
    M3 a{};
    double u[3], v[3];
    const bool exact = n % 2 == 0;
    for (int i = 0; i < 3; ++i) {
      u[i] = exact ? small(rng) : entry(rng);
      v[i] = exact ? small(rng) : entry(rng);
    }
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) a[i][j] = u[i] * v[j];
    add(exact ? "rank one, exact" : "rank one, rounded", a, true);
  }
  for (int n = 0; n < 20; ++n) {
    const double tiny = std::pow(10.0, -2.0 - n % 10);
    add("nearly singular", Mul(RandomRotation(rng), stretch(factor(rng), factor(rng), tiny)), true);
  }
  add("rank zero", M3{}, true);
  return out;
}

TEST(DecomposeAffineProperties, PartsRecomposeGeneratedMatrices) {
  const std::vector<Sample> samples = GenerateSamples();
  ASSERT_GT(samples.size(), 400u);
  for (size_t n = 0; n < samples.size(); ++n) {
    const Sample& s = samples[n];
    SCOPED_TRACE(::testing::Message() << s.kind << " #" << n);
    const AffineParts p = DecomposeAffine(s.input.m);
    ExpectSoundParts(s.input, p);
    const double det = Det(Upper3(s.input.m));
    if (!s.singular) {
      EXPECT_EQ(p.determinantSign, det < 0 ? -1.0f : 1.0f);
    }
  }
}

TEST(DecomposeAffineProperties, StretchFactorsAreThoseOfTheSymmetricFactor) {
  // For A = R·V·diag(k)·Vᵀ with a proper R and positive k, the factors are k (in some order)
  // and the rotation is R.
  std::mt19937 rng(77);
  std::uniform_real_distribution<double> factor(0.1, 10);
  for (int n = 0; n < 100; ++n) {
    std::vector<double> k = {factor(rng), factor(rng), factor(rng)};
    const M3 r = RandomRotation(rng);
    const M3 v = RandomRotation(rng);
    const M3 a = Mul(Mul(Mul(r, v), Diag(k[0], k[1], k[2])), Transpose(v));
    const AffineParts p = DecomposeAffine(ToAffine16(a).m);
    std::vector<double> got = {p.scale[0], p.scale[1], p.scale[2]};
    std::sort(k.begin(), k.end());
    std::sort(got.begin(), got.end());
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], k[i], 1e-4 * k[2]);
    EXPECT_LT(MaxAbsDiff(QuatToM3(p.rotation), r), 1e-4);
    EXPECT_EQ(p.determinantSign, 1.0f);
  }
}

// Matrices at the edges of the float range and numerically singular ones: finite results that
// still recompose the input relative to its size.
TEST(DecomposeAffineHostile, ExtremeFiniteMatricesGiveFiniteParts) {
  const float big = 1e30f;
  const float tiny = 1e-30f;
  const float denormal = std::numeric_limits<float>::denorm_min();
  struct Case {
    const char* name;
    M3 a;
    bool recomposes;  // false when a stretch factor exceeds the float range
  };
  const M3 r{{{0.36, -0.48, 0.8}, {0.8, 0.6, 0}, {-0.48, 0.64, 0.6}}};
  const std::vector<Case> cases = {
      {"all FLT_MAX (rank one, factor beyond float)",
       M3{{{FLT_MAX, FLT_MAX, FLT_MAX}, {FLT_MAX, FLT_MAX, FLT_MAX}, {FLT_MAX, FLT_MAX, FLT_MAX}}},
       false},
      {"FLT_MAX diagonal", Diag(FLT_MAX, FLT_MAX, -FLT_MAX), true},
      {"FLT_MAX rotated", Mul(r, Diag(FLT_MAX / 2, FLT_MAX / 4, FLT_MAX / 8)), true},
      {"huge", Mul(r, Diag(big, 2 * big, 3 * big)), true},
      {"tiny", Mul(r, Diag(tiny, 2 * tiny, 3 * tiny)), true},
      {"FLT_MIN", Diag(FLT_MIN, FLT_MIN, FLT_MIN), true},
      {"denormal", Diag(denormal, 2 * denormal, 3 * denormal), true},
      {"huge and tiny", Mul(r, Diag(big, 1, tiny)), true},
      {"huge next to denormal", M3{{{big, denormal, 0}, {0, big, denormal}, {denormal, 0, big}}},
       true},
      {"nearly parallel rows", M3{{{1, 2, 3}, {4, 5, 6}, {7, 8, 9.0000005}}}, true},
      {"rank two plus one ulp", M3{{{1, 2, 3}, {4, 5, 6}, {5, 7, 9 + 1.0 / (1 << 20)}}}, true},
      {"rank two plus denormal", M3{{{1, 2, 3}, {4, 5, 6}, {5, 7, 9 + denormal}}}, true},
      {"singular values 1, 1e-20, 1e-38", Mul(r, Diag(1, 1e-20, 1e-38)), true},
      {"rank one in denormals", M3{{{denormal, denormal, 0}, {denormal, denormal, 0}, {0, 0, 0}}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Affine16 in = ToAffine16(c.a, -big, tiny, FLT_MAX);
    const AffineParts p = DecomposeAffine(in.m);
    ASSERT_TRUE(AllFinite(p));
    EXPECT_NEAR(Length(p.rotation), 1.0, 1e-5);
    EXPECT_NEAR(Length(p.stretchRotation), 1.0, 1e-5);
    if (c.recomposes) {
      ExpectSoundParts(in, p);
    }
  }
}

TEST(DecomposeAffineHostile, RandomExponentsAcrossTheFloatRangeGiveFiniteParts) {
  // Entries of independent random magnitude from denormals to 2^120: wildly conditioned and
  // often numerically singular.
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> exponent(-149, 120);
  std::uniform_real_distribution<double> mantissa(1.0, 2.0);
  std::uniform_int_distribution<int> pick(0, 9);
  for (int n = 0; n < 300; ++n) {
    M3 a{};
    for (auto& row : a)
      for (double& v : row) {
        const int choice = pick(rng);
        if (choice == 0) continue;  // some exact zeros
        v = std::ldexp(mantissa(rng), exponent(rng)) * (choice % 2 ? -1 : 1);
        v = static_cast<float>(v);
      }
    if (n % 3 == 0) a[2] = a[1];  // exactly rank-deficient variants
    SCOPED_TRACE(::testing::Message() << "#" << n);
    const Affine16 in = ToAffine16(a);
    ExpectSoundParts(in, DecomposeAffine(in.m));
  }
}

TEST(DecomposeAffineHostile, NonFiniteInputReturns) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<std::pair<const char*, M3>> cases = {
      {"all NaN", M3{{{nan, nan, nan}, {nan, nan, nan}, {nan, nan, nan}}}},
      {"one NaN", M3{{{1, 0, 0}, {0, nan, 0}, {0, 0, 1}}}},
      {"infinite diagonal", Diag(inf, inf, inf)},
      {"mixed infinities", M3{{{inf, -inf, 0}, {0, 1, inf}, {-inf, 0, 1}}}},
      {"infinity and NaN", M3{{{inf, nan, 1}, {2, inf, nan}, {nan, 3, -inf}}}},
      {"one infinity", M3{{{1, 2, 3}, {4, inf, 6}, {7, 8, 10}}}},
  };
  for (const auto& [name, a] : cases) {
    SCOPED_TRACE(name);
    const Affine16 in = ToAffine16(a, 1, 2, 3);
    const AffineParts p = DecomposeAffine(in.m);
    // The parts need not be meaningful, but the fixed components are set.
    EXPECT_TRUE(p.determinantSign == 1.0f || p.determinantSign == -1.0f);
    EXPECT_EQ(p.translation[0], 1.0f);
    EXPECT_EQ(p.translation[3], 0.0f);
    EXPECT_EQ(p.scale[3], 1.0f);
  }
  // A NaN translation passes through without touching the rest.
  Affine16 in = ToAffine16(Diag(2, 3, 4), nan, inf, -inf);
  const AffineParts p = DecomposeAffine(in.m);
  EXPECT_TRUE(std::isnan(p.translation[0]));
  EXPECT_EQ(p.translation[1], inf);
  EXPECT_NEAR(p.scale[0], 2.0f, 1e-6f);
  EXPECT_NEAR(p.scale[2], 4.0f, 1e-6f);
}

}  // namespace
}  // namespace vexmara
