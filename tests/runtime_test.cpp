// The host runtime: network checks, evaluation of parameters, upstream memoisation, override
// contexts, primitive variables, transforms, messages and threads.
#include <gtest/gtest.h>

#include <cmath>

#include "support.h"

using namespace tessera;
using namespace tessera::host;
using test::NodeSpec;

namespace {

// A context of one node of a network, on a small batch.
struct Probe {
    explicit Probe(std::vector<NodeSpec> nodes,
                   std::vector<RtPoint3> P = {{0, 0, 0}, {1, 2, 3}, {4, 5, 6}})
        : net(test::makeNetwork(nodes)),
          plan(*net, {net->defaultOutput()}, spaces),
          evaluator(plan),
          points(test::pointsAt(P)) {}

    RixShadingContext* context(const std::string& handle) {
        return evaluator.contextFor(net->find(handle), points);
    }
    int id(const std::string& handle, const std::string& param) {
        return findParam(net->node(net->find(handle)), param, false);
    }

    Spaces spaces;
    std::unique_ptr<Network> net;
    EvaluationPlan plan;
    BatchEvaluator evaluator;
    BatchPoints points;
};

std::string buildError(const std::vector<NodeSpec>& nodes) {
    try {
        test::makeNetwork(nodes);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(Network, ErrorsNameTheProblem) {
    using test::floatParam;
    using test::intParam;
    using test::reference;
    struct Case {
        const char* what;
        std::vector<NodeSpec> nodes;
        const char* message;
    };
    const Case cases[] = {
        {"unknown node type",
         {{"qnNoSuchNode", "a", {}}},
         "unknown node type 'qnNoSuchNode' (no qnNoSuchNode.so in "},
        {"unknown parameter",
         {{"qnGrayCells", "a", {intParam("sed", {1})}}},
         "unknown parameter 'sed' (did you mean 'seed'?)"},
        {"setting an output",
         {{"qnGrayCells", "a", {floatParam("resultF", {1})}}},
         "'resultF' is an output"},
        {"float for int",
         {{"qnGrayCells", "a", {floatParam("seed", {1})}}},
         "parameter 'seed' is int, not float"},
        {"fraction for int",
         {{"qnGrayCells", "a", {intParam("seed", {1.5})}}},
         "expected an integer"},
        {"value count",
         {{"qnGrayCells", "a", {floatParam("frequency", {1, 2})}}},
         "expected 1 number for float, got 2"},
        {"colour count",
         {{"testProbe", "a", {floatParam("tint", {1, 2}, "color")}}},
         "expected 3 numbers for color"},
        {"not an array",
         {{"qnGrayCells", "a", {[] {
               auto p = floatParam("frequency", {1, 2});
               p.arraySize = 2;
               return p;
           }()}}},
         "is not an array"},
        {"struct constant",
         {{"qnGrayCells", "a", {floatParam("manifold", {1}, "struct")}}},
         "can only be connected"},
        {"missing handle",
         {{"qnGrayCells", "a", {reference("struct", "manifold", {"m:result"})}}},
         "no node has handle 'm'"},
        {"missing output",
         {{"testManifold", "m", {}},
          {"qnGrayCells", "a", {reference("struct", "manifold", {"m:reslt"})}}},
         "unknown output 'reslt' (did you mean 'result'?)"},
        {"bad reference",
         {{"qnGrayCells", "a", {reference("float", "frequency", {"nocolon"})}}},
         "expected \"handle:output\""},
        {"colour into struct",
         {{"qnGrayCells", "c", {}},
          {"qnGrayCells", "a", {reference("struct", "manifold", {"c:resultRGB"})}}},
         "color output does not fit a struct-begin input"},
        {"colour into float",
         {{"qnGrayCells", "c", {}},
          {"qnGrayCells", "a", {reference("float", "frequency", {"c:resultRGB"})}}},
         "color output does not fit a float input"},
        {"duplicate handle",
         {{"qnGrayCells", "a", {}}, {"qnGrayCells", "a", {}}},
         "handle 'a' is used twice"},
        {"given twice",
         {{"qnGrayCells", "a", {intParam("seed", {1}), intParam("seed", {2})}}},
         "is given twice"},
        {"cycle",
         {{"qnGrayCells", "a", {reference("float", "frequency", {"b:resultF"})}},
          {"qnGrayCells", "b", {reference("float", "frequency", {"a:resultF"})}}},
         "cycle: a <- b <- a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string message = buildError(c.nodes);
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
    }
}

TEST(Network, ColourPointVectorAndNormalInterchange) {
    EXPECT_EQ(buildError({{"testProbe", "a", {test::floatParam("tint", {1, 2, 3}, "point")}},
                          {"testManifold", "m", {test::floatParam("offset", {1, 2, 3}, "color")}}}),
              "");
}

TEST(EvalParam, DefaultsConstantsAndPromotion) {
    Probe probe(
        {{"testProbe",
          "set",
          {test::floatParam("value", {0.75}), test::floatParam("tint", {1, 2, 3}, "color")}},
         {"testProbe", "unset", {}}});
    for (const char* handle : {"set", "unset"}) {
        SCOPED_TRACE(handle);
        const bool set = std::string(handle) == "set";
        RixShadingContext* ctx = probe.context(handle);
        const float dflt = 9.f;
        const float* v = nullptr;
        // Not promoted: one value, the constant or the caller's default itself.
        EXPECT_EQ(ctx->EvalParam(probe.id(handle, "value"), -1, &v, &dflt, false), k_RixSCUniform);
        if (set)
            EXPECT_EQ(v[0], 0.75f);
        else
            EXPECT_EQ(v, &dflt);
        // Promoted: numPts copies.
        EXPECT_EQ(ctx->EvalParam(probe.id(handle, "value"), -1, &v, &dflt, true), k_RixSCVarying);
        for (int i = 0; i < ctx->numPts; ++i) EXPECT_EQ(v[i], set ? 0.75f : 9.f);
        const RtColorRGB* c = nullptr;
        const RtColorRGB cd{4, 5, 6};
        ctx->EvalParam(probe.id(handle, "tint"), -1, &c, &cd, true);
        EXPECT_EQ(c[2].b, set ? 3.f : 6.f);
    }
}

TEST(EvalParam, MissingValuesWrongFormsAndBadIds) {
    Probe probe(std::vector<NodeSpec>{{"testProbe", "p", {}}});
    RixShadingContext* ctx = probe.context("p");
    const float* v = reinterpret_cast<const float*>(&probe);
    EXPECT_EQ(ctx->EvalParam(probe.id("p", "nodefault"), -1, &v, nullptr, true),
              k_RixSCInvalidDetail);
    EXPECT_EQ(v, nullptr) << "unset without default gives nothing";
    const int* i = nullptr;
    EXPECT_EQ(ctx->EvalParam(probe.id("p", "value"), -1, &i, nullptr, false), k_RixSCInvalidDetail)
        << "a float parameter is not read as int";
    EXPECT_EQ(ctx->EvalParam(999, -1, &v, nullptr, false), k_RixSCInvalidDetail);
    EXPECT_EQ(ctx->EvalParam(-1, -1, &v, nullptr, false), k_RixSCInvalidDetail);
    EXPECT_EQ(ctx->EvalParam(0, -1, &v, nullptr, false), k_RixSCInvalidDetail)
        << "outputs are not inputs";
    EXPECT_EQ(ctx->GetParamInfo(999, nullptr, nullptr, nullptr), 1);
}

TEST(EvalParam, ConnectedInputsAndOpenArrays) {
    Probe probe({{"testManifold", "m", {test::floatParam("offset", {10, 20, 30}, "point")}},
                 {"testProbe", "a", {test::floatParam("tint", {0.5, 0.25, 0.125}, "color")}},
                 {"testProbe",
                  "p",
                  {test::reference("float", "value", {"m:resultY"}),
                   test::reference("color", "colors", {"a:resultRGB", "a:resultRGB"}, 2)}}});
    RixShadingContext* ctx = probe.context("p");
    const float* v = nullptr;
    EXPECT_EQ(ctx->EvalParam(probe.id("p", "value"), -1, &v, nullptr, false), k_RixSCVarying);
    EXPECT_EQ(v[1], 22.f) << "upstream Q.y = P.y + 20";

    RixSCType type = k_RixSCInvalidType;
    RixSCConnectionInfo cinfo = k_RixSCDefaultValue;
    int length = -7;
    ctx->GetParamInfo(probe.id("p", "colors"), &type, &cinfo, &length);
    EXPECT_EQ(type, k_RixSCColor);
    EXPECT_EQ(cinfo, k_RixSCNetworkValue);
    EXPECT_EQ(length, 2);
    const RtColorRGB* c = nullptr;
    EXPECT_EQ(ctx->EvalParam(probe.id("p", "colors"), 1, &c, nullptr, false), k_RixSCVarying);
    EXPECT_EQ(c[2].g, 0.25f);
    EXPECT_EQ(ctx->EvalParam(probe.id("p", "colors"), 2, &c, nullptr, false), k_RixSCInvalidDetail)
        << "past the end of the array";

    ctx->GetParamInfo(probe.id("p", "tint"), &type, &cinfo, &length);
    EXPECT_EQ(cinfo, k_RixSCDefaultValue);
    EXPECT_EQ(length, -1);
    RixShadingContext* a = probe.context("a");
    a->GetParamInfo(probe.id("a", "tint"), &type, &cinfo, nullptr);
    EXPECT_EQ(cinfo, k_RixSCParameterList);
    // Outputs: consumed downstream, or requested, or neither.
    a->GetParamInfo(0, &type, &cinfo, nullptr);
    EXPECT_EQ(cinfo, k_RixSCDefaultValue) << "a:resultF is not read";
    a->GetParamInfo(1, &type, &cinfo, nullptr);
    EXPECT_EQ(cinfo, k_RixSCNetworkValue) << "a:resultRGB feeds p";
    probe.context("p")->GetParamInfo(0, &type, &cinfo, nullptr);
    EXPECT_EQ(cinfo, k_RixSCNetworkValue) << "p:resultF is the requested output";
}

TEST(Memoisation, AConnectedManifoldRunsOncePerBatch) {
    auto net = test::makeNetwork(
        {{"testManifold", "m", {test::floatParam("scale", {3})}},
         {"qnGrayCells", "a", {test::reference("struct", "manifold", {"m:result"})}},
         {"qnGrayCells",
          "b",
          {test::reference("struct", "manifold", {"m:result"}), test::intParam("seed", {4})}},
         {"testProbe",
          "sum",
          {test::reference("float", "value", {"a:resultF"}),
           test::reference("color", "tint", {"b:resultRGB"})}}});
    const int batch = 128;
    RunOptions options;
    options.batchSize = batch;
    options.threads = 2;
    test::evaluate(*net, {"sum:resultF", "a:resultF"}, test::gridPoints(32, 4.f), options);
    const std::uint64_t batches = 32 * 32 / batch;
    EXPECT_EQ(net->node(net->find("m")).runs.load(), batches);
    EXPECT_EQ(net->node(net->find("a")).runs.load(), batches);
}

TEST(OverrideContext, NamedValuesReachPrimVarsAndReRunUpstream) {
    Probe probe({{"testProbe", "up", {test::stringParam("primvar", "qnLayer")}},
                 {"testProbe", "down", {test::reference("float", "value", {"up:resultF"})}}});
    const RtUString name = RtUString::UstrMakeUnique("qnLayer");
    RixShadingContext* ctx = probe.context("down");
    const int value = probe.id("down", "value");
    const float* v = nullptr;
    ctx->EvalParam(value, -1, &v, nullptr, false);
    EXPECT_EQ(v[0], -1.f + 0.25f) << "without a value the fill (-1) is seen";
    EXPECT_NE(ctx->SetNamedValue(name, 1, v, nullptr), 0) << "only override contexts take values";

    RixShadingContext* over = ctx->CreateOverrideContext();
    ASSERT_NE(over, nullptr);
    EXPECT_EQ(over->numPts, ctx->numPts);
    const std::uint64_t before = probe.net->node(0).runs;
    for (float layer : {1.f, 2.f, 3.f}) {
        ASSERT_EQ(over->SetNamedValue(name, 1, &layer, nullptr), 0);
        over->EvalParam(value, -1, &v, nullptr, false);
        for (int i = 0; i < over->numPts; ++i) EXPECT_EQ(v[i], layer + 0.25f) << "layer " << layer;
        const float* pv = nullptr;
        EXPECT_NE(over->GetPrimVar(name, 0.f, &pv, nullptr), k_RixSCInvalidDetail);
        EXPECT_EQ(pv[0], layer);
    }
    over->EvalParam(value, -1, &v, nullptr, false);
    EXPECT_EQ(probe.net->node(0).runs - before, 3u) << "once per value set, memoised otherwise";
    ctx->EvalParam(value, -1, &v, nullptr, false);
    EXPECT_EQ(v[0], -0.75f) << "the batch's own context is untouched";
}

TEST(PrimVars, NamedBuiltinAndStForms) {
    Probe probe({{"testProbe", "p", {}}}, {{0.5f, 0.25f, 2.f}, {1, 1, 1}});
    probe.points.primvars.push_back({RtUString::UstrMakeUnique("pref"), 3, {1, 2, 3, 4, 5, 6}});
    probe.points.primvars.push_back({RtUString::UstrMakeUnique("weight"), 1, {7, 8}});
    RixShadingContext* ctx = probe.context("p");
    const RtFloat3* p3 = nullptr;
    EXPECT_EQ(ctx->GetPrimVar(RtUString::UstrMakeUnique("pref"), RtFloat3{0, 1, 0}, &p3),
              k_RixSCVarying);
    EXPECT_EQ(p3[1].y, 5.f);
    EXPECT_EQ(
        ctx->GetPrimVar(RtUString::UstrMakeUnique("PxrFractalizerState"), RtFloat3{0, 1, 0}, &p3),
        k_RixSCInvalidDetail);
    EXPECT_EQ(p3[1].y, 1.f) << "absent: the fill value at every point";
    const float* f = nullptr;
    EXPECT_EQ(ctx->GetPrimVar(RtUString::UstrMakeUnique("weight"), 0.f, &f), k_RixSCVarying);
    EXPECT_EQ(f[1], 8.f);
    const RtFloat2* st = nullptr;
    const float* stRadius = nullptr;
    EXPECT_EQ(ctx->GetPrimVar(Rix::k_st, RtFloat2{0, 0}, &st, &stRadius), k_RixSCVarying);
    EXPECT_EQ(st[0].y, 0.25f);
    EXPECT_EQ(stRadius[0], 0.01f);
    const RtFloat3* P = nullptr;
    ctx->GetBuiltinVar(RixShadingContext::k_P, &P);
    EXPECT_EQ(P[0].z, 2.f);
}

TEST(Transform, BetweenCurrentObjectWorldAndNamedSpaces) {
    Probe probe({{"testProbe", "p", {}}}, {{1, 2, 3}});
    probe.spaces.set("object", Matrix4::translate(10, 0, 0) * Matrix4::scale(2, 2, 2));
    probe.spaces.set("shader", Matrix4::translate(0, 5, 0));
    RixShadingContext* ctx = probe.context("p");
    struct Case {
        RtUString from, to;
        RixShadingContext::TransformInterpretation interp;
        RtFloat3 expected;
        float radius;
    };
    const RtUString shader = RtUString::UstrMakeUnique("shader");
    const Case cases[] = {
        {Rix::k_current, Rix::k_object, RixShadingContext::k_AsPoints, {-4.5f, 1, 1.5f}, 0.5f},
        {Rix::k_object, Rix::k_world, RixShadingContext::k_AsPoints, {12, 4, 6}, 2.f},
        {Rix::k_current, Rix::k_object, RixShadingContext::k_AsVectors, {0.5f, 1, 1.5f}, 0.5f},
        {Rix::k_world, shader, RixShadingContext::k_AsPoints, {1, -3, 3}, 1.f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from.CStr() << " to " << c.to.CStr());
        RtFloat3 v{1, 2, 3};
        float r = 1.f;
        EXPECT_EQ(ctx->Transform(c.interp, c.from, c.to, &v, &r), 0);
        EXPECT_NEAR(v.x, c.expected.x, 1e-5f);
        EXPECT_NEAR(v.y, c.expected.y, 1e-5f);
        EXPECT_NEAR(v.z, c.expected.z, 1e-5f);
        EXPECT_NEAR(r, c.radius, 1e-6f);
    }
    RtFloat3 v{1, 2, 3};
    EXPECT_NE(ctx->Transform(RixShadingContext::k_AsPoints, Rix::k_current,
                             RtUString::UstrMakeUnique("nowhere"), &v, nullptr),
              0);
    EXPECT_EQ(v.x, 1.f) << "an unknown space leaves the values alone";
}

TEST(BatchMemory, AlignedSeparateAndReleasedWithTheBatch) {
    Arena arena(256);
    void* a = arena.allocate(3);
    void* b = arena.allocate(1000);  // larger than a chunk
    void* c = arena.allocate(12);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a) % 16, 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(c) % 16, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_EQ(arena.allocate(0), nullptr);
    arena.reset();
    EXPECT_EQ(arena.bytesInUse(), 0u);
    EXPECT_EQ(arena.allocate(3), a) << "memory is reused by the next batch";

    Probe probe(std::vector<NodeSpec>{{"testProbe", "p", {}}});
    RixShadingContext* ctx = probe.context("p");
    EXPECT_EQ(ctx->AllocateBatchMemory(SIZE_MAX / 2, 16), nullptr)
        << "overflowing sizes are refused";
}

TEST(Messages, RepeatsAreCollapsedWithACount) {
    MessageLog log;
    std::vector<std::string> lines;
    log.setSink([&](const std::string& l) { lines.push_back(l); });
    for (int k = 0; k < 5; ++k) log.LogMessage("node %s: index %d out of range", "sw", 3);
    log.LogMessage("another\n");
    EXPECT_EQ(lines, (std::vector<std::string>{"node sw: index 3 out of range", "another"}));
    log.flush();
    EXPECT_EQ(lines.back(), "node sw: index 3 out of range (repeated 5 times)");
}

TEST(RenderState, UserOptionsReplaceThePresetDefault) {
    RenderState rs;
    rs.setInt("user:texturemipbias", 2);
    rs.setFloat("user:maxtextureresolution", 512.f);
    int bias = 0;
    float res = 0.f;
    RixRenderState::Type type;
    int count = 0;
    EXPECT_EQ(
        rs.QueryOption(RtUString::UstrMakeUnique("user:texturemipbias"), &bias, 4, &type, &count),
        0);
    EXPECT_EQ(bias, 2);
    EXPECT_EQ(type, RixRenderState::k_Integer);
    EXPECT_EQ(rs.QueryOption(RtUString::UstrMakeUnique("user:maxtextureresolution"), &res, 4, &type,
                             &count),
              0);
    EXPECT_EQ(res, 512.f);
    int untouched = 7;
    EXPECT_NE(rs.QueryOption(RtUString::UstrMakeUnique("user:unset"), &untouched, 4, &type, &count),
              0);
    EXPECT_EQ(untouched, 7);
}

TEST(Threads, ANodeObjectServesConcurrentBatches) {
    auto net = test::makeNetwork(
        {{"testManifold", "m", {test::floatParam("scale", {7.3})}},
         {"qnGrayCells", "g", {test::reference("struct", "manifold", {"m:result"})}}});
    const auto P = test::gridPoints(100, 3.f);
    RunOptions one, many;
    one.threads = 1;
    many.threads = 8;
    one.batchSize = many.batchSize = 100;
    const auto a = test::evaluate(*net, {"g:resultRGB"}, P, one);
    const auto b = test::evaluate(*net, {"g:resultRGB"}, P, many);
    EXPECT_EQ(a, b);
}

TEST(Threads, AFailingNodeStopsTheRun) {
    auto net = test::makeNetwork({{"testProbe", "bad", {test::intParam("status", {3})}}});
    const Spaces spaces;
    const EvaluationPlan plan(*net, {net->output("bad:resultF")}, spaces);
    std::atomic<int> stored{0};
    RunOptions options;
    options.threads = 2;
    options.batchSize = 10;
    const RunResult r = runBatches(
        plan, 1000, [](int, int, BatchPoints&) {},
        [&](int, int, const std::vector<const void*>&) { ++stored; }, options);
    ASSERT_TRUE(r.failure);
    EXPECT_EQ(r.failure.status, 3);
    EXPECT_EQ(net->node(r.failure.node).handle, "bad");
    EXPECT_EQ(stored, 0);
}

TEST(Threads, AnExceptionInAWorkerReachesTheCaller) {
    auto net = test::makeNetwork({{"qnGrayCells", "g", {}}});
    const Spaces spaces;
    const EvaluationPlan plan(*net, {net->output("g:resultF")}, spaces);
    RunOptions options;
    options.threads = 2;
    options.batchSize = 10;
    EXPECT_THROW(runBatches(
                     plan, 1000,
                     [](int begin, int, BatchPoints&) {
                         if (begin == 500) throw std::runtime_error("cannot fill");
                     },
                     [](int, int, const std::vector<const void*>&) {}, options),
                 std::runtime_error);
}
