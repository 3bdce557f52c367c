// The Worley search, qnPxrWorley and qnPxrWorleyFractalizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support.h"
#include "worley.h"
#include "worley_layer.h"

using namespace tessera;
using test::floatParam;
using test::intParam;
using test::reference;

namespace {

const RixShadeFunctions& sf() { return test::sharedHost().shadeFunctions(); }

// Feature points at the cell centres (every cell value 0.5, or jitter 0).
const auto kCentres = [](const RtPoint3&) { return 0.5f; };

template <DistanceMetric M>
WorleyResult searchCentres(RtPoint3 P, float e = 4.f) {
    return worleySearch<M>(P, 0.75f, e, kCentres);
}

std::vector<float> evalOne(const std::vector<test::NodeSpec>& nodes, const std::string& output,
                           const std::vector<RtPoint3>& P) {
    return test::evaluate(*test::makeNetwork(nodes), {output}, P)[0];
}

// The cell inputs of both Worley nodes, each set to its documented default.
std::vector<test::ParamAssignment> worleyCellDefaults() {
    return {floatParam("frequency", {4}),
            intParam("distancemetric", {0}),
            floatParam("jitter", {0.75}),
            intParam("clamp", {1}),
            floatParam("c1", {0.8}),
            floatParam("c2", {-0.2}),
            floatParam("minkowskiExponent", {4}),
            intParam("shape", {0})};
}

// Distance from P to the nearest lattice cell centre, by hand.
float distanceToNearestCentre(RtPoint3 P) {
    const float dx = P.x - (std::floor(P.x) + 0.5f), dy = P.y - (std::floor(P.y) + 0.5f),
                dz = P.z - (std::floor(P.z) + 0.5f);
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

TEST(WorleySearch, MetricsAgainstDistancesByHand) {
    // P = (0.2, 0.3, 0.6): the nearest centre (0.5, 0.5, 0.5) lies at (0.3, 0.2, -0.1); the second
    // nearest is (-0.5, 0.5, 0.5) at (-0.7, 0.2, -0.1) under every metric here.
    const RtPoint3 P{0.2f, 0.3f, 0.6f};
    struct Case {
        const char* metric;
        WorleyResult r;
        float F1, F2;
    };
    const Case cases[] = {
        {"euclidean", searchCentres<DistanceMetric::Euclidean>(P), std::sqrt(0.14f),
         std::sqrt(0.54f)},
        {"squared", searchCentres<DistanceMetric::SquaredEuclidean>(P), 0.14f, 0.54f},
        {"manhattan", searchCentres<DistanceMetric::Manhattan>(P), 0.6f, 1.0f},
        {"chebyshev", searchCentres<DistanceMetric::Chebyshev>(P), 0.3f, 0.7f},
        {"minkowski 2", searchCentres<DistanceMetric::Minkowski>(P, 2.f), std::sqrt(0.14f),
         std::sqrt(0.54f)},
        {"minkowski 0.5", searchCentres<DistanceMetric::Minkowski>(P, 0.5f),
         std::pow(std::sqrt(0.3f) + std::sqrt(0.2f) + std::sqrt(0.1f), 2.f),
         std::pow(std::sqrt(0.7f) + std::sqrt(0.2f) + std::sqrt(0.1f), 2.f)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.metric);
        EXPECT_NEAR(c.r.F1, c.F1, 2e-6f);
        EXPECT_NEAR(c.r.F2, c.F2, 2e-6f);
        EXPECT_FLOAT_EQ(c.r.nearest.x, 0.5f);
    }
    EXPECT_EQ(metricFromCode(7), DistanceMetric::SquaredEuclidean);
    EXPECT_EQ(metricFromCode(-1), DistanceMetric::SquaredEuclidean);
    EXPECT_EQ(minkowskiExponent(0.1f), 0.5f);
}

TEST(WorleySearch, FeaturePointsLieOnTheCellDiagonalAndTiesGoToF2) {
    // Cell value 1 with jitter 1: every feature point sits at K + 0.5 on each axis, a lattice
    // corner, and P at a corner finds F1 = 0 at its own cell and 0 again from the next cell.
    const auto corner = [](const RtPoint3&) { return 1.f; };
    const WorleyResult r =
        worleySearch<DistanceMetric::Euclidean>({1.f, 1.f, 1.f}, 1.f, 4.f, corner);
    EXPECT_EQ(r.F1, 0.f);
    EXPECT_EQ(r.F2, 1.f)
        << "the corner of cell (0, 0, 0) coincides with P; the next nearest corners are 1 away";
}

TEST(Worley, JitterZeroGivesDistancesToCellCentres) {
    const auto P = test::gridPoints(40, 7.3f, {-3.1f, -2.2f, 0.37f});
    const auto v =
        evalOne({{"qnPxrWorley",
                  "w",
                  {floatParam("jitter", {0}), floatParam("frequency", {1}), intParam("clamp", {0}),
                   floatParam("c1", {1}), floatParam("c2", {0})}}},
                "w:resultF", P);
    for (std::size_t i = 0; i < P.size(); ++i) {
        ASSERT_NEAR(v[i], distanceToNearestCentre(P[i]), 1e-6f);
        ASSERT_LE(v[i], std::sqrt(3.f) / 2.f);
    }
    // Shape 2 squares the distances, shape 1 takes their roots.
    const std::vector<test::ParamAssignment> base = {
        floatParam("jitter", {0}), floatParam("frequency", {1}), intParam("clamp", {0}),
        floatParam("c1", {1}), floatParam("c2", {0})};
    auto with = [&](int shape, int metric) {
        auto params = base;
        params.push_back(intParam("shape", {double(shape)}));
        params.push_back(intParam("distancemetric", {double(metric)}));
        return evalOne({{"qnPxrWorley", "w", params}}, "w:resultF", P);
    };
    const auto squared = with(2, 0), roots = with(1, 3);
    for (std::size_t i = 0; i < P.size(); ++i) {
        const float d = distanceToNearestCentre(P[i]);
        ASSERT_NEAR(squared[i], d * d, 1e-6f);
        const RtPoint3 c{std::floor(P[i].x) + 0.5f, std::floor(P[i].y) + 0.5f,
                         std::floor(P[i].z) + 0.5f};
        const float chebyshev =
            std::max({std::fabs(P[i].x - c.x), std::fabs(P[i].y - c.y), std::fabs(P[i].z - c.z)});
        ASSERT_FLOAT_EQ(roots[i], std::sqrt(chebyshev));
    }
}

TEST(Worley, ParameterRules) {
    const auto P = test::gridPoints(24, 3.f, {0.1f, 0.2f, 0.3f});
    const auto worley = [&](std::vector<test::ParamAssignment> params) {
        return evalOne({{"qnPxrWorley", "w", params}}, "w:resultF", P);
    };
    const auto noClamp = [](std::vector<test::ParamAssignment> p) {
        p.push_back(intParam("clamp", {0}));
        return p;
    };
    EXPECT_EQ(worley({intParam("distancemetric", {7})}), worley({intParam("distancemetric", {1})}));
    EXPECT_EQ(worley({intParam("distancemetric", {4}), floatParam("minkowskiExponent", {0.1})}),
              worley({intParam("distancemetric", {4}), floatParam("minkowskiExponent", {0.5})}));
    EXPECT_EQ(worley(noClamp({intParam("distancemetric", {1}), intParam("shape", {1})})),
              worley(noClamp({intParam("distancemetric", {0})})))
        << "square roots of squared distances are the distances";
    EXPECT_EQ(worley({floatParam("randomScaleCenter", {0.7})}), worley({})) << "random scaling off";
    const auto inverted = worley({intParam("invert", {1})}), plain = worley({});
    for (std::size_t i = 0; i < P.size(); ++i) ASSERT_EQ(inverted[i], 1.f - plain[i]);
    const auto zero = worley({floatParam("frequency", {0})});
    for (float x : zero) ASSERT_EQ(x, zero[0]);
}

TEST(Worley, RandomScaling) {
    const auto P = test::gridPoints(20, 2.f, {0.1f, 0.2f, 0.3f});
    // c1 = c2 = 0: v is the rescaled per-feature noise itself.
    const auto r = evalOne({{"qnPxrWorley",
                             "w",
                             {floatParam("randomScale", {1}), floatParam("c1", {0}),
                              floatParam("c2", {0}), floatParam("jitter", {0})}}},
                           "w:resultF", P);
    for (std::size_t i = 0; i < P.size(); ++i) {
        // With jitter 0 the nearest feature is the cell centre, so r follows by hand.
        const RtPoint3 Q{P[i].x * 4, P[i].y * 4, P[i].z * 4};
        const RtPoint3 centre{std::floor(Q.x) + 0.5f, std::floor(Q.y) + 0.5f,
                              std::floor(Q.z) + 0.5f};
        const WorleyResult d = searchCentres<DistanceMetric::Euclidean>(Q);
        const float t = std::pow(d.F2 - d.F1, 0.25f);
        ASSERT_FLOAT_EQ(r[i], sf().PointCellNoise(&centre) * smoothstep(0.f, 1.f, t));
    }
    // A center of 1 leaves no room: the rescaled value is 0, so v = v * (1 - randomScale).
    const auto half =
        evalOne({{"qnPxrWorley",
                  "w",
                  {floatParam("randomScale", {0.5}), floatParam("randomScaleCenter", {1})}}},
                "w:resultF", P);
    const auto plain = evalOne({{"qnPxrWorley", "w", {}}}, "w:resultF", P);
    for (std::size_t i = 0; i < P.size(); ++i) {
        ASSERT_TRUE(std::isfinite(half[i]));
        ASSERT_FLOAT_EQ(half[i], plain[i] * 0.5f);
    }
}

TEST(Worley, ObjectSpaceFallbackAndConnectedManifold) {
    // Object space is current space scaled by 1/2; the alternative position is 2 P.
    auto net = test::makeNetwork(
        {{"qnPxrWorley", "alt", {intParam("surfacePosition", {1})}},
         {"qnPxrWorley", "pos", {intParam("surfacePosition", {2}), floatParam("frequency", {2})}},
         {"testManifold", "m", {floatParam("scale", {0.5})}},
         {"qnPxrWorley",
          "via",
          {reference("struct", "manifold", {"m:result"}), intParam("surfacePosition", {1})}}});
    host::Spaces spaces;
    spaces.set("object", host::Matrix4::scale(2, 2, 2));
    const host::EvaluationPlan plan(
        *net, {net->output("alt:resultF"), net->output("pos:resultF"), net->output("via:resultF")},
        spaces);
    host::BatchEvaluator ev(plan);
    const auto P = test::gridPoints(16, 3.f, {0.1f, 0.2f, 0.3f});
    host::BatchPoints pts = test::pointsAt(P);
    for (auto& po : pts.Po) po = {po.x * 2, po.y * 2, po.z * 2};
    std::vector<const void*> results;
    ASSERT_FALSE(ev.evaluate(pts, results));

    // The same patterns with current = object and the frequency folded in, at P.
    const auto plain = [&](double frequency) {
        return evalOne({{"qnPxrWorley", "w", {floatParam("frequency", {frequency})}}}, "w:resultF",
                       P);
    };
    const auto expectEqual = [&](const void* got, const std::vector<float>& expected,
                                 const char* what) {
        for (std::size_t i = 0; i < P.size(); ++i)
            ASSERT_EQ(static_cast<const float*>(got)[i], expected[i]) << what << " at " << i;
    };
    expectEqual(results[0], plain(4), "surfacePosition 1: object(2 P) = P, at frequency 4");
    expectEqual(results[1], plain(1),
                "surfacePosition 2 reads P: object(P) = P / 2, at frequency 2");
    expectEqual(results[2], plain(2), "connected: Q = P / 2 as it comes, at frequency 4");
}

TEST(WorleyFractalizer, OneUntransformedLayerIsTheGenerator) {
    const auto P = test::gridPoints(20, 2.f, {0.3f, -0.7f, 0.2f});
    struct Case {
        int metric, shape, clamp, invert;
    };
    for (const Case c : {Case{0, 0, 1, 0}, Case{1, 1, 1, 1}, Case{2, 2, 0, 0}, Case{4, 0, 0, 1}}) {
        SCOPED_TRACE(testing::Message() << "metric " << c.metric << " shape " << c.shape);
        const auto v = evalOne(
            {{"qnPxrWorleyFractalizer",
              "f",
              {intParam("fracLayers", {1}), floatParam("fracRotation", {0}),
               floatParam("fracOffset", {0}), intParam("distancemetric", {double(c.metric)}),
               intParam("shape", {double(c.shape)}), intParam("clamp", {double(c.clamp)}),
               intParam("invert", {double(c.invert)}), floatParam("frequency", {3})}}},
            "f:resultF", P);
        WorleyParams p;
        p.frequency = 3.f;
        p.shape = c.shape, p.clamp = c.clamp != 0, p.invert = c.invert != 0;
        for (std::size_t i = 0; i < P.size(); ++i) {
            float expected = 0.f;
            withMetric(metricFromCode(c.metric),
                       [&](auto m) { expected = worleyLayer<decltype(m)::value>(p, P[i], sf()); });
            ASSERT_EQ(v[i], expected);
        }
    }
}

TEST(WorleyFractalizer, ShapeClampInvertAndLayerCounts) {
    const auto P = test::gridPoints(16, 2.f);
    const auto frac = [&](std::vector<test::ParamAssignment> params) {
        return evalOne({{"qnPxrWorleyFractalizer", "f", params}}, "f:resultF", P);
    };
    EXPECT_EQ(frac({intParam("shape", {2})}), frac({intParam("shape", {1})}));
    EXPECT_NE(frac({}), frac({intParam("shape", {1})}));
    for (double layers : {0.0, -2.0})
        for (float v : frac({intParam("fracLayers", {layers}), intParam("fracInvert", {1})}))
            ASSERT_EQ(v, 0.f);
    // Every layer value is 1 - clamp(v) before remapping: with remap A mapping [0, 1] onto
    // [1, 0], clamp and invert cancel out.
    const auto straight = frac({});
    const auto twice = frac({intParam("invert", {1}), intParam("remapOnA", {1}),
                             floatParam("outputMinA", {1}), floatParam("outputMaxA", {0})});
    for (std::size_t i = 0; i < P.size(); ++i) ASSERT_NEAR(twice[i], straight[i], 1e-6f);
}

TEST(WorleyFractalizer, ExplicitDefaultsChangeNothing) {
    // Every input set to the value documented as its default gives the same image as none.
    const auto P = test::gridPoints(16, 2.f, {0.2f, 0.1f, 0.4f});
    std::vector<test::ParamAssignment> defaults = worleyCellDefaults();
    for (auto p :
         {intParam("invert", {0}), intParam("fracType", {0}), intParam("fracAbsOption", {0}),
          floatParam("fracAbsWidth", {0}), intParam("fracInvert", {0}), intParam("fracLayers", {3}),
          floatParam("fracOffset", {1}), floatParam("fracRotation", {180}),
          intParam("fracVariation", {0}), floatParam("fracFrequency", {1}),
          floatParam("fracLacunarity", {2}), floatParam("fracDimension", {1}),
          floatParam("fracGain", {0.5}), floatParam("fracErosion", {0})})
        defaults.push_back(p);
    for (const char* s : {"A", "B"}) {
        const std::string x = s;
        for (auto p : {intParam("remapOn" + x, {0}), floatParam("inputMin" + x, {0}),
                       floatParam("inputMax" + x, {1}), intParam("clampInput" + x, {1}),
                       floatParam("bias" + x, {0.5}), floatParam("gain" + x, {0.5}),
                       floatParam("outputMin" + x, {0}), floatParam("outputMax" + x, {1}),
                       intParam("clampOutput" + x, {1})})
            defaults.push_back(p);
    }
    EXPECT_EQ(evalOne({{"qnPxrWorleyFractalizer", "f", defaults}}, "f:resultF", P),
              evalOne({{"qnPxrWorleyFractalizer", "f", {}}}, "f:resultF", P));
    // With the remap blocks switched on at their defaults, layer values stay in [0, 1] already.
    defaults[static_cast<std::size_t>(
        std::find_if(defaults.begin(), defaults.end(),
                     [](const auto& a) { return a.name == "remapOnA"; }) -
        defaults.begin())] = intParam("remapOnA", {1});
    EXPECT_EQ(evalOne({{"qnPxrWorleyFractalizer", "f", defaults}}, "f:resultF", P),
              evalOne({{"qnPxrWorleyFractalizer", "f", {}}}, "f:resultF", P));
}

TEST(WorleyTables, NamesAndTypesInOrder) {
    struct Node {
        const char* type;
        std::vector<std::string> names;
    };
    const std::vector<std::string> remapA = {"remapOnA",    "inputMinA",  "inputMaxA",
                                             "clampInputA", "biasA",      "gainA",
                                             "outputMinA",  "outputMaxA", "clampOutputA"};
    std::vector<std::string> fractalized = {
        "resultF", "resultRGB", "frequency", "distancemetric",    "jitter",
        "clamp",   "c1",        "c2",        "minkowskiExponent", "shape",
        "invert",  "manifold",  "Q",         "Qradius",           "manifold"};
    for (const auto& n : remapA) fractalized.push_back(n);
    for (auto n : remapA) fractalized.push_back(n.replace(n.size() - 1, 1, "B"));
    for (const char* n : {"fracType", "fracAbsOption", "fracAbsWidth", "fracInvert", "fracLayers",
                          "fracOffset", "fracRotation", "fracVariation", "fracFrequency",
                          "fracLacunarity", "fracDimension", "fracGain", "fracErosion"})
        fractalized.push_back(n);
    const Node nodes[] = {
        {"qnPxrWorley",
         {"resultF", "resultRGB", "surfacePosition", "seed", "frequency", "distancemetric",
          "jitter", "clamp", "c1", "c2", "minkowskiExponent", "shape", "randomScale",
          "randomScaleCenter", "invert", "manifold", "Q", "Qradius", "manifold"}},
        {"qnPxrWorleyFractalizer", fractalized},
    };
    for (const Node& n : nodes) {
        SCOPED_TRACE(n.type);
        auto net = test::makeNetwork({{n.type, "n", {}}});
        const host::NetworkNode& node = net->node(0);
        ASSERT_EQ(node.numParams, static_cast<int>(n.names.size()));
        for (int id = 0; id < node.numParams; ++id)
            EXPECT_EQ(node.table[id].name.CStr(), n.names[static_cast<std::size_t>(id)]) << id;
    }
    auto net = test::makeNetwork({{"qnPxrWorleyFractalizer", "n", {}}});
    const RixSCParamInfo* t = net->node(0).table;
    EXPECT_EQ(t[11].type, k_RixSCStructBegin);
    EXPECT_EQ(t[15].type, k_RixSCInteger);  // remapOnA
    EXPECT_EQ(t[19].type, k_RixSCFloat);    // biasA
    EXPECT_EQ(t[35].type, k_RixSCFloat);    // fracAbsWidth
    EXPECT_EQ(t[45].type, k_RixSCFloat);    // fracErosion
}

TEST(Worley, ExplicitDefaultsChangeNothing) {
    const auto P = test::gridPoints(16, 2.f, {0.2f, 0.1f, 0.4f});
    std::vector<test::ParamAssignment> defaults = {intParam("surfacePosition", {0}),
                                                   intParam("seed", {0})};
    for (const auto& p : worleyCellDefaults()) defaults.push_back(p);
    for (auto p : {floatParam("randomScale", {0}), floatParam("randomScaleCenter", {0}),
                   intParam("invert", {0})})
        defaults.push_back(p);
    EXPECT_EQ(evalOne({{"qnPxrWorley", "w", defaults}}, "w:resultF", P),
              evalOne({{"qnPxrWorley", "w", {}}}, "w:resultF", P));
}

TEST(WorleyFractalizer, AZeroPointBatchHandsBackEmptyRecords) {
    auto net = test::makeNetwork({{"qnPxrWorleyFractalizer", "f", {}}});
    test::NodeCall node(*net, "f:resultF", {});
    ASSERT_EQ(node.call("f"), 0);
    ASSERT_EQ(node.numOutputs, 2);
    const OutputSpec* out = node.outputs;
    EXPECT_EQ(out[0].value, nullptr);
    EXPECT_EQ(out[1].value, nullptr);
}
