// tessera render: a network's output as an image, on a plane or on a sphere.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "commands.h"
#include "image_file.h"
#include "session.h"

namespace tessera::cli {

namespace {

// Where each sample of the image lands. Samples of one pixel are consecutive; pixels run
// left to right, top row first.
class View {
public:
    enum Kind { Plane, Sphere };

    View(Kind kind, int width, int height, int samplesPerAxis, const float window[4])
        : m_kind(kind), m_width(width), m_height(height), m_n(samplesPerAxis) {
        for (int k = 0; k < 4; ++k) m_window[k] = window[k];
    }

    int samplesPerPixel() const { return m_n * m_n; }

    struct Sample {
        RtPoint3 P;
        RtFloat2 st;
        float radius;
    };

    Sample at(long index) const {
        const RtFloat2 xy = windowPosition(index);
        const float x = xy.x, y = xy.y;
        const float footprint = std::fabs(m_window[2] - m_window[0]) / m_width;
        Sample out{{x, y, 0.f}, {x, y}, footprint};
        const float r2 = x * x + y * y;
        if (m_kind == Plane || r2 > 1.f) return out;  // off the sphere: weight() drops it
        const float z = std::sqrt(1.f - r2);
        out.P = {x, y, z};
        out.st = {0.5f + std::atan2(x, z) / (2.f * 3.14159265f), 0.5f + std::asin(y) / 3.14159265f};
        return out;
    }

    // How much of a sample's value reaches its pixel: 1 on the plane; on the sphere 0 outside it
    // and the light within, so that the sphere's form reads without hiding the pattern.
    float weight(long index) const {
        if (m_kind == Plane) return 1.f;
        const RtFloat2 p = windowPosition(index);
        const float r2 = p.x * p.x + p.y * p.y;
        if (r2 > 1.f) return 0.f;
        const float l[3] = {-0.4f, 0.55f, 0.73f};  // from the upper left
        const float d = p.x * l[0] + p.y * l[1] + std::sqrt(1.f - r2) * l[2];
        return 0.45f + 0.55f * (d > 0.f ? d : 0.f);
    }

private:
    // The sample's position in the window. Stratified: one sample per cell of an n x n grid over
    // the pixel, jittered inside its cell by a hash of pixel and sample (the centre when n is 1),
    // so renders repeat exactly.
    RtFloat2 windowPosition(long index) const {
        const long pixel = index / samplesPerPixel();
        const int s = static_cast<int>(index % samplesPerPixel());
        const int px = static_cast<int>(pixel % m_width), py = static_cast<int>(pixel / m_width);
        float jx = 0.5f, jy = 0.5f;
        if (m_n > 1) {
            const std::uint32_t h =
                hash(static_cast<std::uint32_t>(pixel) * 977u + static_cast<std::uint32_t>(s));
            jx = (h & 0xffffu) / 65536.f, jy = (h >> 16) / 65536.f;
        }
        const float u = (px + ((s % m_n) + jx) / m_n) / m_width;
        const float v = (py + ((s / m_n) + jy) / m_n) / m_height;
        return {m_window[0] + u * (m_window[2] - m_window[0]),
                m_window[3] - v * (m_window[3] - m_window[1])};
    }

    static std::uint32_t hash(std::uint32_t h) {
        h ^= h >> 16, h *= 0x7feb352du, h ^= h >> 15, h *= 0x846ca68bu, h ^= h >> 16;
        return h;
    }
    Kind m_kind;
    int m_width, m_height, m_n;
    float m_window[4];
};

// A bar on stderr when it is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : m_enabled(enabled) {}
    void update(int done, int total) {
        if (!m_enabled || total <= 0) return;
        const int percent = static_cast<int>(100L * done / total);
        int last = m_last.load();
        if (percent <= last || !m_last.compare_exchange_strong(last, percent)) return;
        std::lock_guard<std::mutex> lock(m_mutex);
        const int filled = percent * 30 / 100;
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "##############################",
                     30 - filled, "", percent);
        std::fflush(stderr);
    }
    void finish() {
        if (m_enabled && m_last >= 0) std::fprintf(stderr, "\r%*s\r", 40, "");
    }

private:
    bool m_enabled;
    std::atomic<int> m_last{-1};
    std::mutex m_mutex;
};

}  // namespace

int renderCommand(const std::vector<std::string>& args) {
    const ParsedArgs a = parseArgs("render", args,
                                   {{"-o", 1, false},
                                    {"--output", 1, false},
                                    {"--size", 1, false},
                                    {"--samples", 1, false},
                                    {"--threads", 1, false},
                                    {"--batch", 1, false},
                                    {"--view", 1, false},
                                    {"--window", 4, false},
                                    {"--plugin-path", 1, true}});
    if (a.positional.size() != 1) throw usage("render: expected one network file, then -o IMAGE");
    if (!a.has("-o")) throw usage("render: expected -o IMAGE");
    const std::string imagePath = a.value("-o");

    int width = 512, height = 512;
    if (a.has("--size")) parseSize(a.value("--size"), &width, &height);
    const int samples =
        a.has("--samples") ? parsePositiveInt("--samples", a.value("--samples"), 64) : 1;
    host::RunOptions options;
    if (a.has("--threads"))
        options.threads = parsePositiveInt("--threads", a.value("--threads"), 1024);
    if (a.has("--batch"))
        options.batchSize = parsePositiveInt("--batch", a.value("--batch"), 1 << 20);
    View::Kind kind = View::Plane;
    if (a.has("--view")) {
        const std::string v = a.value("--view");
        if (v != "plane" && v != "sphere")
            throw usage("--view expects plane or sphere, got '" + v + "'");
        kind = v == "sphere" ? View::Sphere : View::Plane;
    }
    float window[4] = {0.f, 0.f, 1.f, 1.f};
    if (kind == View::Sphere) window[0] = window[1] = -1.1f, window[2] = window[3] = 1.1f;
    if (a.has("--window"))
        for (int k = 0; k < 4; ++k)
            window[k] = parseFloat("--window", a.value("--window", static_cast<std::size_t>(k)));
    if (window[0] == window[2] || window[1] == window[3]) throw usage("--window must not be empty");
    if (static_cast<long long>(width) * height * samples * samples > INT_MAX)
        throw usage("render: too many samples (size times samples squared exceeds 2^31)");
    const std::vector<std::string> pluginPath = a.all("--plugin-path");

    checkImagePath(imagePath);
    const Session s = openSession(a.positional[0], pluginPath);
    const RequestedOutput requested = requestOutput(
        *s.network, a.has("--output") ? a.value("--output") : s.network->defaultOutput().label);
    const host::OutputRef ref = requested.refs.front();  // a manifold shows its Q
    const int components = host::componentsOf(ref.type);
    if (ref.type != k_RixSCFloat && components != 3)
        throw badInput("output '" + requested.label + "' is " + host::typeName(ref.type) +
                       ", which cannot be shown");

    const View view(kind, width, height, samples, window);
    const int spp = view.samplesPerPixel();
    // Whole pixels per batch, so that each pixel is averaged by exactly one thread.
    options.batchSize = std::max(spp, options.batchSize / spp * spp);
    const host::EvaluationPlan plan(*s.network, {ref}, s.spaces);
    std::vector<float> image(static_cast<std::size_t>(width) * height * 3, 0.f);

    const auto fill = [&](int begin, int count, host::BatchPoints& pts) {
        for (int i = 0; i < count; ++i) {
            const View::Sample smp = view.at(begin + i);
            pts.P[i] = pts.Po[i] = smp.P;
            pts.radius[i] = pts.stRadius[i] = smp.radius;
            pts.st[i] = smp.st;
        }
    };
    const auto store = [&](int begin, int count, const std::vector<const void*>& results) {
        const float* v = static_cast<const float*>(results[0]);
        for (int first = 0; first < count; first += spp) {
            float sum[3] = {0.f, 0.f, 0.f};
            for (int k = first; k < first + spp && v; ++k) {
                const float w = view.weight(begin + k);
                for (int c = 0; c < 3; ++c)
                    sum[c] += w * v[k * components + (components == 3 ? c : 0)];
            }
            float* pixel = &image[static_cast<std::size_t>((begin + first) / spp) * 3];
            for (int c = 0; c < 3; ++c) pixel[c] = sum[c] / spp;
        }
    };

    ProgressBar bar(::isatty(STDERR_FILENO) != 0);
    const auto start = std::chrono::steady_clock::now();
    host::RunResult result;
    try {
        result = run(s, plan, width * height * spp, fill, store, options,
                     [&](int done, int total) { bar.update(done, total); });
    } catch (...) {
        bar.finish();
        throw;
    }
    bar.finish();
    writeImage(imagePath, width, height, image);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fprintf(
        stderr,
        "tessera: wrote %s: %dx%d, %d sample%s per pixel, %d batches, %d thread%s, %.2f s\n",
        imagePath.c_str(), width, height, spp, spp == 1 ? "" : "s", result.batches, result.threads,
        result.threads == 1 ? "" : "s", seconds);
    return 0;
}

}  // namespace tessera::cli
