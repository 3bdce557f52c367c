// Parsing the command line of the tessera subcommands.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessera::cli {

// A failure the user must fix; code is the exit status (1 bad input, 2 bad usage, 3 a node
// returned a non-zero status).
struct Failure : std::runtime_error {
    Failure(int exitCode, const std::string& message)
        : std::runtime_error(message), code(exitCode) {}
    int code;
};
inline Failure usage(const std::string& m) { return Failure(2, m); }
inline Failure badInput(const std::string& m) { return Failure(1, m); }

struct OptionSpec {
    const char* name;  // "--size"
    int values;        // how many values follow it (0 for a flag)
    bool repeatable;
};

// Options by name (each occurrence's values in order) and the positional arguments.
struct ParsedArgs {
    std::map<std::string, std::vector<std::vector<std::string>>> options;
    std::vector<std::string> positional;

    bool has(const std::string& name) const { return options.count(name) > 0; }
    const std::string& value(const std::string& name, std::size_t k = 0) const {
        return options.at(name).front().at(k);
    }
    std::vector<std::string> all(const std::string& name) const;
};

ParsedArgs parseArgs(const std::string& command, const std::vector<std::string>& args,
                     const std::vector<OptionSpec>& specs);

// Checked conversions; the message names the option.
int parsePositiveInt(const std::string& option, const std::string& text, int max = 1 << 30);
float parseFloat(const std::string& option, const std::string& text);
void parseSize(const std::string& text, int* width, int* height);  // "WxH"

}  // namespace tessera::cli
