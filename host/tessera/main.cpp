// tessera: previews, bakes and probes shading networks of pattern plug-ins without a renderer.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"

namespace {

const char* kUsage =
    "usage:\n"
    "  tessera render NET.rib -o IMAGE.{exr,png,tif,jpg} [--output HANDLE:PARAM] [--size WxH]\n"
    "                 [--samples N] [--threads N] [--batch N] [--view plane|sphere]\n"
    "                 [--window X0 Y0 X1 Y1] [--plugin-path DIR]\n"
    "  tessera eval   NET.rib --output HANDLE:PARAM [--output ...] [--points FILE.csv]\n"
    "                 [--threads N] [--batch N] [--plugin-path DIR]\n"
    "  tessera nodes  [--plugin-path DIR]\n"
    "  tessera info   NODE [--json] [--plugin-path DIR]\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace tessera::cli;
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "help")) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "render") return renderCommand(args);
        if (command == "eval") return evalCommand(args);
        if (command == "nodes") return nodesCommand(args);
        if (command == "info") return infoCommand(args);
        std::fprintf(stderr,
                     "tessera: unknown command '%s' (expected render, eval, nodes or info)\n",
                     command.c_str());
        return 2;
    } catch (const Failure& f) {
        std::fprintf(stderr, "tessera: %s\n", f.what());
        return f.code;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessera: %s\n", e.what());
        return 1;
    }
}
