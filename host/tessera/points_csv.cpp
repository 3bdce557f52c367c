#include "points_csv.h"

#include <cstdlib>
#include <map>
#include <optional>

#include "command_line.h"

namespace tessera::cli {

namespace {

std::string trim(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t\r");
    const std::size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

std::vector<std::string> splitRow(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        cells.push_back(trim(
            line.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos) return cells;
        start = comma + 1;
    }
}

// Where each column's value goes.
struct ColumnMap {
    int x = -1, y = -1, z = -1, radius = -1, s = -1, t = -1, ax = -1, ay = -1, az = -1;
    struct Target {
        std::size_t primvar;
        int component;
    };
    std::map<int, Target> primvars;  // by column
};

}  // namespace

PointTable readPoints(std::istream& in, const std::string& source) {
    auto fail = [&](int line, const std::string& what) -> Failure {
        return badInput(source + ":" + std::to_string(line) + ": " + what);
    };
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line) && trim(line).empty()) ++lineNo;
    ++lineNo;
    if (trim(line).empty()) throw fail(lineNo, "expected a header line such as x,y,z");
    const std::vector<std::string> header = splitRow(line);
    const int headerLine = lineNo;

    PointTable table;
    host::BatchPoints& pts = table.points;
    ColumnMap map;
    std::map<std::string, std::size_t> primvarIndex;
    std::map<std::string, int> primvarComponentsSeen;
    for (int c = 0; c < static_cast<int>(header.size()); ++c) {
        const std::string& name = header[static_cast<std::size_t>(c)];
        int* fixed = name == "x"        ? &map.x
                     : name == "y"      ? &map.y
                     : name == "z"      ? &map.z
                     : name == "radius" ? &map.radius
                     : name == "s"      ? &map.s
                     : name == "t"      ? &map.t
                     : name == "ax"     ? &map.ax
                     : name == "ay"     ? &map.ay
                     : name == "az"     ? &map.az
                                        : nullptr;
        if (fixed) {
            if (*fixed >= 0) throw fail(headerLine, "column '" + name + "' appears twice");
            *fixed = c;
            continue;
        }
        if (name.rfind("pv:", 0) != 0 || name.size() <= 3)
            throw fail(headerLine,
                       "unknown column '" + name +
                           "' (expected x,y,z, radius, s,t, ax,ay,az, pv:NAME or pv:NAME.x,.y,.z)");
        std::string pv = name.substr(3);
        int component = -1;
        const std::size_t dot = pv.rfind('.');
        if (dot != std::string::npos && dot + 2 == pv.size() &&
            std::string("xyz").find(pv.back()) != std::string::npos) {
            component = static_cast<int>(std::string("xyz").find(pv.back()));
            pv = pv.substr(0, dot);
        }
        const int components = component < 0 ? 1 : 3;
        auto it = primvarIndex.find(pv);
        if (it == primvarIndex.end()) {
            it = primvarIndex.emplace(pv, pts.primvars.size()).first;
            pts.primvars.push_back({RtUString::UstrMakeUnique(pv.c_str()), components, {}});
        } else if (pts.primvars[it->second].components != components) {
            throw fail(headerLine, "primitive variable '" + pv +
                                       "' is given both as one float and as .x, .y, .z");
        }
        for (const auto& [col, target] : map.primvars)
            if (target.primvar == it->second && target.component == std::max(component, 0))
                throw fail(headerLine, "column '" + name + "' appears twice");
        map.primvars[c] = {it->second, std::max(component, 0)};
        primvarComponentsSeen[pv] += 1;
    }
    for (const auto& [name, column] :
         {std::pair<const char*, int>{"x", map.x}, {"y", map.y}, {"z", map.z}})
        if (column < 0) throw fail(headerLine, std::string("missing column '") + name + "'");
    for (const auto& [pv, seen] : primvarComponentsSeen)
        if (pts.primvars[primvarIndex[pv]].components == 3 && seen != 3)
            throw fail(headerLine, "primitive variable '" + pv + "' needs the columns pv:" + pv +
                                       ".x, .y and .z");
    const int hasAlt = (map.ax >= 0) + (map.ay >= 0) + (map.az >= 0),
              hasSt = (map.s >= 0) + (map.t >= 0);
    if (hasAlt != 0 && hasAlt != 3)
        throw fail(headerLine, "the alternative position needs ax, ay and az");
    if (hasSt == 1) throw fail(headerLine, "texture coordinates need both s and t");

    std::vector<float> row(header.size());
    while (std::getline(in, line)) {
        ++lineNo;
        if (trim(line).empty()) continue;
        const std::vector<std::string> cells = splitRow(line);
        if (cells.size() != header.size())
            throw fail(lineNo, std::to_string(cells.size()) + " values, expected " +
                                   std::to_string(header.size()));
        for (std::size_t c = 0; c < cells.size(); ++c) {
            char* end = nullptr;
            row[c] = std::strtof(cells[c].c_str(), &end);
            if (cells[c].empty() || *end != '\0')
                throw fail(lineNo,
                           "column '" + header[c] + "': expected a number, got '" + cells[c] + "'");
        }
        const auto at = [&](int col, float dflt) {
            return col >= 0 ? row[static_cast<std::size_t>(col)] : dflt;
        };
        const RtPoint3 P{at(map.x, 0), at(map.y, 0), at(map.z, 0)};
        pts.P.push_back(P);
        pts.radius.push_back(at(map.radius, 0.f));
        pts.stRadius.push_back(at(map.radius, 0.f));
        pts.st.push_back({at(map.s, P.x), at(map.t, P.y)});
        pts.Po.push_back({at(map.ax, P.x), at(map.ay, P.y), at(map.az, P.z)});
        for (host::PrimVar& pv : pts.primvars)
            pv.values.resize(pv.values.size() + static_cast<std::size_t>(pv.components));
        for (const auto& [col, target] : map.primvars) {
            host::PrimVar& pv = pts.primvars[target.primvar];
            pv.values[pv.values.size() - static_cast<std::size_t>(pv.components) +
                      static_cast<std::size_t>(target.component)] =
                row[static_cast<std::size_t>(col)];
        }
        if (pts.P.size() > static_cast<std::size_t>(1) << 30) throw fail(lineNo, "too many points");
    }
    if (in.bad()) throw badInput(source + ": read error");
    table.count = static_cast<int>(pts.P.size());
    pts.count = table.count;
    return table;
}

}  // namespace tessera::cli
