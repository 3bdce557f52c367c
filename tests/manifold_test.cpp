// The three forms of manifold input, seen through a fixture node in the real runtime.
#include <gtest/gtest.h>

#include "support.h"

using namespace tessera;
using namespace tessera::host;
using test::intParam;
using test::reference;

namespace {

struct Seen {
    RtFloat3 Q;
    float radius;
};

// Evaluates the reader on two points whose alternative position differs from P, with object
// space = world translated by (10, 0, 0) and scaled by 2.
std::vector<Seen> read(const std::vector<test::ParamAssignment>& params, bool connected) {
    std::vector<test::NodeSpec> nodes;
    std::vector<test::ParamAssignment> readerParams = params;
    if (connected) {
        nodes.push_back({"testManifold", "m", {test::floatParam("scale", {2})}});
        readerParams.push_back(reference("struct", "manifold", {"m:result"}));
    }
    nodes.push_back({"testManifoldReader", "r", readerParams});
    auto net = test::makeNetwork(nodes);
    Spaces spaces;
    spaces.set("object", Matrix4::translate(10, 0, 0) * Matrix4::scale(2, 2, 2));
    const EvaluationPlan plan(*net, {net->output("r:resultRGB"), net->output("r:resultF")}, spaces);
    BatchEvaluator ev(plan);
    BatchPoints pts = test::pointsAt({{12, 2, 4}, {14, 6, 8}}, 0.5f);
    pts.Po = {{10, 0, 0}, {12, 2, 2}};
    pts.st = {{0.25f, 0.75f}, {0.5f, 0.125f}};
    pts.stRadius = {0.01f, 0.02f};
    std::vector<const void*> results;
    EXPECT_FALSE(ev.evaluate(pts, results));
    std::vector<Seen> seen;
    for (int i = 0; i < 2; ++i) {
        const auto* rgb = static_cast<const RtColorRGB*>(results[0]);
        seen.push_back({{rgb[i].r, rgb[i].g, rgb[i].b}, static_cast<const float*>(results[1])[i]});
    }
    return seen;
}

void expectSeen(const std::vector<Seen>& seen, const std::vector<Seen>& expected) {
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(seen[i].Q.x, expected[i].Q.x);
        EXPECT_FLOAT_EQ(seen[i].Q.y, expected[i].Q.y);
        EXPECT_FLOAT_EQ(seen[i].Q.z, expected[i].Q.z);
        EXPECT_FLOAT_EQ(seen[i].radius, expected[i].radius);
    }
}

}  // namespace

TEST(ManifoldInput, StandardFormFallsBackToThePositionAndRadius) {
    expectSeen(read({}, false), {{{12, 2, 4}, 0.5f}, {{14, 6, 8}, 0.5f}});
    expectSeen(read({}, true), {{{24, 4, 8}, 1.f}, {{28, 12, 16}, 1.f}});
}

TEST(ManifoldInput, ObjectSpaceFormTransformsACopyOfTheChosenPosition) {
    struct Case {
        int surfacePosition, wantRadius;
        std::vector<Seen> expected;
    };
    const Case cases[] = {
        {0, 1, {{{1, 1, 2}, 0.25f}, {{2, 3, 4}, 0.25f}}},  // P, into object space
        {1, 1, {{{0, 0, 0}, 0.25f}, {{1, 1, 1}, 0.25f}}},  // the alternative position
        {2, 1, {{{1, 1, 2}, 0.25f}, {{2, 3, 4}, 0.25f}}},  // any other value: P
        {0, 0, {{{1, 1, 2}, -1.f}, {{2, 3, 4}, -1.f}}},    // no radius asked for
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "surfacePosition " << c.surfacePosition);
        expectSeen(
            read({intParam("form", {1}), intParam("surfacePosition", {double(c.surfacePosition)}),
                  intParam("wantRadius", {double(c.wantRadius)})},
                 false),
            c.expected);
    }
    // Connected: the upstream values as they come, whatever surfacePosition says.
    expectSeen(read({intParam("form", {1}), intParam("surfacePosition", {1})}, true),
               {{{24, 4, 8}, 1.f}, {{28, 12, 16}, 1.f}});
}

TEST(ManifoldInput, TwoDimensionalFormReadsStOrTheXYOfQ) {
    expectSeen(read({intParam("form", {2})}, false),
               {{{0.25f, 0.75f, 0}, 0.01f}, {{0.5f, 0.125f, 0}, 0.02f}});
    expectSeen(read({intParam("form", {2})}, true), {{{24, 4, 0}, 1.f}, {{28, 12, 0}, 1.f}});
}
