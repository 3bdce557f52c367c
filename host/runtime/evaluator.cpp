#include "evaluator.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

namespace tessera::host {

NodeFailure BatchEvaluator::evaluate(const BatchPoints& points, std::vector<const void*>& results) {
    m_arena.reset();
    Batch* batch = new (m_batchStorage) Batch(m_plan, points, m_arena);
    results.assign(m_plan.requests.size(), nullptr);
    for (std::size_t r = 0; r < m_plan.requests.size(); ++r) {
        const OutputRef& ref = m_plan.requests[r];
        int id = ref.id;
        // A requested struct is read through its first member.
        if (m_plan.network->node(ref.node).table[id].type == k_RixSCStructBegin) ++id;
        const OutputSpec* rec = batch->output(batch->root(), ref.node, id);
        results[r] = rec ? rec->value : nullptr;
        if (batch->failure()) break;
    }
    return batch->failure();
}

RixShadingContext* BatchEvaluator::contextFor(int node, const BatchPoints& points) {
    m_arena.reset();
    Batch* batch = new (m_batchStorage) Batch(m_plan, points, m_arena);
    void* mem = batch->allocate(1, sizeof(NodeContext));
    return new (mem) NodeContext(batch, node, batch->root());
}

RunResult runBatches(const EvaluationPlan& plan, int totalPoints, const FillBatch& fill,
                     const StoreBatch& store, const RunOptions& options, const Progress& progress) {
    RunResult result;
    const int batchSize = std::max(1, options.batchSize);
    const int batches = totalPoints <= 0 ? 0 : 1 + (totalPoints - 1) / batchSize;
    int threads = options.threads > 0 ? options.threads
                                      : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::max(1, std::min(threads, std::max(1, batches)));
    result.batches = batches;
    result.threads = threads;

    std::atomic<int> next{0}, done{0};
    std::atomic<bool> stop{false};
    std::mutex failureMutex;
    std::exception_ptr error;  // the first exception a worker met, rethrown on this thread

    auto runWorker = [&]() {
        BatchEvaluator evaluator(plan);
        BatchPoints points;
        std::vector<const void*> results;
        for (int b = next++; b < batches && !stop; b = next++) {
            const int begin = b * batchSize;
            const int count = std::min(batchSize, totalPoints - begin);
            points.resize(count);
            fill(begin, count, points);
            const NodeFailure failure = evaluator.evaluate(points, results);
            if (failure) {
                std::lock_guard<std::mutex> lock(failureMutex);
                if (!result.failure) result.failure = failure;
                stop = true;
                break;
            }
            store(begin, count, results);
            const int finished = ++done;
            if (progress) progress(finished, batches);
        }
    };
    auto work = [&]() noexcept {
        try {
            runWorker();
        } catch (...) {
            std::lock_guard<std::mutex> lock(failureMutex);
            if (!error) error = std::current_exception();
            stop = true;
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    if (error) std::rethrow_exception(error);
    return result;
}

}  // namespace tessera::host
