// The four switch nodes in the real runtime: indices, messages, condition codes, outputs.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "support.h"

using namespace tessera;
using test::floatParam;
using test::intParam;
using test::reference;
using test::stringParam;

namespace {

const std::vector<RtPoint3> kPoints = {{0.1f, 0.2f, 0.3f}, {-1.5f, 2.5f, 0.75f}, {3.f, -2.f, -1.f}};

test::NodeSpec colour(const std::string& handle, float r, float g, float b) {
    return {"testProbe", handle, {floatParam("tint", {r, g, b}, "color")}};
}

// Evaluates with a host of its own, collecting the messages.
struct Outcome {
    std::vector<std::vector<float>> values;
    std::vector<std::pair<std::string, int>> messages;
};

Outcome run(const std::vector<test::NodeSpec>& nodes, const std::vector<std::string>& outputs,
            const std::vector<RtPoint3>& P = kPoints, host::RunOptions options = {}) {
    host::Host h(test::testSearchPath());
    h.messages().setSink(nullptr);
    auto net = test::makeNetwork(nodes, h);
    Outcome r;
    r.values = test::evaluate(*net, outputs, P, options);
    r.messages = h.messages().messages();
    return r;
}

const std::string kRangeC =
    "Requested index '%d' in qnDynamicSwitchC does not exist (total of inputs is %d). Using "
    "fallback color instead.";
const std::string kNegativeC = "Index value can not be less than 0. Using fallback color instead.";

std::string rangeC(int index, int total) {
    char buf[256];
    std::snprintf(buf, sizeof buf, kRangeC.c_str(), index, total);
    return buf;
}

}  // namespace

TEST(DynamicSwitchC, IndexTruncationRangeAndMessages) {
    struct Case {
        double number, base;
        int element;  // -1: the fallback
        std::string message;
    };
    const Case cases[] = {
        {2.9, 0, 2, ""},           {-0.5, 0, 0, ""},
        {1, 2, -1, rangeC(3, 3)},  {0.5, 1.75, 2, ""},  // 2.25 truncates to 2
        {-1.5, 0, -1, kNegativeC}, {NAN, 0, -1, kNegativeC},
        {3e9, 0, -1, kNegativeC},  // beyond the int range: the most negative int
        {-3e9, 0, -1, kNegativeC},
    };
    const RtColorRGB element[3] = {{0.1f, 0.f, 0.f}, {0.2f, 0.f, 0.f}, {0.3f, 0.f, 0.f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number << " + " << c.base);
        const Outcome r =
            run({colour("e0", 0.1f, 0, 0),
                 colour("e1", 0.2f, 0, 0),
                 colour("e2", 0.3f, 0, 0),
                 {"qnDynamicSwitchC",
                  "sw",
                  {floatParam("indexNumber", {c.number}), floatParam("indexBase", {c.base}),
                   reference("color", "inputColor",
                             {"e0:resultRGB", "e1:resultRGB", "e2:resultRGB"}, 3)}}},
                {"sw:resultRGB", "sw:resultR"});
        const RtColorRGB expected = c.element < 0 ? RtColorRGB{1, 0, 1} : element[c.element];
        EXPECT_EQ(r.values[0][0], expected.r);
        EXPECT_EQ(r.values[0][2], expected.b);
        EXPECT_EQ(r.values[1][0], expected.r) << "resultR is the red channel";
        if (c.message.empty()) {
            EXPECT_TRUE(r.messages.empty());
        } else {
            ASSERT_EQ(r.messages.size(), 1u);
            EXPECT_EQ(r.messages[0].first, c.message);
            EXPECT_EQ(r.messages[0].second, 3) << "one message per point";
        }
    }
}

TEST(DynamicSwitchC, NoElementsAndPerPointIndices) {
    // Without elements an index of 0 is out of range and a negative one is negative.
    Outcome r = run({{"qnDynamicSwitchC", "sw", {}}}, {"sw:resultRGB"});
    EXPECT_EQ(r.messages, (std::vector<std::pair<std::string, int>>{{rangeC(0, 0), 3}}));
    EXPECT_EQ(r.values[0][1], 0.f);
    // A connected index varies per point: x of each point, so -1.5, 0.1 and 3 here.
    r = run({{"testManifold", "m", {}},
             colour("e0", 0.25f, 0, 0),
             colour("e1", 0.5f, 0, 0),
             {"qnDynamicSwitchC",
              "sw",
              {reference("float", "indexNumber", {"m:resultX"}),
               floatParam("outOfIndexColor", {0, 1, 0}, "color"),
               reference("color", "inputColor", {"e0:resultRGB", "e1:resultRGB"}, 2)}}},
            {"sw:resultRGB"}, {{-1.5f, 0, 0}, {0.1f, 0, 0}, {3.f, 0, 0}, {1.9f, 0, 0}});
    EXPECT_EQ(r.values[0], (std::vector<float>{0, 1, 0, 0.25f, 0, 0, 0, 1, 0, 0.5f, 0, 0}));
    EXPECT_EQ(r.messages,
              (std::vector<std::pair<std::string, int>>{{kNegativeC, 1}, {rangeC(3, 2), 1}}))
        << "in the order the points meet them";
}

TEST(DynamicSwitchC, ComputesIntoScratchWhenOnlyAChannelIsRead) {
    auto net = test::makeNetwork(
        {colour("e0", 0.25f, 0.5f, 0.75f),
         {"qnDynamicSwitchC", "sw", {reference("color", "inputColor", {"e0:resultRGB"}, 1)}},
         {"testProbe", "p", {reference("float", "value", {"sw:resultG"})}}});
    test::NodeCall node(*net, "p:resultF", kPoints);
    ASSERT_EQ(node.call("sw"), 0);
    ASSERT_EQ(node.numOutputs, 4);
    const OutputSpec* out = node.outputs;
    EXPECT_EQ(out[0].value, nullptr);
    EXPECT_EQ(out[0].detail, k_RixSCInvalidDetail);
    EXPECT_EQ(out[1].value, nullptr);
    ASSERT_NE(out[2].value, nullptr);
    EXPECT_EQ(static_cast<float*>(out[2].value)[1], 0.5f);
    EXPECT_EQ(out[3].value, nullptr);
}

TEST(DynamicSwitchM, IndexSelectionFallbackAndMessages) {
    const std::string negative =
        "Index value can not be less than 0. Using fallback inputManifold instead.";
    const auto range = [](int n, int b, int last) {
        return "Requested index '" + std::to_string(n) +
               "' in qnDynamicSwitchM does not exist; index input ranges between '" +
               std::to_string(b) + "' and '" + std::to_string(last) +
               "'. Using fallback manifold instead.";
    };
    struct Case {
        double number, base;
        int suppress;
        int input;  // -1: the fallback
        std::string message;
    };
    const Case cases[] = {
        {3, 0, 0, 3, ""},
        {3, 1, 0, 2, ""},
        {0.9, 0, 0, 0, ""},
        {10, 0, 0, -1, range(10, 0, 9)},
        {-1, -3, 0, -1, negative},
        {10, 0, 1, -1, ""},
        {-1, 0, 1, -1, ""},
        {NAN, 0, 0, -1, negative},
        {5, 2e10, 0, -1, range(5, INT_MIN, INT_MIN + 9)},
        {2147483520, 2147483520, 0, 0, ""},  // the largest float below 2^31 as both terms
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number << " - " << c.base);
        std::vector<test::NodeSpec> nodes;
        std::vector<test::ParamAssignment> params = {
            floatParam("indexNumber", {c.number}), floatParam("indexBase", {c.base}),
            intParam("supressErrMsg", {double(c.suppress)})};
        for (int k = 0; k < 10; ++k) {
            nodes.push_back({"testManifold",
                             "m" + std::to_string(k),
                             {floatParam("offset", {100.0 * (k + 1), 0, 0}, "point")}});
            params.push_back(reference("struct", "inputManifold" + std::to_string(k),
                                       {"m" + std::to_string(k) + ":result"}));
        }
        nodes.push_back({"qnDynamicSwitchM", "sw", params});
        host::RunOptions onePointPerBatch;
        onePointPerBatch.batchSize = 1;
        const Outcome r = run(nodes, {"sw:Q", "sw:resultX"}, kPoints, onePointPerBatch);
        const float expectedX = kPoints[1].x + (c.input < 0 ? 0.f : 100.f * (c.input + 1));
        EXPECT_EQ(r.values[0][3], expectedX);
        EXPECT_EQ(r.values[1][1], expectedX);
        if (c.message.empty())
            EXPECT_TRUE(r.messages.empty());
        else
            EXPECT_EQ(r.messages, (std::vector<std::pair<std::string, int>>{{c.message, 3}}))
                << "once per batch: three batches of one point";
    }
}

TEST(DynamicSwitchM, FallbacksAndABatchWideIndex) {
    // An unconnected selected input and an unconnected fallback: the current position and radius.
    Outcome r =
        run({{"qnDynamicSwitchM", "sw", {floatParam("indexNumber", {4})}}}, {"sw:Q", "sw:Qradius"});
    EXPECT_EQ(r.values[0][3], kPoints[1].x);
    EXPECT_EQ(r.values[1][2], 0.01f);
    EXPECT_TRUE(r.messages.empty());
    // A connected fallback; an index from the first point of each batch only: x = 1.2 then 2.7.
    host::RunOptions twoPerBatch;
    twoPerBatch.batchSize = 2;
    r = run({{"testManifold", "fb", {floatParam("scale", {2})}},
             {"testManifold", "one", {floatParam("offset", {10, 0, 0}, "point")}},
             {"testManifold", "idx", {}},
             {"qnDynamicSwitchM",
              "sw",
              {reference("float", "indexNumber", {"idx:resultX"}),
               reference("struct", "fallbackManifold", {"fb:result"}),
               reference("struct", "inputManifold1", {"one:result"})}}},
            {"sw:resultX"}, {{1.2f, 0, 0}, {7.f, 0, 0}, {2.7f, 0, 0}, {0.5f, 0, 0}}, twoPerBatch);
    EXPECT_EQ(r.values[0], (std::vector<float>{11.2f, 17.f, 5.4f, 1.f}))
        << "input 1, then the fallback (scale 2)";
}

TEST(ConditionalSwitches, CodesOnEqualOperandsAndNaN) {
    // For each code: the branch on (0.5, 0.5), on (NaN, 0.5) and on (0.3, 0.5).
    struct Case {
        int code;
        bool equal, nan, less;
    };
    const Case cases[] = {{0, true, false, false},  {1, false, true, true},
                          {2, false, false, true},  {3, false, false, false},
                          {4, true, false, true},   {5, true, false, false},
                          {7, false, false, false}, {-1, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        int k = 0;
        for (const auto& [a, expected] :
             {std::pair<double, bool>{0.5, c.equal}, {NAN, c.nan}, {0.3, c.less}}) {
            const Outcome r = run(
                {colour("t", 1, 1, 1),
                 colour("f", 0, 0, 0),
                 {"qnConditionalSwitchC",
                  "sw",
                  {floatParam("inputA", {a}), floatParam("inputB", {0.5}),
                   intParam("condition", {double(c.code)}), stringParam("conditionCustomInput", ""),
                   reference("color", "conditionTrueOutput", {"t:resultRGB"}),
                   reference("color", "conditionFalseOutput", {"f:resultRGB"})}}},
                {"sw:resultRGB"});
            EXPECT_EQ(r.values[0][0], expected ? 1.f : 0.f) << "case " << k++;
            EXPECT_TRUE(r.messages.empty());
        }
    }
}

TEST(ConditionalSwitches, CustomTextMissingEmptyAndUsed) {
    // No text at all: status 1, the message, no outputs; for every code.
    for (double code : {0.0, 6.0}) {
        host::Host h(test::testSearchPath());
        std::vector<std::string> lines;
        h.messages().setSink([&](const std::string& l) { lines.push_back(l); });
        auto net =
            test::makeNetwork({{"qnConditionalSwitchC", "sw", {intParam("condition", {code})}}}, h);
        test::NodeCall node(*net, "sw:resultRGB", kPoints);
        EXPECT_EQ(node.call("sw", 55), 1);
        EXPECT_EQ(node.numOutputs, 55);
        EXPECT_EQ(node.outputs, nullptr);
        EXPECT_EQ(lines, std::vector<std::string>{"Custom input field is empty. Please make sure "
                                                  "to enter a valid custom input syntax."});
    }
    // An empty text is a text: false everywhere. Nothing connected: black.
    Outcome r = run({colour("t", 1, 1, 1),
                     {"qnConditionalSwitchC",
                      "sw",
                      {intParam("condition", {6}), stringParam("conditionCustomInput", ""),
                       reference("color", "conditionTrueOutput", {"t:resultRGB"})}}},
                    {"sw:resultRGB"});
    for (float v : r.values[0]) EXPECT_EQ(v, 0.f);
    // Code 6 tests inputA (x of each point) against the text; inputB plays no part.
    r = run({{"testManifold", "m", {}},
             colour("t", 1, 1, 1),
             {"qnConditionalSwitchC",
              "sw",
              {reference("float", "inputA", {"m:resultX"}), floatParam("inputB", {1e9}),
               intParam("condition", {6}), stringParam("conditionCustomInput", "(<0.1)||(>0.9)"),
               reference("color", "conditionTrueOutput", {"t:resultRGB"})}}},
            {"sw:resultR"}, {{0.05f, 0, 0}, {0.5f, 0, 0}, {0.95f, 0, 0}});
    EXPECT_EQ(r.values[0], (std::vector<float>{1, 0, 1}));
}

TEST(ConditionalSwitches, ColourOutputsOnlyWhenConsumed) {
    auto net =
        test::makeNetwork({colour("t", 0.25f, 0.5f, 0.75f),
                           {"qnConditionalSwitchC",
                            "sw",
                            {intParam("condition", {0}), stringParam("conditionCustomInput", ""),
                             reference("color", "conditionTrueOutput", {"t:resultRGB"})}},
                           {"testProbe", "p", {reference("float", "value", {"sw:resultB"})}}});
    test::NodeCall node(*net, "p:resultF", kPoints);
    ASSERT_EQ(node.call("sw"), 0);
    ASSERT_EQ(node.numOutputs, 4);
    for (int k : {0, 1, 2}) EXPECT_EQ(node.outputs[k].value, nullptr) << k;
    ASSERT_NE(node.outputs[3].value, nullptr);
    EXPECT_EQ(static_cast<float*>(node.outputs[3].value)[2], 0.75f)
        << "0 == 0: the true branch's blue";
}

TEST(ConditionalSwitches, ManifoldBranches) {
    // inputA = x: the true branch (offset 10) where x < 0.5, else the unconnected false branch,
    // which is the current position.
    const Outcome r =
        run({{"testManifold", "m", {}},
             {"testManifold", "t", {floatParam("offset", {10, 0, 0}, "point")}},
             {"qnConditionalSwitchM",
              "sw",
              {reference("float", "inputA", {"m:resultX"}), floatParam("inputB", {0.5}),
               intParam("condition", {2}), stringParam("conditionCustomInput", "unused"),
               reference("struct", "conditionTrueOutput", {"t:result"})}}},
            {"sw:Q", "sw:resultY"}, {{0.25f, 1, 2}, {0.75f, 3, 4}});
    EXPECT_EQ(r.values[0], (std::vector<float>{10.25f, 1, 2, 0.75f, 3, 4}));
    EXPECT_EQ(r.values[1], (std::vector<float>{1, 3}));
    // Neither branch connected: the current position whatever the condition.
    const Outcome p = run({{"qnConditionalSwitchM",
                            "sw",
                            {intParam("condition", {1}), stringParam("conditionCustomInput", "")}}},
                          {"sw:Q", "sw:Qradius"});
    EXPECT_EQ(p.values[0][3], kPoints[1].x);
    EXPECT_EQ(p.values[1][0], 0.01f);
}
