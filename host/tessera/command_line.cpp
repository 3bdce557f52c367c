#include "command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tessera::cli {

std::vector<std::string> ParsedArgs::all(const std::string& name) const {
    std::vector<std::string> out;
    const auto it = options.find(name);
    if (it != options.end())
        for (const auto& occurrence : it->second)
            out.insert(out.end(), occurrence.begin(), occurrence.end());
    return out;
}

ParsedArgs parseArgs(const std::string& command, const std::vector<std::string>& args,
                     const std::vector<OptionSpec>& specs) {
    ParsedArgs parsed;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& a = args[k];
        if (a.size() < 2 || a[0] != '-' || a == "-") {
            parsed.positional.push_back(a);
            continue;
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : specs)
            if (a == s.name) spec = &s;
        if (!spec) throw usage(command + ": unknown option '" + a + "'");
        if (!spec->repeatable && parsed.has(a)) throw usage(command + ": " + a + " is given twice");
        std::vector<std::string> values;
        for (int v = 0; v < spec->values; ++v) {
            // A following option is not a value: "--size --threads 2" is missing its size.
            if (++k >= args.size() || args[k].rfind("--", 0) == 0)
                throw usage(command + ": " + a + " expects " + std::to_string(spec->values) +
                            (spec->values == 1 ? " value" : " values"));
            values.push_back(args[k]);
        }
        parsed.options[a].push_back(std::move(values));
    }
    return parsed;
}

int parsePositiveInt(const std::string& option, const std::string& text, int max) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || v < 1 || v > max)
        throw usage(option + " expects a whole number from 1 to " + std::to_string(max) +
                    ", got '" + text + "'");
    return static_cast<int>(v);
}

float parseFloat(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const float v = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v))
        throw usage(option + " expects a number, got '" + text + "'");
    return v;
}

void parseSize(const std::string& text, int* width, int* height) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos)
        throw usage("--size expects WIDTHxHEIGHT, such as 512x512, got '" + text + "'");
    *width = parsePositiveInt("--size", text.substr(0, x), 16384);
    *height = parsePositiveInt("--size", text.substr(x + 1), 16384);
}

}  // namespace tessera::cli
