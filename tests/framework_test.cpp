// The plug-in framework as the host sees it: entry points, lifecycle, parameter tables,
// output records, numeric functions.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>

#include "numeric.h"
#include "param_decl.h"
#include "support.h"

using namespace tessera;
using namespace tessera::host;
namespace fs = std::filesystem;

namespace {

// Opens a private copy of a plug-in, so that its statics (the parameter table) are fresh.
struct FreshLibrary {
    explicit FreshLibrary(const std::string& type) {
        const fs::path src = fs::path(TESSERA_TEST_PLUGIN_DIR) / (type + ".so");
        copy = fs::temp_directory_path() /
               ("tessera-fresh-" + std::to_string(::getpid()) + "-" + type + ".so");
        fs::copy_file(src, copy, fs::copy_options::overwrite_existing);
        handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        create = reinterpret_cast<CreateRixPatternFunc>(dlsym(handle, "CreateRixPattern"));
        destroy = reinterpret_cast<DestroyRixPatternFunc>(dlsym(handle, "DestroyRixPattern"));
    }
    ~FreshLibrary() { fs::remove(copy); }  // stays loaded: its table lives in it
    fs::path copy;
    void* handle = nullptr;
    CreateRixPatternFunc create = nullptr;
    DestroyRixPatternFunc destroy = nullptr;
};

}  // namespace

TEST(Lifecycle, CreateAndDestroyWithoutInitTouchesNoService) {
    FreshLibrary lib("qnGrayCells");
    ASSERT_TRUE(lib.create && lib.destroy);
    RixPattern* p = lib.create(nullptr);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->GetInterfaceVersion(), 224);
    EXPECT_EQ(p->GetPluginKind(), 1);
    lib.destroy(p);
    lib.destroy(nullptr);  // does nothing
}

TEST(Lifecycle, FixedAnswersOfTheUnusedOperations) {
    FreshLibrary lib("qnGrayCells");
    RixPattern* p = lib.create(nullptr);
    Host& host = test::sharedHost();
    EXPECT_EQ(p->Init(host, RtUString()), 0);
    EXPECT_FALSE(p->Bake2dOutput(nullptr, nullptr, nullptr));
    EXPECT_FALSE(p->Bake3dOutput(nullptr, nullptr, nullptr));
    EXPECT_EQ(p->CreateInstanceData(host, RtUString(), nullptr, nullptr), -1);
    p->Synchronize(host, 0, nullptr);
    p->Finalize(host);
    lib.destroy(p);
}

TEST(Lifecycle, InitFailsWhenAServiceIsMissing) {
    for (RixInterfaceId missing : {k_RixMessages, k_RixShadeFunctions}) {
        Host host(test::testSearchPath());
        host.withhold(missing);
        RixPattern* p = host.plugins().load("qnGrayCells")->create()(nullptr);
        EXPECT_EQ(p->Init(host, RtUString()), 1) << "service " << missing;
        host.plugins().load("qnGrayCells")->destroy()(p);
    }
}

TEST(ParamTable, GrayCellsShapeAndIds) {
    FreshLibrary lib("qnGrayCells");
    RixPattern* p = lib.create(nullptr);
    const RixSCParamInfo* t = p->GetParamTable();
    struct Row {
        const char* name;
        const char* structType;
        RixSCType type;
        RixSCAccess access;
    };
    const Row expected[] = {
        {"resultF", "", k_RixSCFloat, k_RixSCOutput},
        {"resultRGB", "", k_RixSCColor, k_RixSCOutput},
        {"seed", "", k_RixSCInteger, k_RixSCInput},
        {"frequency", "", k_RixSCFloat, k_RixSCInput},
        {"manifold", "PxrManifold", k_RixSCStructBegin, k_RixSCInput},
        {"Q", "", k_RixSCPoint, k_RixSCInput},
        {"Qradius", "", k_RixSCFloat, k_RixSCInput},
        {"manifold", "PxrManifold", k_RixSCStructEnd, k_RixSCInput},
    };
    for (int id = 0; id < 8; ++id) {
        SCOPED_TRACE(id);
        EXPECT_STREQ(t[id].name.CStr(), expected[id].name);
        EXPECT_STREQ(t[id].customtype.CStr(), expected[id].structType);
        EXPECT_EQ(t[id].type, expected[id].type);
        EXPECT_EQ(t[id].access, expected[id].access);
        EXPECT_EQ(t[id].arraySize, -1);
    }
    EXPECT_TRUE(t[8].name.Empty());
    EXPECT_TRUE(t[8].customtype.Empty());
    EXPECT_EQ(t[8].type, k_RixSCInvalidType);
    EXPECT_EQ(t[8].access, k_RixSCInvalidAccess);
    EXPECT_EQ(t[8].arraySize, -1);
    EXPECT_EQ(p->GetParamTable(), t) << "the same table on every call";
    EXPECT_EQ(t[0].name, RtUString::UstrMakeUnique("resultF")) << "names are host unique strings";
    lib.destroy(p);
}

TEST(ParamTable, ConcurrentFirstCallsGetOneCompleteTable) {
    FreshLibrary lib("qnGrayCells");
    constexpr int kThreads = 8;
    RixPattern* objects[kThreads];
    for (auto& o : objects) o = lib.create(nullptr);
    const RixSCParamInfo* seen[kThreads] = {};
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k)
        threads.emplace_back([&, k] {
            ++ready;
            while (ready < kThreads) {
            }
            seen[k] = objects[k]->GetParamTable();
        });
    for (auto& t : threads) t.join();
    for (int k = 0; k < kThreads; ++k) {
        ASSERT_EQ(seen[k], seen[0]);
        EXPECT_EQ(validateParamTable(seen[k], "qnGrayCells"), 8);
    }
    for (auto& o : objects) lib.destroy(o);
}

TEST(ParamTable, HostRejectsMalformedTables) {
    const RtUString a = RtUString::UstrMakeUnique("a"), m = RtUString::UstrMakeUnique("m"),
                    pm = RtUString::UstrMakeUnique("PxrManifold");
    const RixSCParamInfo end{};
    struct Case {
        const char* what;
        std::vector<RixSCParamInfo> table;
        const char* message;
    };
    const Case cases[] = {
        {"output after input",
         {{a, {}, k_RixSCFloat, k_RixSCInput, -1}, {m, {}, k_RixSCFloat, k_RixSCOutput, -1}, end},
         "follows an input"},
        {"unknown type", {{a, {}, RixSCType(5), k_RixSCInput, -1}, end}, "unknown type code 5"},
        {"bad access", {{a, {}, k_RixSCFloat, RixSCAccess(7), -1}, end}, "access 7"},
        {"unclosed struct", {{m, pm, k_RixSCStructBegin, k_RixSCInput, -1}, end}, "never closed"},
        {"end without begin", {{m, pm, k_RixSCStructEnd, k_RixSCInput, -1}, end}, "does not close"},
        {"nameless entry", {{RtUString(), {}, k_RixSCFloat, k_RixSCInput, -1}, end}, "has no name"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            validateParamTable(c.table.data(), "lib.so");
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("lib.so", 0), 0u) << e.what();
        }
    }
    EXPECT_THROW(validateParamTable(nullptr, "lib.so"), Error);
}

TEST(ParamDecl, IdsAndShapeAreCheckedAtCompileTime) {
    constexpr auto decl =
        params(outFloat("resultF"), manifoldOutput(), inInt("seed", 3), manifoldInput());
    static_assert(decl.size() == 10);
    static_assert(paramId(decl, "seed") == 5);
    static_assert(paramId(decl, "manifold") == 6);
    static_assert(countLeadingOutputs(decl) == 5);
    static_assert(wellFormed(decl));
    static_assert(!wellFormed(params(inInt("a", 0), outFloat("b"))));
    SUCCEED();
}

// --- output records, through the real runtime -----------------------------------------------

TEST(OutputRecords, ZeroPointBatchStillHandsBackTheRecords) {
    auto net = test::makeNetwork({{"qnGrayCells", "g", {}}});
    test::NodeCall node(*net, "g:resultF", {});
    EXPECT_EQ(node.call("g"), 0);
    ASSERT_EQ(node.numOutputs, 2);
    const OutputSpec* out = node.outputs;
    ASSERT_NE(out, nullptr);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(out[k].paramId, k);
        EXPECT_EQ(out[k].value, nullptr) << "no array for zero points";
    }
}

TEST(OutputRecords, ManifoldPolicyProducesComponentsOnlyWhenConsumed) {
    // resultY is consumed downstream; resultX and resultZ are not.
    auto net =
        test::makeNetwork({{"testManifold", "m", {}},
                           {"testProbe", "p", {test::reference("float", "value", {"m:resultY"})}}});
    test::NodeCall node(*net, "p:resultF", {{1, 2, 3}, {4, 5, 6}});
    ASSERT_EQ(node.call("m"), 0);
    ASSERT_EQ(node.numOutputs, 5);
    const OutputSpec* out = node.outputs;
    const int ids[5] = {0, 1, 2, 4, 5};
    const bool produced[5] = {false, true, false, true, true};
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(out[k].paramId, ids[k]);
        EXPECT_EQ(out[k].detail, produced[k] ? k_RixSCVarying : k_RixSCInvalidDetail);
        EXPECT_EQ(out[k].value != nullptr, produced[k]);
    }
    EXPECT_EQ(static_cast<float*>(out[1].value)[1], 5.f);
}

// --- numeric functions ----------------------------------------------------------------------

TEST(Numeric, StepsAndRamps) {
    struct Case {
        float e0, e1, x, smooth, lin;
    };
    const Case cases[] = {
        {0, 1, -1, 0, 0},
        {0, 1, 0, 0, 0},
        {0, 1, 0.5f, 0.5f, 0.5f},
        {0, 1, 0.25f, 0.15625f, 0.25f},
        {0, 1, 1, 1, 1},
        {0, 1, 2, 1, 1},
        {1, 0, 0.25f, 0.84375f, 0.75f},
        {1, 0, -1, 1, 1},
        {1, 0, 2, 0, 0},
        {0.5f, 0.5f, 0.4f, 0, 0},
        {0.5f, 0.5f, 0.5f, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.e0 << " " << c.e1 << " " << c.x);
        EXPECT_FLOAT_EQ(smoothstep(c.e0, c.e1, c.x), c.smooth);
        EXPECT_FLOAT_EQ(linstep(c.e0, c.e1, c.x), c.lin);
    }
    EXPECT_EQ(step(1.f, 0.5f), 0.f);
    EXPECT_EQ(step(1.f, 1.f), 1.f);
    EXPECT_FLOAT_EQ(luminance({1, 1, 1}), 1.f);
    EXPECT_FLOAT_EQ(radians(180.f), 3.1415926f);
    EXPECT_FLOAT_EQ(lerp(2.f, 4.f, 0.25f), 2.5f);
}

TEST(Numeric, TruncationToIntIsDefinedForEveryFloat) {
    struct Case {
        float x;
        int expected;
    };
    const Case cases[] = {{2.9f, 2},
                          {-2.9f, -2},
                          {0.f, 0},
                          {2147483520.f, 2147483520},
                          {-2147483648.f, INT_MIN},
                          {2147483648.f, INT_MIN},
                          {-3e9f, INT_MIN},
                          {NAN, INT_MIN},
                          {INFINITY, INT_MIN},
                          {-INFINITY, INT_MIN}};
    for (const Case& c : cases) EXPECT_EQ(truncToInt(c.x), c.expected) << c.x;
}
