// tessera eval: the values of outputs at given points, as CSV.
#include <cstdio>
#include <fstream>
#include <iostream>

#include "commands.h"
#include "points_csv.h"
#include "session.h"

namespace tessera::cli {

namespace {

// The CSV columns of one value of the given type.
std::vector<std::string> columnsOf(const host::OutputRef& ref) {
    if (ref.type == k_RixSCColor) return {ref.label + ".r", ref.label + ".g", ref.label + ".b"};
    if (host::componentsOf(ref.type) == 3)
        return {ref.label + ".x", ref.label + ".y", ref.label + ".z"};
    return {ref.label};
}

}  // namespace

int evalCommand(const std::vector<std::string>& args) {
    const ParsedArgs a = parseArgs("eval", args,
                                   {{"--output", 1, true},
                                    {"--points", 1, false},
                                    {"--threads", 1, false},
                                    {"--batch", 1, false},
                                    {"--plugin-path", 1, true}});
    if (a.positional.size() != 1) throw usage("eval: expected one network file");
    if (!a.has("--output")) throw usage("eval: expected at least one --output HANDLE:PARAM");
    host::RunOptions options;
    if (a.has("--threads"))
        options.threads = parsePositiveInt("--threads", a.value("--threads"), 1024);
    if (a.has("--batch"))
        options.batchSize = parsePositiveInt("--batch", a.value("--batch"), 1 << 20);
    const std::vector<std::string> labels = a.all("--output");
    for (const std::string& label : labels)
        if (label.find(':') == std::string::npos || label.front() == ':' || label.back() == ':')
            throw usage("--output expects HANDLE:PARAM, got '" + label + "'");

    const Session s = openSession(a.positional[0], a.all("--plugin-path"));
    std::vector<host::OutputRef> refs;
    for (const std::string& label : labels) {
        const RequestedOutput r = requestOutput(*s.network, label);
        refs.insert(refs.end(), r.refs.begin(), r.refs.end());
    }

    PointTable table;
    const std::string pointsPath = a.has("--points") ? a.value("--points") : "-";
    if (pointsPath == "-") {
        table = readPoints(std::cin, "<stdin>");
    } else {
        std::ifstream in(pointsPath);
        if (!in) throw badInput(pointsPath + ": cannot read the points file");
        table = readPoints(in, pointsPath);
    }

    const host::EvaluationPlan plan(*s.network, refs, s.spaces);
    std::vector<std::vector<float>> values(refs.size());
    for (std::size_t r = 0; r < refs.size(); ++r)
        values[r].assign(static_cast<std::size_t>(table.count) *
                             static_cast<std::size_t>(host::componentsOf(refs[r].type)),
                         0.f);
    const host::BatchPoints& all = table.points;
    const auto fill = [&](int begin, int count, host::BatchPoints& pts) {
        if (pts.primvars.size() != all.primvars.size()) {  // first batch of this thread
            for (const host::PrimVar& pv : all.primvars)
                pts.primvars.push_back({pv.name, pv.components, {}});
            pts.resize(count);
        }
        for (int i = 0; i < count; ++i) {
            const auto k = static_cast<std::size_t>(begin + i);
            pts.P[i] = all.P[k], pts.Po[i] = all.Po[k], pts.radius[i] = all.radius[k];
            pts.st[i] = all.st[k], pts.stRadius[i] = all.stRadius[k];
            for (std::size_t v = 0; v < all.primvars.size(); ++v) {
                const int c = all.primvars[v].components;
                for (int j = 0; j < c; ++j)
                    pts.primvars[v].values[static_cast<std::size_t>(i * c + j)] =
                        all.primvars[v]
                            .values[k * static_cast<std::size_t>(c) + static_cast<std::size_t>(j)];
            }
        }
    };
    const auto store = [&](int begin, int count, const std::vector<const void*>& results) {
        for (std::size_t r = 0; r < refs.size(); ++r) {
            if (!results[r]) continue;  // not produced: the column stays 0
            const int c = host::componentsOf(refs[r].type);
            const float* src = static_cast<const float*>(results[r]);
            std::copy(src, src + count * c,
                      values[r].begin() + static_cast<std::ptrdiff_t>(begin) * c);
        }
    };
    run(s, plan, table.count, fill, store, options);

    std::string out;
    for (std::size_t r = 0; r < refs.size(); ++r)
        for (const std::string& col : columnsOf(refs[r])) out += (out.empty() ? "" : ",") + col;
    out += '\n';
    char number[32];
    for (int i = 0; i < table.count; ++i) {
        for (std::size_t r = 0; r < refs.size(); ++r) {
            const int c = host::componentsOf(refs[r].type);
            for (int j = 0; j < c; ++j) {
                std::snprintf(number, sizeof number, "%.9g",
                              double(values[r][static_cast<std::size_t>(i * c + j)]));
                if (r > 0 || j > 0) out += ',';
                out += number;
            }
        }
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

}  // namespace tessera::cli
