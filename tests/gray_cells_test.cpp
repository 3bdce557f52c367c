// qnGrayCells through its real plug-in in the real host runtime.
#include <gtest/gtest.h>

#include "support.h"

using namespace tessera;
using test::floatParam;
using test::intParam;
using test::reference;

namespace {

const host::ShadeFunctions& sf() { return test::sharedHost().shadeFunctions(); }

float expectedCell(RtPoint3 Q, float frequency, int seed) {
    const RtPoint3 p{Q.x * frequency, Q.y * frequency, Q.z * frequency};
    return sf().CellNoise(&p, float(seed));
}

}  // namespace

TEST(GrayCells, UnconnectedManifoldReadsTheShadingPosition) {
    struct Case {
        std::vector<test::ParamAssignment> params;
        float frequency;
        int seed;
    };
    const Case cases[] = {
        {{}, 1.f, 0},
        {{floatParam("frequency", {2.5})}, 2.5f, 0},
        {{intParam("seed", {7})}, 1.f, 7},
        {{intParam("seed", {-3}), floatParam("frequency", {-1})}, -1.f, -3},
    };
    const auto P = test::gridPoints(20, 5.f, {-2.f, -2.f, 0.3f});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "frequency " << c.frequency << " seed " << c.seed);
        auto net = test::makeNetwork({{"qnGrayCells", "g", c.params}});
        const auto v = test::evaluate(*net, {"g:resultF", "g:resultRGB"}, P);
        for (std::size_t i = 0; i < P.size(); ++i) {
            ASSERT_EQ(v[0][i], expectedCell(P[i], c.frequency, c.seed));
            ASSERT_EQ(v[1][3 * i], v[0][i]);
            ASSERT_EQ(v[1][3 * i + 1], v[0][i]);
            ASSERT_EQ(v[1][3 * i + 2], v[0][i]);
        }
    }
}

TEST(GrayCells, ConnectedManifoldIsUsedUnchanged) {
    auto net = test::makeNetwork(
        {{"testManifold",
          "m",
          {floatParam("scale", {3}), floatParam("offset", {0.5, 0, 9}, "point")}},
         {"qnGrayCells",
          "g",
          {reference("struct", "manifold", {"m:result"}), floatParam("frequency", {2})}}});
    const auto P = test::gridPoints(16, 2.f);
    const auto v = test::evaluate(*net, {"g:resultF"}, P);
    for (std::size_t i = 0; i < P.size(); ++i) {
        const RtPoint3 Q{P[i].x * 3 + 0.5f, P[i].y * 3, P[i].z * 3 + 9};
        ASSERT_EQ(v[0][i], expectedCell(Q, 2.f, 0));
    }
}

TEST(GrayCells, FrequencyZeroGivesOneLevelAndNegativeMirrors) {
    const auto P = test::gridPoints(10, 7.f, {-3, -3, 1.5f});
    auto zero = test::makeNetwork({{"qnGrayCells", "g", {floatParam("frequency", {0})}}});
    const auto z = test::evaluate(*zero, {"g:resultF"}, P);
    for (float v : z[0]) ASSERT_EQ(v, expectedCell({0, 0, 0}, 1.f, 0));

    std::vector<RtPoint3> mirrored;
    for (const RtPoint3& p : P) mirrored.push_back({-p.x, -p.y, -p.z});
    auto neg = test::makeNetwork({{"qnGrayCells", "g", {floatParam("frequency", {-1})}}});
    auto pos = test::makeNetwork({{"qnGrayCells", "g", {}}});
    EXPECT_EQ(test::evaluate(*neg, {"g:resultF"}, P),
              test::evaluate(*pos, {"g:resultF"}, mirrored));
}

TEST(GrayCells, SeedsGiveUnrelatedLevelsAndTheRadiusIsIgnored) {
    const auto P = test::gridPoints(30, 30.f);
    auto a = test::makeNetwork({{"qnGrayCells", "g", {intParam("seed", {1})}}});
    auto b = test::makeNetwork({{"qnGrayCells", "g", {intParam("seed", {2})}}});
    const auto va = test::evaluate(*a, {"g:resultF"}, P)[0],
               vb = test::evaluate(*b, {"g:resultF"}, P)[0];
    int same = 0;
    for (std::size_t i = 0; i < P.size(); ++i) same += va[i] == vb[i];
    EXPECT_LT(same, 5);

    // Through a manifold whose Qradius differs, the levels do not change.
    auto r1 =
        test::makeNetwork({{"testManifold", "m", {floatParam("scale", {1})}},
                           {"qnGrayCells", "g", {reference("struct", "manifold", {"m:result"})}}});
    EXPECT_EQ(test::evaluate(*r1, {"g:resultF"}, P)[0],
              test::evaluate(*test::makeNetwork({{"qnGrayCells", "g", {}}}), {"g:resultF"}, P)[0]);
}

TEST(GrayCells, AConnectedFrequencyVariesPerPoint) {
    // frequency = Q.x of the manifold: each point scales by its own x.
    auto net =
        test::makeNetwork({{"testManifold", "m", {}},
                           {"qnGrayCells", "g", {reference("float", "frequency", {"m:resultX"})}}});
    const auto P = test::gridPoints(12, 6.f);
    const auto v = test::evaluate(*net, {"g:resultF"}, P)[0];
    for (std::size_t i = 0; i < P.size(); ++i) ASSERT_EQ(v[i], expectedCell(P[i], P[i].x, 0));
}
