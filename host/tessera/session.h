// What render and eval share: the host, the network read from a file, the requested outputs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "evaluator.h"
#include "network_file.h"

namespace tessera::cli {

struct Session {
    std::unique_ptr<host::Host> host;
    std::unique_ptr<host::Network> network;
    host::Spaces spaces;
};

// Reads and builds the network; Failure(1) for anything wrong in it.
Session openSession(const std::string& networkPath, const std::vector<std::string>& pluginPath);

// "handle:param" as the run will request it: a struct output becomes its members.
struct RequestedOutput {
    std::string label;                  // as the user wrote it
    std::vector<host::OutputRef> refs;  // one, or one per struct member
};
RequestedOutput requestOutput(const host::Network& net, const std::string& label);

// Runs the batches; Failure(3) naming the node when one returns a non-zero status.
host::RunResult run(const Session& s, const host::EvaluationPlan& plan, int totalPoints,
                    const host::FillBatch& fill, const host::StoreBatch& store,
                    const host::RunOptions& options, const host::Progress& progress = {});

}  // namespace tessera::cli
