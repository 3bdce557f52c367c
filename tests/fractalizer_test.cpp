// qnFractalizer, its layer-state values, and the two manifold nodes, in the real runtime.
#include <gtest/gtest.h>

#include <cmath>

#include "numeric.h"
#include "support.h"

using namespace tessera;
using test::floatParam;
using test::intParam;
using test::reference;
using test::stringParam;

namespace {

const RixShadeFunctions& sf() { return test::sharedHost().shadeFunctions(); }

const std::vector<RtPoint3> kPoints = {{0.1f, 0.2f, 0.3f}, {-1.5f, 2.5f, 0.75f}, {3.f, -2.f, -1.f}};

std::vector<float> eval1(const std::vector<test::NodeSpec>& nodes, const std::string& output,
                         const std::vector<RtPoint3>& P = kPoints, const test::Scene& scene = {}) {
    return test::evaluate(*test::makeNetwork(nodes), {output}, P, {}, scene)[0];
}

test::NodeSpec constant(float r, float g, float b) {
    return {"testProbe", "const", {floatParam("tint", {r, g, b}, "color")}};
}

test::NodeSpec fractalizer(std::vector<test::ParamAssignment> params,
                           const std::string& input = "const:resultRGB") {
    params.push_back(reference("color", "input", {input}));
    return {"qnFractalizer", "frac", params};
}

void expectColours(const std::vector<float>& v, RtColorRGB c, float tolerance = 1e-6f) {
    for (std::size_t i = 0; i < v.size(); i += 3) {
        EXPECT_NEAR(v[i], c.r, tolerance);
        EXPECT_NEAR(v[i + 1], c.g, tolerance);
        EXPECT_NEAR(v[i + 2], c.b, tolerance);
    }
}

}  // namespace

TEST(Fractalizer, WorkedExampleOfAConstantColour) {
    expectColours(eval1({constant(0.5f, 0.5f, 0.5f), fractalizer({})}, "frac:resultRGB"),
                  {0.3571429f, 0.3571429f, 0.3571429f});
    expectColours(eval1({constant(0.5f, 0.5f, 0.5f), fractalizer({intParam("invert", {1})})},
                        "frac:resultRGB"),
                  {0.6428571f, 0.6428571f, 0.6428571f});
    // One layer is the input itself, folded when absOption is 1: (0.25, 0.5, 1) -> (0.5, 0, 1).
    expectColours(eval1({constant(0.2f, 0.6f, 0.9f), fractalizer({intParam("layers", {1})})},
                        "frac:resultRGB"),
                  {0.2f, 0.6f, 0.9f});
    expectColours(eval1({constant(0.25f, 0.5f, 1.f),
                         fractalizer({intParam("layers", {1}), intParam("absOption", {1})})},
                        "frac:resultRGB"),
                  {0.5f, 0.f, 1.f});
    // No layer: the zero-filled colour, inverted to 1.
    expectColours(eval1({constant(0.5f, 0.5f, 0.5f),
                         fractalizer({intParam("layers", {0}), intParam("invert", {1})})},
                        "frac:resultRGB"),
                  {1.f, 1.f, 1.f});
}

TEST(Fractalizer, PublishesTheLayerStateValuesInEveryLayer) {
    struct Case {
        std::vector<test::ParamAssignment> params;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{},
         {"layer state: offset 1 rotation 180 variation 0 frequency 1",
          "layer state: offset 1 rotation 180 variation 1 frequency 2",
          "layer state: offset 1 rotation 180 variation 2 frequency 4"}},
        {{intParam("variation", {5}), floatParam("frequency", {3}), floatParam("lacunarity", {0.5}),
          floatParam("offset", {0.25}), floatParam("rotation", {-30}), intParam("layers", {2})},
         {"layer state: offset 0.25 rotation -30 variation 5 frequency 3",
          "layer state: offset 0.25 rotation -30 variation 6 frequency 1.5"}},
    };
    for (const Case& c : cases) {
        host::Host h(test::testSearchPath());
        std::vector<std::string> lines;
        h.messages().setSink([&](const std::string& l) { lines.push_back(l); });
        auto net = test::makeNetwork(
            {{"testLayerState", "state", {}}, fractalizer(c.params, "state:resultRGB")}, h);
        test::evaluate(*net, {"frac:resultRGB"}, kPoints);
        EXPECT_EQ(lines, c.expected);
    }
    // Outside a fractalizer nothing is published.
    host::Host h(test::testSearchPath());
    std::vector<std::string> lines;
    h.messages().setSink([&](const std::string& l) { lines.push_back(l); });
    test::evaluate(*test::makeNetwork({{"testLayerState", "state", {}}}, h), {"state:resultRGB"},
                   kPoints);
    EXPECT_EQ(lines, std::vector<std::string>{
                         "layer state: offset -1 rotation -1 variation -1 frequency -1"});
}

TEST(Fractalizer, TypeTwoAveragesRunningly) {
    // Layer colours (variation, frequency, rotation) = (0, 1, 180), (1, 2, 180), (2, 4, 180).
    const auto v = eval1({{"testLayerState", "state", {}},
                          fractalizer({intParam("fracType", {2})}, "state:resultRGB")},
                         "frac:resultRGB");
    // Not the mean: three layers of 180 give ((180 + 180) / 2 + 180) / 3 = 120.
    expectColours(v, {((0.f + 1.f) / 2.f + 2.f) / 3.f, ((1.f + 2.f) / 2.f + 4.f) / 3.f, 120.f},
                  1e-5f);
}

TEST(Fractalizer, UnconnectedInputGivesStatusMinusOneAndNoOutputs) {
    auto net = test::makeNetwork(
        {{"qnFractalizer", "frac", {floatParam("input", {0.2, 0.2, 0.2}, "color")}}});
    test::NodeCall node(*net, "frac:resultRGB", kPoints);
    OutputSpec untouched;
    EXPECT_EQ(node.call("frac", 77, &untouched), -1);
    EXPECT_EQ(node.numOutputs, 77) << "the output count is not touched";
    EXPECT_EQ(node.outputs, &untouched) << "nor the records";
    std::vector<const void*> results;
    const host::NodeFailure failure = node.evaluator().evaluate(node.points(), results);
    EXPECT_TRUE(failure);
    EXPECT_EQ(failure.status, -1);
}

TEST(Fractalizer, AnUnreadOutputIsStillComputedSafely) {
    // Nothing consumes frac:resultRGB here; the node still hands back a full array.
    auto net = test::makeNetwork({constant(0.5f, 0.5f, 0.5f), fractalizer({})});
    test::NodeCall node(*net, "const:resultF", kPoints);
    ASSERT_EQ(node.call("frac"), 0);
    ASSERT_EQ(node.numOutputs, 1);
    const OutputSpec* out = node.outputs;
    EXPECT_EQ(out[0].detail, k_RixSCVarying);
    ASSERT_NE(out[0].value, nullptr);
    EXPECT_NEAR(static_cast<RtColorRGB*>(out[0].value)[2].g, 0.3571429f, 1e-6f);
}

TEST(Fractalizer, ReRunsTheUpstreamNetworkOncePerLayer) {
    auto layered = test::makeNetwork(
        {{"qnFractalizerManifold", "m", {}},
         {"qnGrayCells",
          "cells",
          {reference("struct", "manifold", {"m:result"}), floatParam("frequency", {4})}},
         fractalizer({intParam("layers", {4})}, "cells:resultRGB")});
    const auto P = test::gridPoints(40, 3.f);  // 1600 points
    host::RunOptions options;
    options.batchSize = 256;
    const auto withLayers = test::evaluate(*layered, {"frac:resultRGB"}, P, options)[0];
    const std::uint64_t batches = (1600 + 255) / 256;
    EXPECT_EQ(layered->node(0).runs.load(), 4 * batches);
    EXPECT_EQ(layered->node(1).runs.load(), 4 * batches);
    EXPECT_EQ(layered->node(2).runs.load(), batches);

    auto plain = test::makeNetwork(
        {{"qnFractalizerManifold", "m", {}},
         {"qnGrayCells",
          "cells",
          {reference("struct", "manifold", {"m:result"}), floatParam("frequency", {4})}}});
    const auto without = test::evaluate(*plain, {"cells:resultRGB"}, P)[0];
    int different = 0;
    for (std::size_t i = 0; i < P.size(); ++i) different += withLayers[3 * i] != without[3 * i];
    EXPECT_GT(different, 1500);
}

// --- the manifold nodes ---------------------------------------------------------------------

TEST(ManifoldNodes, DefaultsGiveThePositionInObjectSpace) {
    test::Scene scene;
    scene.spaces.set("object", host::Matrix4::translate(1, 0, 0) * host::Matrix4::scale(2, 2, 2));
    for (const char* type : {"qnManifold3DPlus", "qnFractalizerManifold"}) {
        SCOPED_TRACE(type);
        auto net = test::makeNetwork({{type, "m", {}}});
        const auto v = test::evaluate(*net, {"m:Q", "m:Qradius"}, kPoints, {}, scene);
        for (std::size_t i = 0; i < kPoints.size(); ++i) {
            EXPECT_FLOAT_EQ(v[0][3 * i], (kPoints[i].x - 1) / 2);
            EXPECT_FLOAT_EQ(v[0][3 * i + 2], kPoints[i].z / 2);
            EXPECT_FLOAT_EQ(v[1][i], 0.01f / 2) << "the radius, transformed";
        }
    }
}

TEST(ManifoldNodes, Manifold3DPlusScaleOffsetAndState) {
    struct Case {
        const char* what;
        std::vector<test::ParamAssignment> params;
        bool state;
        RtFloat3 scale, offset;
    };
    const Case cases[] = {
        {"offset", {floatParam("offset", {1, 2, 3}, "vector")}, false, {1, 1, 1}, {1, 2, 3}},
        {"scale", {floatParam("scale", {2, 1, 1}, "vector")}, false, {2, 1, 1}, {0, 0, 0}},
        {"PxrFractalizerState doubles", {}, true, {2, 2, 2}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::Scene scene;
        if (c.state) {
            host::PrimVar pv{RtUString::UstrMakeUnique("PxrFractalizerState"), 3, {}};
            for (std::size_t i = 0; i < kPoints.size(); ++i)
                pv.values.insert(pv.values.end(), {7.f, 2.f, 9.f});
            scene.primvars.push_back(pv);
        }
        auto net = test::makeNetwork({{"qnManifold3DPlus", "m", c.params}});
        const auto v = test::evaluate(*net, {"m:Q", "m:Qradius", "m:resultX"}, kPoints, {}, scene);
        for (std::size_t i = 0; i < kPoints.size(); ++i) {
            EXPECT_FLOAT_EQ(v[0][3 * i], c.scale.x * kPoints[i].x - c.offset.x);
            EXPECT_FLOAT_EQ(v[0][3 * i + 1], c.scale.y * kPoints[i].y - c.offset.y);
            EXPECT_FLOAT_EQ(v[0][3 * i + 2], c.scale.z * kPoints[i].z - c.offset.z);
            EXPECT_EQ(v[2][i], v[0][3 * i]) << "resultX is Q.x";
            const float r = 0.01f;
            EXPECT_FLOAT_EQ(v[1][i], tessera::max(r * c.scale.x - c.offset.x,
                                                  tessera::max(r * c.scale.y - c.offset.y,
                                                               r * c.scale.z - c.offset.z)));
        }
    }
}

TEST(ManifoldNodes, SourceUsePrefAndCoordsys) {
    test::Scene scene;
    scene.spaces.set("object", host::Matrix4::scale(2, 2, 2));
    scene.spaces.set("shader", host::Matrix4::translate(0, 0, 10));
    for (const RtPoint3& p : kPoints) scene.Po.push_back({p.x + 100, p.y, p.z});
    host::PrimVar pref{RtUString::UstrMakeUnique("rest"), 3, {}};
    for (const RtPoint3& p : kPoints) pref.values.insert(pref.values.end(), {p.x, p.y + 50, p.z});
    scene.primvars.push_back(pref);

    struct Case {
        const char* what;
        std::vector<test::ParamAssignment> params;
        std::function<RtPoint3(RtPoint3)> expected;
    };
    const Case cases[] = {
        {"pref found",
         {stringParam("pref", "rest")},
         [](RtPoint3 p) {
             return RtPoint3{p.x / 2, (p.y + 50) / 2, p.z / 2};
         }},
        {"pref missing: P",
         {stringParam("pref", "nothing")},
         [](RtPoint3 p) {
             return RtPoint3{p.x / 2, p.y / 2, p.z / 2};
         }},
        // use 3 with a pref name: current -> object, world -> current, then current -> object.
        {"pref missing, use 3",
         {stringParam("pref", "nothing"), intParam("use", {3})},
         [](RtPoint3 p) {
             return RtPoint3{p.x / 4, p.y / 4, p.z / 4};
         }},
        {"use 3 without pref",
         {intParam("use", {3})},
         [](RtPoint3 p) {
             return RtPoint3{p.x / 2, p.y / 2, p.z / 2};
         }},
        {"use 1: Po",
         {intParam("use", {1})},
         [](RtPoint3 p) {
             return RtPoint3{(p.x + 100) / 2, p.y / 2, p.z / 2};
         }},
        {"use 2: P",
         {intParam("use", {2})},
         [](RtPoint3 p) {
             return RtPoint3{p.x / 2, p.y / 2, p.z / 2};
         }},
        {"empty coordsys: object",
         {stringParam("coordsys", "")},
         [](RtPoint3 p) {
             return RtPoint3{p.x / 2, p.y / 2, p.z / 2};
         }},
        {"named coordsys",
         {stringParam("coordsys", "shader")},
         [](RtPoint3 p) {
             return RtPoint3{p.x, p.y, p.z - 10};
         }},
    };
    for (const char* type : {"qnManifold3DPlus", "qnFractalizerManifold"})
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << type << ": " << c.what);
            const auto v = eval1({{type, "m", c.params}}, "m:Q", kPoints, scene);
            for (std::size_t i = 0; i < kPoints.size(); ++i) {
                const RtPoint3 e = c.expected(kPoints[i]);
                EXPECT_FLOAT_EQ(v[3 * i], e.x);
                EXPECT_FLOAT_EQ(v[3 * i + 1], e.y);
                EXPECT_FLOAT_EQ(v[3 * i + 2], e.z);
            }
        }
}

TEST(ManifoldNodes, OnlyConsumedComponentsAreProduced) {
    for (const char* type : {"qnManifold3DPlus", "qnFractalizerManifold"}) {
        SCOPED_TRACE(type);
        auto net = test::makeNetwork(
            {{type, "m", {}}, {"testProbe", "p", {reference("float", "value", {"m:resultX"})}}});
        test::NodeCall node(*net, "p:resultF", kPoints);
        ASSERT_EQ(node.call("m"), 0);
        ASSERT_EQ(node.numOutputs, 5);
        const OutputSpec* out = node.outputs;
        EXPECT_NE(out[0].value, nullptr) << "resultX is read by p";
        EXPECT_EQ(out[1].value, nullptr);
        EXPECT_EQ(out[2].value, nullptr);
        EXPECT_NE(out[3].value, nullptr) << "Q";
        EXPECT_NE(out[4].value, nullptr) << "Qradius";
        EXPECT_EQ(static_cast<float*>(out[0].value)[1], -1.5f);
    }
}

TEST(ManifoldNodes, FractalizerManifoldLayerTransform) {
    // Outside a fractalizer: frequency 1, no rotation, variation 0; offset (1, 1, 1) scales every
    // component by m = 1 - u, u = lerp(-0.5, 0.5, FloatCellNoise(0)).
    const float u = static_cast<float>(lerpd(-0.5, 0.5, sf().FloatCellNoise(0.f)));
    const auto v = test::evaluate(
        *test::makeNetwork(
            {{"qnFractalizerManifold", "m", {floatParam("offset", {1, 1, 1}, "vector")}}}),
        {"m:Q", "m:Qradius"}, kPoints);
    const float m = 1.f - u;
    for (std::size_t i = 0; i < kPoints.size(); ++i) {
        EXPECT_FLOAT_EQ(v[0][3 * i], kPoints[i].x * m);
        EXPECT_FLOAT_EQ(v[0][3 * i + 2], kPoints[i].z * m);
        EXPECT_FLOAT_EQ(v[1][i], 0.01f * m);
    }

    // Under one layer of a fractalizer: rotated by lerp(-a, a, FloatCellNoise(V + 31)) and
    // scaled by F; the reader turns the manifold into the colour the fractalizer layers.
    const float F = 3.f, V = 4.f, R = 90.f;
    const auto q =
        eval1({{"qnFractalizerManifold", "m", {}},
               {"testManifoldReader", "reader", {reference("struct", "manifold", {"m:result"})}},
               fractalizer({intParam("layers", {1}), floatParam("frequency", {F}),
                            intParam("variation", {4}), floatParam("rotation", {R})},
                           "reader:resultRGB")},
              "frac:resultRGB");
    const float a = radians(R);
    float s = 0.f, c = 0.f;
    sincos(lerp(-a, a, sf().FloatCellNoise(V + 31.f)), &s, &c);
    for (std::size_t i = 0; i < kPoints.size(); ++i) {
        const RtPoint3 p = kPoints[i];
        EXPECT_FLOAT_EQ(q[3 * i], (p.x * c - p.y * s) * F);
        EXPECT_FLOAT_EQ(q[3 * i + 1], (p.x * s + p.y * c) * F);
        EXPECT_FLOAT_EQ(q[3 * i + 2], p.z * F);
    }
}
