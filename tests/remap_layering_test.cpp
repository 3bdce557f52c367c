// The remap stage and the fractal layering engine as pure functions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "layering.h"
#include "remap.h"

using namespace tessera;

namespace {

RemapParams on() { return RemapParams(); }

// A shade-function service whose FloatCellNoise the test scripts and records.
struct ScriptedNoise final : RixShadeFunctions {
    std::function<float(float)> floatCell = [](float) { return 0.5f; };
    mutable std::vector<float> asked;
    float Noise(const RtPoint3*, float) const override { return 0.5f; }
    float CellNoise(const RtPoint3*, float) const override { return 0.5f; }
    float PointCellNoise(const RtPoint3*) const override { return 0.5f; }
    float FloatCellNoise(float x) const override {
        asked.push_back(x);
        return floatCell(x);
    }
    RtFloat3 VectorCellNoise(const RtPoint3*, float) const override { return {0.5f, 0.5f, 0.5f}; }
};

// Layers a generator that returns `value` at every point through the engine; one point.
float layerConstant(const FractalParams& p, float value, float absWidth = 0.f) {
    float W = 1.f, S = 0.f, A = 0.f;
    Accumulator<float> acc{&W, &S, &A, 0};
    FractalParams q = p;
    q.absWidth = &absWidth;
    float f = q.frequency;
    for (int j = 0; j < q.layers; ++j) {
        float v = value;
        accumulateLayer(q, j, f, &v, acc, 1);
        f *= q.lacunarity;
    }
    float out = -1.f;
    finishLayers(q, acc, &out, 1);
    return out;
}

}  // namespace

TEST(Remap, EdgeCases) {
    struct Case {
        const char* what;
        RemapParams p;
        float in, expected;
    };
    auto with = [](std::function<void(RemapParams&)> change) {
        RemapParams p = on();
        change(p);
        return p;
    };
    const Case cases[] = {
        {"identity inside [0, 1]", on(), 0.25f, 0.25f},
        {"above the window", on(), 1.7f, 1.f},
        {"below the window, clampInput off: Bias clamps",
         with([](RemapParams& p) { p.clampInput = false; }), -0.3f, 0.f},
        {"above, both clamps off",
         with([](RemapParams& p) { p.clampInput = p.clampOutput = false; }), 1.7f, 1.f},
        {"empty window at its edge", with([](RemapParams& p) { p.inputMin = p.inputMax = 0.4f; }),
         0.4f, 1.f},
        {"empty window below", with([](RemapParams& p) { p.inputMin = p.inputMax = 0.4f; }), 0.39f,
         0.f},
        {"bias 0 acts as 0.0001", with([](RemapParams& p) { p.bias = 0.f; }), 0.5f,
         0.5f / (9998.f * 0.5f + 1.f)},
        {"bias at t = 1", with([](RemapParams& p) { p.bias = 0.f; }), 1.f, 1.f},
        {"gain 0 at t = 0.5", with([](RemapParams& p) { p.gain = 0.f; }), 0.5f, 0.5f},
        {"gain 1 at t = 0.5", with([](RemapParams& p) { p.gain = 1.f; }), 0.5f, 0.5f},
        {"inverted output window",
         with([](RemapParams& p) { p.outputMin = 1.f, p.outputMax = 0.f; }), 0.25f, 0.75f},
        {"wide output window clamped to [0, 1]",
         with([](RemapParams& p) { p.outputMin = -2.f, p.outputMax = 3.f; }), 0.9f, 1.f},
        {"wide output window unclamped",
         with([](RemapParams& p) { p.outputMin = -2.f, p.outputMax = 3.f, p.clampOutput = false; }),
         0.9f, 2.5f},
        {"input window", with([](RemapParams& p) { p.inputMin = 2.f, p.inputMax = 4.f; }), 3.f,
         0.5f},
    };
    for (const Case& c : cases) EXPECT_FLOAT_EQ(remap(c.in, c.p), c.expected) << c.what;
}

TEST(Remap, BiasAndGainCurves) {
    EXPECT_FLOAT_EQ(bias(0.25f, 0.5f), 0.25f);
    EXPECT_FLOAT_EQ(bias(0.5f, 0.25f), 0.25f) << "Bias(0.5, b) = b";
    EXPECT_FLOAT_EQ(gain(0.25f, 0.5f), 0.25f);
    EXPECT_FLOAT_EQ(gain(0.25f, 0.25f), 0.125f);  // k = (4 - 2)(1 - 0.5) = 1: 0.25 / 2
    for (float g : {0.f, 0.1f, 0.7f, 1.f, 5.f}) EXPECT_FLOAT_EQ(gain(0.5f, g), 0.5f) << g;
    for (float b : {0.f, 0.3f, 0.9f}) EXPECT_FLOAT_EQ(bias(1.f, b), 1.f) << b;
    // Gain is symmetric about (0.5, 0.5).
    EXPECT_NEAR(gain(0.2f, 0.3f) + gain(0.8f, 0.3f), 1.f, 1e-6f);
}

TEST(Remap, BatchFormsAndTheSwitch) {
    float v[3] = {-0.5f, 0.25f, 1.5f};
    const float zero[3] = {0, 0, 0}, one[3] = {1, 1, 1}, half[3] = {0.5f, 0.5f, 0.5f};
    RemapBlock<float> block;
    block.inputMin = block.outputMin = zero;
    block.inputMax = block.outputMax = one;
    block.bias = block.gain = half;
    block.apply(v, 3);
    EXPECT_EQ(v[0], -0.5f) << "a block that is off leaves values outside [0, 1] alone";
    block.on = true;
    block.apply(v, 3);
    EXPECT_EQ(v[0], 0.f);
    EXPECT_EQ(v[2], 1.f);
    // Applying the same block twice applies the curve twice.
    const float b2[1] = {0.25f};
    float twice[1] = {0.5f};
    block.bias = b2;
    block.apply(twice, 1);
    block.apply(twice, 1);
    EXPECT_FLOAT_EQ(twice[0], bias(bias(0.5f, 0.25f), 0.25f));

    // Channel-wise: red unchanged, green pushed down, blue pushed up.
    RemapBlock<RtColorRGB> colour;
    const RtColorRGB biases[1] = {{0.5f, 0.2f, 0.8f}}, gains[1] = {{0.5f, 0.5f, 0.5f}};
    colour.on = true;
    colour.inputMin = colour.outputMin = zero;
    colour.inputMax = colour.outputMax = one;
    colour.bias = biases;
    colour.gain = gains;
    RtColorRGB c[1] = {{0.4f, 0.4f, 0.4f}};
    colour.apply(c, 1);
    EXPECT_FLOAT_EQ(c[0].r, 0.4f);
    EXPECT_LT(c[0].g, 0.4f);
    EXPECT_GT(c[0].b, 0.4f);
}

TEST(Layering, WorkedExampleOfAConstantGenerator) {
    FractalParams p;
    EXPECT_FLOAT_EQ(layerConstant(p, 0.5f), 0.55f);
    p.invert = true;
    EXPECT_FLOAT_EQ(layerConstant(p, 0.5f), -0.15f);
    p.type = 1;
    EXPECT_NEAR(layerConstant(p, 0.5f), -0.1071429f, 1e-6f);
    p.invert = false;
    EXPECT_NEAR(layerConstant(p, 0.5f), 0.6785714f, 1e-6f);
}

TEST(Layering, WeightLawsLayerCountsAndFolding) {
    FractalParams p;
    p.type = 2;  // weights stay 1: v_j = 2 * 0.3, A = 3 * 0.3, S = 3
    EXPECT_FLOAT_EQ(layerConstant(p, 0.3f), 0.3f);
    p.type = 0;
    p.layers = 1;
    EXPECT_FLOAT_EQ(layerConstant(p, 0.8f), 0.8f) << "one layer gives the generator's value";
    p.layers = 0;
    EXPECT_EQ(layerConstant(p, 0.8f), 0.f) << "no layer: 0, not 0/0";
    p.layers = -4;
    EXPECT_EQ(layerConstant(p, 0.8f), 0.f);
    p.invert = true;
    EXPECT_EQ(layerConstant(p, 0.8f), 0.f);

    // Folding: 0.25 -> |2 * 0.25 - 1| = 0.5 before weighting; one layer gives (v + x) / 2.
    p = FractalParams();
    p.layers = 1;
    p.absOption = true;
    EXPECT_FLOAT_EQ(layerConstant(p, 0.25f), 0.5f * (0.25f + 0.5f));
    EXPECT_FLOAT_EQ(layerConstant(p, 0.5f), 0.25f);
    // Erosion: a high running value lowers the next weight (from layer 1 on: f is 1 for layer 0).
    p = FractalParams();
    const float plain = layerConstant(p, 0.9f);
    p.erosion = 1.f;
    // For a constant v the result is 0.5 v (layers + S) / S: the lower third weight shrinks S.
    EXPECT_GT(layerConstant(p, 0.9f), plain);
}

TEST(Layering, SoftAbsoluteValue) {
    struct Case {
        float x, w, expected;
    };
    const Case cases[] = {{-0.5f, 0.f, 0.5f}, {0.5f, 0.f, 0.5f}, {0.f, 0.f, 0.f},
                          {-1.f, 0.f, 1.f},   {0.f, 0.2f, 0.f},  {0.9f, 0.2f, 0.9f},
                          {-0.9f, 0.2f, 0.9f}};
    for (const Case& c : cases) EXPECT_FLOAT_EQ(softabs(c.x, c.w), c.expected) << c.x << " " << c.w;
    EXPECT_LT(softabs(0.1f, 0.2f), 0.1f) << "smoothed near 0";
    EXPECT_GT(softabs(-0.1f, 0.2f), -0.1f);
    // A negative width reverses the edges of the smoothstep.
    EXPECT_NE(softabs(0.1f, -0.2f), softabs(0.1f, 0.2f));
}

TEST(Layering, LayerTransformSeedsRotationAndShift) {
    ScriptedNoise sf;
    FractalParams p;
    p.variation = 5;
    LayerTransform::of(p, 2, 1.f, sf);
    EXPECT_EQ(sf.asked, (std::vector<float>{7.f + 31.f, 7.f}))
        << "the angle from seed + 31, the shift from seed";

    p.rotation = 0.f;
    sf.floatCell = [](float) { return 0.5f; };
    LayerTransform t = LayerTransform::of(p, 0, 2.f, sf);
    RtPoint3 q = t.point({1, 2, 3});
    EXPECT_EQ(q.x, 2.f);
    EXPECT_EQ(q.y, 4.f);
    EXPECT_EQ(q.z, 6.f) << "r = 0.5: no shift";
    sf.floatCell = [](float) { return 0.f; };
    t = LayerTransform::of(p, 0, 1.f, sf);
    q = t.point({1, 2, 3});
    EXPECT_EQ(q.x, 0.5f);
    EXPECT_EQ(q.z, 2.5f) << "r = 0: a shift of -0.5 on every coordinate";
    EXPECT_EQ(t.radius(0.25f), -0.25f);

    // A rotation of 90 degrees (r1 = 1) turns x into y; z is never rotated.
    p.rotation = 90.f;
    p.offset = 0.f;
    sf.floatCell = [](float x) { return x >= 31.f ? 1.f : 0.5f; };
    t = LayerTransform::of(p, 0, 1.f, sf);
    q = t.point({1, 0, 3});
    EXPECT_NEAR(q.x, 0.f, 1e-6f);
    EXPECT_NEAR(q.y, 1.f, 1e-6f);
    EXPECT_EQ(q.z, 3.f);
    // The seed sum wraps instead of overflowing.
    p.variation = std::numeric_limits<int>::max();
    sf.asked.clear();
    LayerTransform::of(p, 1, 1.f, sf);
    EXPECT_EQ(sf.asked.back(), float(std::numeric_limits<int>::min()));
}
