// The host's noise: range, determinism, cell behaviour and statistical quality.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <thread>

#include "shade_functions.h"

using tessera::host::ShadeFunctions;

namespace {

const ShadeFunctions sf;

std::vector<RtPoint3> randomPoints(int n, float extent, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-extent, extent);
    std::vector<RtPoint3> P(static_cast<std::size_t>(n));
    for (auto& p : P) p = {u(rng), u(rng), u(rng)};
    return P;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) ma += a[i], mb += b[i];
    ma /= a.size(), mb /= b.size();
    double sab = 0, saa = 0, sbb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return sab / std::sqrt(saa * sbb);
}

// Pearson's chi-square statistic of values in [0, 1) over equal bins.
double chiSquare(const std::vector<float>& v, int bins) {
    std::vector<int> count(static_cast<std::size_t>(bins), 0);
    for (float x : v) ++count[std::min(bins - 1, static_cast<int>(x * bins))];
    const double expected = double(v.size()) / bins;
    double chi = 0;
    for (int c : count) chi += (c - expected) * (c - expected) / expected;
    return chi;
}

}  // namespace

TEST(ShadeFunctions, EveryFunctionStaysInItsRange) {
    const float inf = std::numeric_limits<float>::infinity(),
                nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<RtPoint3> P = randomPoints(20000, 1000.f);
    for (RtPoint3 odd : {RtPoint3{nan, 0, 0}, RtPoint3{inf, -inf, 0},
                         RtPoint3{3e38f, -3e38f, 1e10f}, RtPoint3{-0.f, 0.f, 1e-40f}})
        P.push_back(odd);
    for (const RtPoint3& p : P) {
        for (float t : {0.f, 1.f, 17.f, nan}) {
            const float n = sf.Noise(&p, t), c = sf.CellNoise(&p, t);
            ASSERT_TRUE(n >= 0.f && n <= 1.f) << n;
            ASSERT_TRUE(c >= 0.f && c <= 1.f) << c;
            const RtFloat3 v = sf.VectorCellNoise(&p, t);
            ASSERT_TRUE(v.x >= 0.f && v.x <= 1.f && v.y >= 0.f && v.y <= 1.f && v.z >= 0.f &&
                        v.z <= 1.f);
        }
        const float pc = sf.PointCellNoise(&p), fc = sf.FloatCellNoise(p.x);
        ASSERT_TRUE(pc >= 0.f && pc <= 1.f && fc >= 0.f && fc <= 1.f);
    }
}

TEST(ShadeFunctions, DeterministicAcrossThreads) {
    const auto P = randomPoints(5000, 50.f);
    auto sample = [&](std::vector<float>& out) {
        for (const auto& p : P)
            out.push_back(sf.Noise(&p, 3.f) + 2 * sf.CellNoise(&p, 3.f) +
                          4 * sf.PointCellNoise(&p) + 8 * sf.FloatCellNoise(p.y) +
                          16 * sf.VectorCellNoise(&p, 3.f).z);
    };
    std::vector<float> a, b, c;
    std::thread t1([&] { sample(a); }), t2([&] { sample(b); });
    t1.join(), t2.join();
    sample(c);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
}

TEST(ShadeFunctions, CellFunctionsAreConstantInsideACellAndChangeAcrossIt) {
    const auto corners = randomPoints(2000, 100.f, 7);
    int changed = 0;
    for (const RtPoint3& c : corners) {
        const RtPoint3 base{std::floor(c.x), std::floor(c.y), std::floor(c.z)};
        const RtPoint3 inside{base.x + 0.999f, base.y + 0.001f, base.z + 0.5f};
        EXPECT_EQ(sf.CellNoise(&base, 2.f), sf.CellNoise(&inside, 2.f));
        EXPECT_EQ(sf.PointCellNoise(&base), sf.PointCellNoise(&inside));
        const RtFloat3 a = sf.VectorCellNoise(&base, 0.f), b = sf.VectorCellNoise(&inside, 0.f);
        EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z);
        EXPECT_EQ(sf.FloatCellNoise(base.x), sf.FloatCellNoise(base.x + 0.75f));
        const RtPoint3 next{base.x + 1.f, base.y, base.z};
        changed += sf.CellNoise(&base, 2.f) != sf.CellNoise(&next, 2.f);
    }
    EXPECT_GE(changed, 1995);
}

TEST(ShadeFunctions, HistogramsAreFlat) {
    // 32 bins: the chi-square statistic has 31 degrees of freedom; 70 is far in its tail.
    std::vector<float> cell, point, flt, vec;
    for (int x = -40; x < 40; ++x)
        for (int y = -40; y < 40; ++y) {
            const RtPoint3 p{float(x), float(y), 3.f};
            cell.push_back(sf.CellNoise(&p, 0.f));
            point.push_back(sf.PointCellNoise(&p));
            vec.push_back(sf.VectorCellNoise(&p, 1.f).y);
            flt.push_back(sf.FloatCellNoise(float(x * 80 + y)));
        }
    EXPECT_LT(chiSquare(cell, 32), 70.0);
    EXPECT_LT(chiSquare(point, 32), 70.0);
    EXPECT_LT(chiSquare(vec, 32), 70.0);
    EXPECT_LT(chiSquare(flt, 32), 70.0);
}

TEST(ShadeFunctions, NeighbouringCellsSeedsAndComponentsAreUncorrelated) {
    std::vector<double> here, right, up, seed1, vx, vy;
    for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 100; ++y) {
            const RtPoint3 p{float(x), float(y), 0.f}, px{x + 1.f, float(y), 0.f},
                py{float(x), y + 1.f, 0.f};
            here.push_back(sf.CellNoise(&p, 0.f));
            right.push_back(sf.CellNoise(&px, 0.f));
            up.push_back(sf.CellNoise(&py, 0.f));
            seed1.push_back(sf.CellNoise(&p, 1.f));
            const RtFloat3 v = sf.VectorCellNoise(&p, 0.f);
            vx.push_back(v.x), vy.push_back(v.y);
        }
    // 10000 samples: the correlation of independent values has a standard deviation of 0.01.
    EXPECT_LT(std::fabs(correlation(here, right)), 0.04);
    EXPECT_LT(std::fabs(correlation(here, up)), 0.04);
    EXPECT_LT(std::fabs(correlation(here, seed1)), 0.04);
    EXPECT_LT(std::fabs(correlation(vx, vy)), 0.04);
}

TEST(ShadeFunctions, NoiseIsSmoothAndCentred) {
    const auto P = randomPoints(20000, 20.f, 3);
    double sum = 0, lo = 1, hi = 0, maxStep = 0;
    for (const RtPoint3& p : P) {
        const float n = sf.Noise(&p, 0.f);
        sum += n, lo = std::min<double>(lo, n), hi = std::max<double>(hi, n);
        const RtPoint3 q{p.x + 1e-3f, p.y, p.z};
        maxStep = std::max<double>(maxStep, std::fabs(sf.Noise(&q, 0.f) - n));
    }
    EXPECT_NEAR(sum / P.size(), 0.5, 0.01);
    EXPECT_LT(lo, 0.25) << "uses a good part of [0, 1]";
    EXPECT_GT(hi, 0.75);
    EXPECT_LT(maxStep, 0.01) << "continuous: a small step gives a small change";
    // Continuity across a cell border.
    const RtPoint3 below{1.9999f, 0.3f, 0.6f}, above{2.0001f, 0.3f, 0.6f};
    EXPECT_NEAR(sf.Noise(&below, 0.5f), sf.Noise(&above, 0.5f), 1e-3);
    const RtPoint3 p{0.3f, 0.4f, 0.5f};
    EXPECT_NE(sf.Noise(&p, 0.f), sf.Noise(&p, 1.f)) << "t selects another noise";
}
