#include "session.h"

namespace tessera::cli {

Session openSession(const std::string& networkPath, const std::vector<std::string>& pluginPath) {
    try {
        const host::NetworkFile file = host::readNetworkFile(networkPath);
        Session s;
        s.host = std::make_unique<host::Host>(
            host::pluginSearchPath(file, host::defaultSearchPath(pluginPath)));
        for (const std::string& w : file.warnings) std::fprintf(stderr, "tessera: %s\n", w.c_str());
        host::applyUserOptions(file, s.host->renderState());
        s.network = std::make_unique<host::Network>(*s.host);
        host::buildNetwork(file, *s.network);
        if (s.network->size() == 0)
            throw host::Error(networkPath + ": the network has no Pattern statements");
        return s;
    } catch (const host::Error& e) {
        throw badInput(e.what());
    }
}

RequestedOutput requestOutput(const host::Network& net, const std::string& label) {
    if (label.find(':') == std::string::npos || label.front() == ':' || label.back() == ':')
        throw usage("--output expects HANDLE:PARAM, got '" + label + "'");
    RequestedOutput r;
    r.label = label;
    try {
        const host::OutputRef ref = net.output(label);
        const host::NetworkNode& n = net.node(ref.node);
        if (ref.type != k_RixSCStructBegin) {
            r.refs.push_back(ref);
            return r;
        }
        const std::string handle = label.substr(0, label.rfind(':'));
        for (int m = ref.id + 1; n.table[m].type != k_RixSCStructEnd; ++m)
            r.refs.push_back({ref.node, m, n.table[m].type, handle + ":" + n.table[m].name.CStr()});
    } catch (const host::Error& e) {
        throw badInput(e.what());
    }
    return r;
}

host::RunResult run(const Session& s, const host::EvaluationPlan& plan, int totalPoints,
                    const host::FillBatch& fill, const host::StoreBatch& store,
                    const host::RunOptions& options, const host::Progress& progress) {
    const host::RunResult result =
        host::runBatches(plan, totalPoints, fill, store, options, progress);
    s.host->messages().flush();
    if (result.failure) {
        const host::NetworkNode& n = s.network->node(result.failure.node);
        throw Failure(3, "node '" + n.handle + "' (" + n.type + ") returned status " +
                             std::to_string(result.failure.status));
    }
    return result;
}

}  // namespace tessera::cli
