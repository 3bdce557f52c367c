// The tessera command, run as a user runs it: the built binary, real files, exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <OpenImageIO/imageio.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shade_functions.h"

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A scratch folder per test, removed afterwards.
class Cli : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              (std::string("tessera-cli-") + info->name() + "-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    }

    // Runs tessera, stdin from text; with the test fixtures on the plug-in path unless the
    // command must see its arguments exactly as given.
    Result run(const std::string& args, const std::string& input = "", bool fixtures = true) {
        const fs::path in = write(".stdin", input), out = dir / ".stdout", err = dir / ".stderr";
        const std::string pluginPath =
            fixtures ? std::string(" --plugin-path '") + TESSERA_TEST_FIXTURE_DIR + "'" : "";
        const std::string cmd = std::string("cd '") + dir.string() + "' && '" + TESSERA_BINARY +
                                "' " + args + pluginPath + " < '" + in.string() + "' > '" +
                                out.string() + "' 2> '" + err.string() + "'";
        Result r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(out), r.err = slurp(err);
        return r;
    }

    // The files in the scratch folder other than the ones this fixture makes.
    std::vector<std::string> userFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string()[0] != '.' && e.path().extension() != ".rib" &&
                e.path().extension() != ".csv")
                names.push_back(e.path().filename().string());
        return names;
    }

    fs::path dir;
};

struct Image {
    int width = 0, height = 0, channels = 0;
    std::vector<float> pixels;
};

Image readImage(const fs::path& path) {
    Image img;
    auto in = OIIO::ImageInput::open(path.string());
    if (!in) return img;
    const OIIO::ImageSpec& spec = in->spec();
    img.width = spec.width, img.height = spec.height, img.channels = spec.nchannels;
    img.pixels.resize(static_cast<std::size_t>(img.width * img.height * img.channels));
    in->read_image(0, 0, 0, img.channels, OIIO::TypeDesc::FLOAT, img.pixels.data());
    return img;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

const char* kGrayCells =
    "# cells\nPattern \"qnGrayCells\" \"g\" \"float frequency\" [6] \"int seed\" 2\n";

}  // namespace

TEST_F(Cli, RenderWritesReadableImagesOfTheRequestedSize) {
    write("net.rib", kGrayCells);
    for (const char* ext : {"png", "exr", "tif", "jpg"}) {
        SCOPED_TRACE(ext);
        const std::string name = std::string("img.") + ext;
        const Result r = run("render net.rib -o " + name + " --size 40x24 --samples 2");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("40x24"), std::string::npos) << "a summary line: " << r.err;
        const Image img = readImage(dir / name);
        ASSERT_EQ(img.width, 40);
        ASSERT_EQ(img.height, 24);
        ASSERT_EQ(img.channels, 3);
        float lo = 1, hi = 0;
        for (std::size_t p = 0; p < img.pixels.size(); p += 3) {
            if (std::string(ext) != "jpg") {  // a float output is grey
                ASSERT_EQ(img.pixels[p], img.pixels[p + 1]);
                ASSERT_EQ(img.pixels[p], img.pixels[p + 2]);
            }
            lo = std::min(lo, img.pixels[p]), hi = std::max(hi, img.pixels[p]);
        }
        EXPECT_LT(lo, hi) << "cells of different levels";
    }
}

TEST_F(Cli, RenderIsTheSameOnAnyNumberOfThreadsAndMatchesEval) {
    write("net.rib", kGrayCells);
    ASSERT_EQ(run("render net.rib -o one.exr --size 64x48 --threads 1 --batch 100").status, 0);
    ASSERT_EQ(run("render net.rib -o two.exr --size 64x48 --threads 2 --batch 100").status, 0);
    const Image one = readImage(dir / "one.exr"), two = readImage(dir / "two.exr");
    ASSERT_EQ(one.pixels.size(), 64u * 48u * 3u);
    EXPECT_EQ(one.pixels, two.pixels);

    // Pixel (i, j) of the plane view is the point ((i + 0.5) / 64, 1 - (j + 0.5) / 48, 0).
    const tessera::host::ShadeFunctions sf;
    for (int j = 0; j < 48; j += 7)
        for (int i = 0; i < 64; i += 5) {
            const RtPoint3 p{6 * ((i + 0.5f) / 64), 6 * (1 - (j + 0.5f) / 48), 0};
            ASSERT_EQ(one.pixels[static_cast<std::size_t>((j * 64 + i) * 3)],
                      sf.CellNoise(&p, 2.f));
        }
}

TEST_F(Cli, RenderOfASphereAndOfAChosenOutput) {
    write("net.rib",
          std::string(kGrayCells) + "Pattern \"testManifold\" \"m\" \"float scale\" 0.5\n");
    ASSERT_EQ(run("render net.rib -o s.png --size 32x32 --view sphere --output g:resultRGB").status,
              0);
    const Image s = readImage(dir / "s.png");
    EXPECT_EQ(s.pixels[0], 0.f) << "outside the sphere";
    EXPECT_GT(s.pixels[(16 * 32 + 16) * 3], 0.f) << "on the sphere";
    // The default output is the last Pattern's first output; a manifold shows its Q.
    ASSERT_EQ(run("render net.rib -o q.exr --size 8x8 --output m:result").status, 0);
    const Image q = readImage(dir / "q.exr");
    EXPECT_FLOAT_EQ(q.pixels[0], 0.5f * (0.5f / 8));
    EXPECT_FLOAT_EQ(q.pixels[1], 0.5f * (1 - 0.5f / 8));
}

TEST_F(Cli, EvalPrintsOneRowPerPointThatRoundTrips) {
    write("net.rib", kGrayCells);
    const std::string points = "x, y, z\n0.1,0.2,0.3\n\n-1.5,2.25,7\n1e-3,4,5\n";
    const Result r = run("eval net.rib --output g:resultF --output g:resultRGB", points);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "g:resultF,g:resultRGB.r,g:resultRGB.g,g:resultRGB.b");
    const tessera::host::ShadeFunctions sf;
    const RtPoint3 P[3] = {{0.1f, 0.2f, 0.3f}, {-1.5f, 2.25f, 7.f}, {1e-3f, 4.f, 5.f}};
    for (int k = 0; k < 3; ++k) {
        const RtPoint3 p{P[k].x * 6, P[k].y * 6, P[k].z * 6};
        const float expected = sf.CellNoise(&p, 2.f);
        float f[4];
        ASSERT_EQ(std::sscanf(rows[static_cast<std::size_t>(k + 1)].c_str(), "%f,%f,%f,%f", &f[0],
                              &f[1], &f[2], &f[3]),
                  4);
        for (float v : f) EXPECT_EQ(v, expected) << "9 digits give the float back exactly";
    }
    // The same points from a file.
    write("points.csv", points);
    EXPECT_EQ(run("eval net.rib --output g:resultF --output g:resultRGB --points points.csv").out,
              r.out);
}

TEST_F(Cli, EvalExpandsStructsAndReadsPrimitiveVariables) {
    write("net.rib",
          "Pattern \"testManifold\" \"m\" \"float scale\" [2] \"point offset\" [1 2 3]\n"
          "Pattern \"testProbe\" \"p\" \"string primvar\" \"weight\"\n");
    const Result r =
        run("eval net.rib --output m:result --output p:resultF",
            "x,y,z,radius,pv:weight,pv:pref.x,pv:pref.y,pv:pref.z\n1,2,3,0.5,10,0,0,0\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "m:Q.x,m:Q.y,m:Q.z,m:Qradius,p:resultF\n3,6,9,1,10.25\n");
}

TEST_F(Cli, NetworkFileSyntax) {
    write("net.rib",
          "# options and escapes\n"
          "Option \"searchpath\" \"string rixplugin\" [\"nowhere:@\"]\n"
          "Option \"user\" \"int texturemipbias\" [1]\n"
          "Option \"limits\" \"int threads\" [4]\n"
          "Pattern \"testProbe\" \"a\\\"b\"  # a handle with a quote\n"
          "  \"color tint\" [ 0.5 .25 -1e-1 ]\n"
          "Pattern \"testProbe\" \"p\" \"reference float value\" \"a\\\"b:resultF\" \"string "
          "primvar\" [\"none\"]\n");
    const Result r =
        run("eval net.rib --output p:resultF --output a\\\"b:resultRGB", "x,y,z\n0,0,0\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out)[1], "-1.75,0.5,0.25,-0.100000001")
        << "p = -1 (no primvar) + a = -1 + 0.25";
    EXPECT_NE(r.err.find(
                  "net.rib:4:17: option \"limits\" \"threads\" does not apply here and is ignored"),
              std::string::npos)
        << r.err;
}

TEST_F(Cli, NodesAndInfo) {
    const Result nodes = run("nodes");
    ASSERT_EQ(nodes.status, 0);
    const auto names = lines(nodes.out);
    EXPECT_NE(std::find(names.begin(), names.end(), "qnGrayCells"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "testProbe"), names.end());

    const Result json = run("info qnGrayCells --json");
    ASSERT_EQ(json.status, 0);
    EXPECT_EQ(json.out,
              "{\"node\": \"qnGrayCells\", \"params\": ["
              "{\"id\": 0, \"name\": \"resultF\", \"type\": \"float\", \"code\": 3, \"access\": "
              "\"output\", \"arrayLength\": -1, \"structName\": \"\"}, "
              "{\"id\": 1, \"name\": \"resultRGB\", \"type\": \"color\", \"code\": 6, \"access\": "
              "\"output\", \"arrayLength\": -1, \"structName\": \"\"}, "
              "{\"id\": 2, \"name\": \"seed\", \"type\": \"int\", \"code\": 2, \"access\": "
              "\"input\", \"arrayLength\": -1, \"structName\": \"\"}, "
              "{\"id\": 3, \"name\": \"frequency\", \"type\": \"float\", \"code\": 3, \"access\": "
              "\"input\", \"arrayLength\": -1, \"structName\": \"\"}, "
              "{\"id\": 4, \"name\": \"manifold\", \"type\": \"struct-begin\", \"code\": 14, "
              "\"access\": \"input\", \"arrayLength\": -1, \"structName\": \"PxrManifold\"}, "
              "{\"id\": 5, \"name\": \"Q\", \"type\": \"point\", \"code\": 7, \"access\": "
              "\"input\", \"arrayLength\": -1, \"structName\": \"\"}, "
              "{\"id\": 6, \"name\": \"Qradius\", \"type\": \"float\", \"code\": 3, \"access\": "
              "\"input\", \"arrayLength\": -1, \"structName\": \"\"}, "
              "{\"id\": 7, \"name\": \"manifold\", \"type\": \"struct-end\", \"code\": 15, "
              "\"access\": \"input\", \"arrayLength\": -1, \"structName\": \"PxrManifold\"}]}\n");
    const Result text = run("info testProbe");
    EXPECT_NE(text.out.find("colors"), std::string::npos);
    EXPECT_NE(text.out.find("    0  colors"), std::string::npos)
        << "the open array's length: " << text.out;
}

TEST_F(Cli, ANodeReturningAFailureStopsTheRunWithStatus3) {
    write("net.rib", "Pattern \"testProbe\" \"bad\" \"int status\" [4]\n");
    const Result r = run("render net.rib -o x.png --size 64x64");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("tessera: node 'bad' (testProbe) returned status 4"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("testProbe: failing with status 4"), std::string::npos)
        << "the node's own message";
    EXPECT_TRUE(userFiles().empty()) << "no image is written";
    EXPECT_EQ(run("eval net.rib --output bad:resultF", "x,y,z\n0,0,0\n").status, 3);
}

TEST_F(Cli, BadInputGivesOneLineAndNoOutputFile) {
    struct Case {
        const char* what;
        const char* network;  // written to net.rib when not null
        const char* args;
        const char* input;
        int status;
        const char* message;
    };
    const char* ok = kGrayCells;
    const Case cases[] = {
        {"unknown command", ok, "draw net.rib", "", 2, "unknown command 'draw'"},
        {"unknown option", ok, "render net.rib -o a.png --colour red", "", 2,
         "unknown option '--colour'"},
        {"missing value", ok, "render net.rib -o a.png --size", "", 2, "--size expects 1 value"},
        {"malformed size", ok, "render net.rib -o a.png --size 12by4", "", 2,
         "--size expects WIDTHxHEIGHT"},
        {"zero size", ok, "render net.rib -o a.png --size 0x4", "", 2,
         "--size expects a whole number"},
        {"malformed output", ok, "render net.rib -o a.png --output g", "", 2,
         "--output expects HANDLE:PARAM"},
        {"bad threads", ok, "render net.rib -o a.png --threads -2", "", 2,
         "--threads expects a whole number"},
        {"no network", nullptr, "render missing.rib -o a.png", "", 1,
         "missing.rib: cannot read the network file"},
        {"unterminated string", "Pattern \"qnGrayCells\" \"g\n", "render net.rib -o a.png", "", 1,
         "net.rib:1:23: unterminated string"},
        {"missing bracket",
         "Pattern \"qnGrayCells\" \"g\" \"float frequency\" [2\nPattern \"qnGrayCells\" \"h\"\n",
         "render net.rib -o a.png", "", 1,
         "net.rib:2:1: expected ']' to close the '[' at net.rib:1:45"},
        {"value count", "Pattern \"qnGrayCells\" \"g\" \"float frequency\" [2 3]\n",
         "render net.rib -o a.png", "", 1,
         "net.rib:1:27: node 'g' (qnGrayCells): parameter 'frequency': expected 1 number for "
         "float, got 2 values"},
        {"unknown statement", "Shader \"x\"\n", "render net.rib -o a.png", "", 1,
         "net.rib:1:1: unknown statement 'Shader'"},
        {"not a number", "Pattern \"qnGrayCells\" \"g\" \"float frequency\" [2x]\n",
         "render net.rib -o a.png", "", 1, "'2x' is not a number"},
        {"unknown node type", "Pattern \"qnGreyCells\" \"g\"\n", "render net.rib -o a.png", "", 1,
         "net.rib:1:1: unknown node type 'qnGreyCells' (no qnGreyCells.so in "},
        {"unknown parameter", "Pattern \"qnGrayCells\" \"g\" \"float frequncy\" 2\n",
         "render net.rib -o a.png", "", 1,
         "net.rib:1:27: node 'g' (qnGrayCells): unknown parameter 'frequncy' (did you mean "
         "'frequency'?)"},
        {"type mismatch", "Pattern \"qnGrayCells\" \"g\" \"float seed\" 2\n",
         "render net.rib -o a.png", "", 1, "parameter 'seed' is int, not float"},
        {"missing handle",
         "Pattern \"qnGrayCells\" \"g\" \"reference struct manifold\" [\"m:result\"]\n",
         "render net.rib -o a.png", "", 1,
         "net.rib:1:27: node 'g' (qnGrayCells): connection of 'manifold' to 'm:result': no node "
         "has handle 'm'"},
        {"missing output",
         "Pattern \"qnGrayCells\" \"m\"\nPattern \"qnGrayCells\" \"g\" \"reference float "
         "frequency\" [\"m:result\"]\n",
         "render net.rib -o a.png", "", 1, "unknown output 'result' (did you mean 'resultF'?)"},
        {"cycle",
         "Pattern \"qnGrayCells\" \"a\" \"reference float frequency\" \"b:resultF\"\n"
         "Pattern \"qnGrayCells\" \"b\" \"reference float frequency\" \"a:resultF\"\n",
         "render net.rib -o a.png", "", 1, "net.rib: the network has a cycle: a <- b <- a"},
        {"unknown render output", ok, "render net.rib -o a.png --output g:resultQ", "", 1,
         "unknown output 'resultQ'"},
        {"unwritable image", ok, "render net.rib -o nofolder/a.png", "", 1,
         "cannot write 'nofolder/a.png': no folder 'nofolder'"},
        {"unknown image format", ok, "render net.rib -o a.bmp", "", 1,
         "cannot write 'a.bmp': expected a .exr, .png, .jpg or .tif"},
        {"missing column", ok, "eval net.rib --output g:resultF", "x,y\n1,2\n", 1,
         "<stdin>:1: missing column 'z'"},
        {"not a number in csv", ok, "eval net.rib --output g:resultF", "x,y,z\n1,2,3\n1,two,3\n", 1,
         "<stdin>:3: column 'y': expected a number, got 'two'"},
        {"ragged row", ok, "eval net.rib --output g:resultF", "x,y,z\n1,2\n", 1,
         "<stdin>:2: 2 values, expected 3"},
        {"unknown column", ok, "eval net.rib --output g:resultF", "x,y,z,w\n1,2,3,4\n", 1,
         "unknown column 'w'"},
        {"partial triple", ok, "eval net.rib --output g:resultF", "x,y,z,pv:pref.x\n1,2,3,4\n", 1,
         "needs the columns pv:pref.x, .y and .z"},
        {"eval without output", ok, "eval net.rib", "", 2, "expected at least one --output"},
        {"missing points file", ok, "eval net.rib --output g:resultF --points nope.csv", "", 1,
         "nope.csv: cannot read the points file"},
        {"info of unknown node", nullptr, "info qnNothing", "", 1, "unknown node type 'qnNothing'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(dir / "net.rib");
        if (c.network) write("net.rib", c.network);
        const Result r = run(c.args, c.input, std::string(c.args).rfind("draw", 0) != 0);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_TRUE(userFiles().empty()) << "a file was left behind";
    }
}

TEST_F(Cli, FractalizerOverAConstantColour) {
    write("net.rib",
          "Pattern \"testProbe\" \"const\" \"color tint\" [0.5 0.5 0.5]\n"
          "Pattern \"qnFractalizer\" \"frac\" \"reference color input\" [\"const:resultRGB\"]\n");
    const Result r = run("eval net.rib --output frac:resultRGB", "x,y,z\n0,0,0\n1,2,3\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "frac:resultRGB.r,frac:resultRGB.g,frac:resultRGB.b\n"
              "0.357142866,0.357142866,0.357142866\n0.357142866,0.357142866,0.357142866\n");
    write("lonely.rib", "Pattern \"qnFractalizer\" \"frac\"\n");
    const Result lonely = run("eval lonely.rib --output frac:resultRGB", "x,y,z\n0,0,0\n");
    EXPECT_EQ(lonely.status, 3);
    EXPECT_NE(lonely.err.find("node 'frac' (qnFractalizer) returned status -1"), std::string::npos)
        << lonely.err;
}

TEST_F(Cli, EachConditionExampleRoutesItsBranch) {
    // One switch per text; inputA is the x of each point, so each row tests one value.
    struct Example {
        const char* text;
        std::vector<std::pair<float, bool>> at;
    };
    const Example examples[] = {
        {"<0.5", {{0.4f, true}, {0.5f, false}}},
        {"<=0.5", {{0.5f, true}}},
        {"==0.25", {{0.25f, true}, {0.5f, false}}},
        {"!=0.25", {{0.25f, false}, {0.5f, true}}},
        {" < 0.5 ", {{0.4f, true}, {0.5f, false}}},
        {">0.2&&<0.8", {{0.1f, true}}},
        {"(>0.2&&<0.8)", {{0.1f, false}, {0.5f, true}}},
        {"<0.1||>0.9", {{0.05f, true}, {0.95f, true}, {0.5f, false}}},
        {"(<0.1)||(>0.9)", {{0.05f, true}, {0.95f, true}, {0.5f, false}}},
        {"(>0.2)&&(<0.8)", {{0.1f, true}, {0.9f, false}}},
        {"&&(>0.2)<0.8", {{0.1f, false}, {0.5f, true}, {0.9f, false}}},
        {"0.5", {{0.5f, false}}},
        {"", {{0.f, false}}},
        {"(>0.2&&<0.8", {{0.5f, true}}},
        {"<abc", {{0.f, false}}},
        {">1e99", {{1e30f, false}}},
        {"&&(&&(", {{0.f, false}}},
    };
    std::string rib =
        "Pattern \"testManifold\" \"m\"\nPattern \"testProbe\" \"yes\" \"color tint\" [1 1 1]\n";
    std::string outputs, points = "x,y,z\n";
    const std::vector<float> xs = {0.f, 0.05f, 0.1f, 0.25f, 0.4f, 0.5f, 0.9f, 0.95f, 1e30f};
    for (float x : xs) points += std::to_string(x) + ",0,0\n";
    for (std::size_t k = 0; k < std::size(examples); ++k) {
        std::string text;
        for (char ch : std::string(examples[k].text))
            text += ch == '"' ? std::string("\\\"") : std::string(1, ch);
        rib += "Pattern \"qnConditionalSwitchC\" \"s" + std::to_string(k) +
               "\" \"reference float inputA\" \"m:resultX\" \"int condition\" 6 \"string "
               "conditionCustomInput\" \"" +
               text + "\" \"reference color conditionTrueOutput\" \"yes:resultRGB\"\n";
        outputs += " --output s" + std::to_string(k) + ":resultR";
    }
    write("net.rib", rib);
    write("points.csv", points);
    const Result r = run("eval net.rib --points points.csv" + outputs);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), xs.size() + 1);
    for (std::size_t k = 0; k < std::size(examples); ++k)
        for (const auto& [x, expected] : examples[k].at) {
            const std::size_t row =
                static_cast<std::size_t>(std::find(xs.begin(), xs.end(), x) - xs.begin()) + 1;
            std::vector<std::string> cells;
            std::stringstream ss(rows[row]);
            for (std::string c; std::getline(ss, c, ',');) cells.push_back(c);
            EXPECT_EQ(cells[k], expected ? "1" : "0") << '"' << examples[k].text << "\" at " << x;
        }
}

TEST_F(Cli, ExamplesMatchTheirReferenceImages) {
    // Every example, rendered as scripts/update-references.sh renders it, against the stored image.
    const fs::path examples = fs::path(TESSERA_SOURCE_DIR) / "examples";
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(examples)) {
        if (entry.path().extension() != ".rib") continue;
        const std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        std::string extra;
        std::istringstream text(slurp(entry.path()));
        for (std::string line; std::getline(text, line);)
            if (line.rfind("# render:", 0) == 0 && extra.empty()) extra = line.substr(9);
        const Result r =
            run("render '" + entry.path().string() + "' -o " + name + ".exr --size 48x48 " + extra,
                "", false);
        ASSERT_EQ(r.status, 0) << r.err;
        const Image got = readImage(dir / (name + ".exr"));
        const Image want =
            readImage(fs::path(TESSERA_SOURCE_DIR) / "tests/reference" / (name + ".exr"));
        ASSERT_EQ(got.pixels.size(), want.pixels.size())
            << "no reference image: run scripts/update-references.sh";
        float worst = 0.f;
        for (std::size_t k = 0; k < got.pixels.size(); ++k)
            worst = std::max(worst, std::fabs(got.pixels[k] - want.pixels[k]));
        EXPECT_LE(worst, 1e-5f);
        ++compared;
    }
    EXPECT_GE(compared, 10);
}
