// Helpers for node benchmarks: a network evaluated on one 1024-point batch per iteration, and
// the shade-function baseline a node's time is compared with.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "evaluator.h"

namespace tessera::bench {

constexpr int kBatch = 1024;

host::Host& benchHost();

// A single-node network of the given type and parameters.
std::unique_ptr<host::Network> singleNode(const std::string& type,
                                          const std::vector<host::ParamAssignment>& params = {});

// A batch of kBatch points spread over a few cells, as a 32 x 32 patch of an image.
host::BatchPoints patchPoints(float extent = 8.f);

// Nanoseconds per point of calling `perPoint` once per point of the patch.
template <class PerPoint>
double baselineNsPerPoint(PerPoint perPoint) {
    const host::BatchPoints pts = patchPoints();
    using Clock = std::chrono::steady_clock;
    float sink = 0.f;
    long rounds = 0;
    const auto start = Clock::now();
    auto elapsed = Clock::duration::zero();
    while (elapsed < std::chrono::milliseconds(200)) {
        for (int i = 0; i < kBatch; ++i) sink += perPoint(pts.P[i]);
        ++rounds;
        elapsed = Clock::now() - start;
    }
    benchmark::DoNotOptimize(sink);
    return std::chrono::duration<double, std::nano>(elapsed).count() / double(rounds * kBatch);
}

// Runs the network's first output on the patch for every iteration (each benchmark thread with
// its own evaluator, all sharing the node objects) and reports ns per point, and its ratio to
// the baseline.
void runNode(benchmark::State& state, const host::Network& net, double baselineNs);

// Sets counter name to elapsedNs per point of the iterations run (averaged over threads).
void reportPerPoint(benchmark::State& state, const char* name, double elapsedNs);

}  // namespace tessera::bench
