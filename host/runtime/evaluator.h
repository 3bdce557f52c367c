// Running a network over many points: batches of points, shared node objects, all cores.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "batch.h"

namespace tessera::host {

// One thread's evaluation state: its arena and the arrays of its current batch.
class BatchEvaluator {
public:
    explicit BatchEvaluator(const EvaluationPlan& plan) : m_plan(plan) {}

    // Evaluates every requested output on one batch. results[k] is the array of request k (null
    // when that output is not produced), valid until the next call. Reports the first node that
    // returned a non-zero status.
    NodeFailure evaluate(const BatchPoints& points, std::vector<const void*>& results);

    // A shading context of node k on a fresh batch of points, as the node would receive it;
    // valid until the next call. For tests that probe the host's behaviour directly.
    RixShadingContext* contextFor(int node, const BatchPoints& points);

    Arena& arena() { return m_arena; }

private:
    const EvaluationPlan& m_plan;
    Arena m_arena;
    alignas(Batch) unsigned char m_batchStorage[sizeof(Batch)];
};

struct RunOptions {
    int threads = 0;       // 0: every core
    int batchSize = 1024;  // points per shading batch
};

struct RunResult {
    int batches = 0;
    int threads = 0;
    NodeFailure failure;  // the first failure seen; the run stops at it
};

// Fills the geometry of points [begin, begin + count) into a batch.
using FillBatch = std::function<void(int begin, int count, BatchPoints& points)>;
// Receives the requested outputs of points [begin, begin + count). Called from several threads
// at once, each with its own range.
using StoreBatch =
    std::function<void(int begin, int count, const std::vector<const void*>& results)>;
// Called after each batch with the number of batches done so far (from any thread).
using Progress = std::function<void(int done, int total)>;

RunResult runBatches(const EvaluationPlan& plan, int totalPoints, const FillBatch& fill,
                     const StoreBatch& store, const RunOptions& options,
                     const Progress& progress = {});

}  // namespace tessera::host
