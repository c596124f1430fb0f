// Codec speed and ratio: FAST and GOOD on a thumbnail strip, text and random
// bytes, in process (Google Benchmark) and side by side with lz4 -1 and gzip -1.
#include "catalogue/lzrw1codec.h"
#include "catalogue/lzrw1fast.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// ---- inputs

void putLe(QByteArray& b, quint32 v, int n)
{
    for (int k = 0; k < n; ++k)
        b.append(char(v >> (8 * k) & 0xFF));
}

// The strip the thumbnail cache compresses: a 24-bit BMP four 90-pixel cells
// wide, 1000 cells, each a framed, fitted picture with sky, ground, soft
// shapes, texture and sensor noise.
QByteArray thumbnailStrip()
{
    constexpr int S = 90, W = 4 * S, count = 1000, H = (count + 3) / 4 * S;
    std::vector<quint8> rgb(size_t(W) * H * 3, 0xF0); // list background
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 3.0);
    auto uni = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
    auto set = [&](int x, int y, double r, double g, double b) {
        quint8* p = &rgb[(size_t(y) * W + x) * 3];
        p[0] = quint8(std::clamp(r, 0.0, 255.0));
        p[1] = quint8(std::clamp(g, 0.0, 255.0));
        p[2] = quint8(std::clamp(b, 0.0, 255.0));
    };
    for (int i = 0; i < count; ++i) {
        const int cx = S * (i % 4), cy = S * (i / 4);
        // Frame: dark outer line, light inner line.
        for (int k = 0; k < S; ++k) {
            for (auto [x, y] : {std::pair{k, 0}, {k, S - 1}, {0, k}, {S - 1, k}})
                set(cx + x, cy + y, 128, 128, 128);
            for (auto [x, y] : {std::pair{k, 1}, {k, S - 2}, {1, k}, {S - 2, k}})
                if (k > 0 && k < S - 1)
                    set(cx + x, cy + y, 255, 255, 255);
        }
        // Fitted picture: landscape 4:3, 3:2 or portrait 3:4.
        const int shape = int(rng() % 3);
        const int w = shape == 2 ? 63 : 84, h = shape == 0 ? 63 : shape == 1 ? 56 : 84;
        const int ox = cx + (S - w) / 2, oy = cy + (S - h) / 2;
        const double horizon = uni(0.3, 0.7);
        const double sky[2][3] = {{uni(60, 140), uni(110, 180), uni(180, 250)}, {uni(170, 230), uni(190, 240), uni(200, 255)}};
        const double ground[2][3] = {{uni(40, 160), uni(60, 150), uni(20, 90)}, {uni(20, 100), uni(30, 110), uni(10, 60)}};
        struct Blob { double x, y, r, c[3]; };
        std::vector<Blob> blobs(2 + rng() % 4);
        for (auto& b : blobs)
            b = {uni(0, 1), uni(0.2, 1), uni(0.05, 0.3), {uni(-80, 80), uni(-80, 80), uni(-80, 80)}};
        const double fx = uni(0.3, 1.2), fy = uni(0.3, 1.2), amp = uni(3, 14), phase = uni(0, 6.3);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const double u = double(x) / w, v = double(y) / h;
                double c[3];
                const bool up = v < horizon;
                const double t = up ? v / horizon : (v - horizon) / (1 - horizon);
                for (int k = 0; k < 3; ++k)
                    c[k] = up ? sky[0][k] + (sky[1][k] - sky[0][k]) * t : ground[0][k] + (ground[1][k] - ground[0][k]) * t;
                for (const Blob& b : blobs) {
                    const double d2 = ((u - b.x) * (u - b.x) + (v - b.y) * (v - b.y)) / (b.r * b.r);
                    const double wgt = std::exp(-d2);
                    for (int k = 0; k < 3; ++k)
                        c[k] += b.c[k] * wgt;
                }
                const double tex = up ? 0 : amp * std::sin(fx * x + fy * y + phase) * std::sin(0.7 * fy * x - phase);
                const double n = noise(rng);
                set(ox + x, oy + y, c[0] + tex + n, c[1] + tex + n + noise(rng) * 0.5, c[2] + tex + n);
            }
        }
    }
    QByteArray bmp("BM");
    const quint32 rowBytes = W * 3; // already a multiple of 4
    const quint32 imageBytes = rowBytes * H;
    putLe(bmp, 54 + imageBytes, 4);
    putLe(bmp, 0, 4);
    putLe(bmp, 54, 4);
    for (quint32 v : {40u, quint32(W), quint32(H)})
        putLe(bmp, v, 4);
    putLe(bmp, 1, 2);
    putLe(bmp, 24, 2);
    for (quint32 v : {0u, imageBytes, 2835u, 2835u, 0u, 0u})
        putLe(bmp, v, 4);
    for (int y = H - 1; y >= 0; --y) // bottom-up rows, blue first
        for (int x = 0; x < W; ++x) {
            const quint8* p = &rgb[(size_t(y) * W + x) * 3];
            bmp.append(char(p[2])).append(char(p[1])).append(char(p[0]));
        }
    return bmp;
}

// English-like prose: words of a Zipf-distributed vocabulary in sentences
// and paragraphs, lines wrapped at 72 columns.
QByteArray proseText(qsizetype size)
{
    std::mt19937 rng(2);
    const char* onsets[] = {"b", "c", "d", "f", "g", "h", "l", "m", "n", "p", "r", "s", "t", "th", "st", "w", "pr", "ch"};
    const char* vowels[] = {"a", "e", "i", "o", "u", "ea", "ou", "io"};
    const char* codas[] = {"", "", "n", "r", "s", "t", "nd", "ng", "ll", "st"};
    std::vector<QByteArray> words = {"the", "of", "and", "a", "to", "in", "is", "it", "that", "for", "was", "on", "with", "as"};
    while (words.size() < 6000) {
        QByteArray w;
        for (int s = 0, n = 1 + int(rng() % 3); s < n; ++s)
            w += QByteArray(onsets[rng() % 18]) + vowels[rng() % 8] + codas[rng() % 10];
        words.push_back(w);
    }
    std::vector<double> weights(words.size());
    for (size_t i = 0; i < weights.size(); ++i)
        weights[i] = 1.0 / double(i + 1);
    std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
    QByteArray text, line;
    while (text.size() < size) {
        for (int s = 0, sentences = 2 + int(rng() % 6); s < sentences; ++s) {
            for (int k = 0, n = 4 + int(rng() % 16); k < n; ++k) {
                QByteArray w = words[pick(rng)];
                if (k == 0)
                    w[0] = char(std::toupper(w[0]));
                if (k == n - 1)
                    w += '.';
                else if (rng() % 9 == 0)
                    w += ',';
                if (line.size() + 1 + w.size() > 72) {
                    text += line + '\n';
                    line.clear();
                }
                line += (line.isEmpty() ? "" : " ") + w;
            }
        }
        text += line + "\n\n";
        line.clear();
    }
    text.truncate(size);
    return text;
}

QByteArray randomBytes(qsizetype size)
{
    std::mt19937_64 rng(3);
    QByteArray b(size, '\0');
    for (qsizetype i = 0; i + 8 <= size; i += 8) {
        const quint64 v = rng();
        std::memcpy(b.data() + i, &v, 8);
    }
    return b;
}

struct Input {
    const char* name;
    QByteArray data;
};

const std::vector<Input>& inputs()
{
    static const std::vector<Input> all = {
        {"strip", thumbnailStrip()},
        {"text", proseText(8 << 20)},
        {"random", randomBytes(8 << 20)},
    };
    return all;
}

// ---- in process

void runCompress(benchmark::State& state, int which, TCompressMode mode)
{
    const QByteArray& data = inputs()[size_t(which)].data;
    qsizetype packed = 0;
    for (auto _ : state) {
        const QByteArray out = lzrw1::compress(data, mode);
        packed = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(state.iterations() * data.size());
    state.counters["ratio"] = double(packed) / double(data.size());
}

void runExpand(benchmark::State& state, int which, TCompressMode mode)
{
    const QByteArray& data = inputs()[size_t(which)].data;
    const QByteArray packed = lzrw1::compress(data, mode);
    for (auto _ : state) {
        const QByteArray out = lzrw1::decompress(packed);
        benchmark::DoNotOptimize(out.constData());
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}

// The block coder alone, without streams: its share of the work.
void runBlocks(benchmark::State& state, int which, bool expand)
{
    const QByteArray& data = inputs()[size_t(which)].data;
    std::vector<std::uint8_t> block(lzrw1::kBlockBufferSize + lzrw1::kDecodeSlack);
    std::vector<std::uint16_t> table(lzrw1::kHashSize);
    std::vector<std::vector<std::uint8_t>> encoded;
    const auto* src = reinterpret_cast<const std::uint8_t*>(data.constData());
    for (qsizetype at = 0; at < data.size(); at += lzrw1::kBlockSize) {
        const int n = int(std::min<qsizetype>(lzrw1::kBlockSize, data.size() - at));
        const int len = lzrw1::encodeFastBlock(src + at, n, block.data(), table.data());
        encoded.emplace_back(block.begin(), block.begin() + len);
    }
    for (auto _ : state) {
        if (expand) {
            for (const auto& e : encoded)
                benchmark::DoNotOptimize(lzrw1::decodeFastBlock(e.data(), int(e.size()), block.data()));
        } else {
            for (qsizetype at = 0; at < data.size(); at += lzrw1::kBlockSize) {
                const int n = int(std::min<qsizetype>(lzrw1::kBlockSize, data.size() - at));
                benchmark::DoNotOptimize(lzrw1::encodeFastBlock(src + at, n, block.data(), table.data()));
            }
        }
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}

void registerInProcess()
{
    benchmark::RegisterBenchmark("FastBlocksOnly/compress/strip", runBlocks, 0, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FastBlocksOnly/expand/strip", runBlocks, 0, true)->Unit(benchmark::kMillisecond);
    for (int i = 0; i < 3; ++i) {
        const std::string n = inputs()[size_t(i)].name;
        for (auto [tag, mode] : {std::pair{"Fast", TCompressMode::Fast}, {"Good", TCompressMode::Good}}) {
            benchmark::RegisterBenchmark(("Compress" + std::string(tag) + "/" + n).c_str(), runCompress, i, mode)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("Expand" + std::string(tag) + "/" + n).c_str(), runExpand, i, mode)
                ->Unit(benchmark::kMillisecond);
        }
    }
}

// ---- side by side with the command-line coders

// Times are CPU times (user + system): the machine is shared, and wall time
// measures the neighbours as much as the coder.
double cpuSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; }

// Runs argv with stdin and stdout from and to the named files (empty: none
// and /dev/null), stderr to /dev/null; returns the child's CPU time,
// negative when it fails.
double timeCommand(const std::vector<std::string>& argv, const std::string& in = {}, const std::string& out = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!in.empty())
        posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
    if (!out.empty())
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double t = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
}

struct Coder {
    std::string name;
    // Commands for IN -> OUT; %i and %o stand for the file names.
    std::vector<std::string> compress, expand;
    bool pipes; // reads stdin and writes stdout instead of naming the files
};

std::vector<std::string> fill(const std::vector<std::string>& argv, const std::string& in, const std::string& out)
{
    std::vector<std::string> r;
    for (const std::string& a : argv)
        r.push_back(a == "%i" ? in : a == "%o" ? out : a);
    return r;
}

// Least CPU time of reps runs of one step (the caller subtracts the same
// step on an empty input: start-up and exit).
double bestTime(const Coder& c, bool compress, const std::string& in, const std::string& out, int reps)
{
    const auto& argv = compress ? c.compress : c.expand;
    double best = 1e9;
    for (int r = 0; r < reps; ++r) {
        const double t = c.pipes ? timeCommand(fill(argv, in, out), in, out) : timeCommand(fill(argv, in, out));
        if (t < 0)
            return -1;
        best = std::min(best, t);
    }
    return best;
}

struct Row {
    std::string input, coder;
    double ratio, compressMBs, expandMBs;
};

template <class F>
double bestOf(int reps, F f)
{
    double best = 1e9;
    for (int r = 0; r < reps; ++r) {
        const double start = cpuSeconds();
        f();
        best = std::min(best, cpuSeconds() - start);
    }
    return best;
}

int printTable(const std::string& qvtool, int reps)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString() + "/";
    const std::vector<Coder> coders = {
        {"lz4 -1", {"lz4", "-1", "-q", "-f", "%i", "%o"}, {"lz4", "-d", "-q", "-f", "%i", "%o"}, false},
        {"gzip -1", {"gzip", "-1", "-c"}, {"gzip", "-d", "-c"}, true},
        {"qvtool FAST", {qvtool, "compress", "--mode", "fast", "%i", "%o"}, {qvtool, "decompress", "%i", "%o"}, false},
        {"qvtool GOOD", {qvtool, "compress", "--mode", "good", "%i", "%o"}, {qvtool, "decompress", "%i", "%o"}, false},
    };
    std::vector<Row> rows;
    std::map<std::string, double> startup[2];
    QFile(QString::fromStdString(d + "empty")).open(QIODevice::WriteOnly);
    for (const Coder& c : coders) {
        const std::string packed = d + "empty.packed";
        startup[0][c.name] = bestTime(c, true, d + "empty", packed, reps);
        startup[1][c.name] = bestTime(c, false, packed, d + "empty.back", reps);
        if (startup[0][c.name] < 0 || startup[1][c.name] < 0) {
            std::fprintf(stderr, "bench_codec: %s does not run\n", c.name.c_str());
            return 1;
        }
    }
    for (const Input& input : inputs()) {
        const double mb = double(input.data.size()) / 1e6;
        const std::string in = d + input.name;
        QFile f(QString::fromStdString(in));
        f.open(QIODevice::WriteOnly);
        f.write(input.data);
        f.close();
        // In process, memory to memory.
        for (auto [tag, mode] : {std::pair{"FAST", TCompressMode::Fast}, {"GOOD", TCompressMode::Good}}) {
            QByteArray packed;
            const double tc = bestOf(mode == TCompressMode::Good ? 1 : reps, [&] { packed = lzrw1::compress(input.data, mode); });
            QByteArray back;
            const double te = bestOf(reps, [&] { back = lzrw1::decompress(packed); });
            if (back != input.data) {
                std::fprintf(stderr, "bench_codec: %s does not round-trip\n", tag);
                return 1;
            }
            rows.push_back({input.name, std::string(tag) + " in process", double(packed.size()) / double(input.data.size()),
                            mb / tc, mb / te});
        }
        for (const Coder& c : coders) {
            const std::string packed = in + ".packed", back = in + ".back";
            const double tc = bestTime(c, true, in, packed, reps) - startup[0][c.name];
            const double te = bestTime(c, false, packed, back, reps) - startup[1][c.name];
            const qint64 packedSize = QFileInfo(QString::fromStdString(packed)).size();
            QFile b(QString::fromStdString(back));
            if (!b.open(QIODevice::ReadOnly) || b.readAll() != input.data) {
                std::fprintf(stderr, "bench_codec: %s does not round-trip\n", c.name.c_str());
                return 1;
            }
            rows.push_back({input.name, c.name, double(packedSize) / double(input.data.size()), mb / tc, mb / te});
        }
        std::printf("%s: %.1f MB\n", input.name, mb);
    }
    std::printf("\n| input | coder | ratio (out/in) | compress MB/s | expand MB/s |\n|---|---|---:|---:|---:|\n");
    for (const Row& r : rows)
        std::printf("| %s | %s | %.3f | %.1f | %s |\n", r.input.c_str(), r.coder.c_str(), r.ratio, r.compressMBs,
                    r.expandMBs > 0 ? QByteArray::number(r.expandMBs, 'f', 1).constData() : "-");
    std::printf("\nMB/s = 10^6 bytes of the uncompressed input per CPU second (user + system); commands:\n"
                "least of %d runs less the least of %d runs on an empty file (start-up subtracted, s): ", reps, reps);
    for (const Coder& c : coders)
        std::printf("%s %.3f/%.3f  ", c.name.c_str(), startup[0][c.name], startup[1][c.name]);
    std::printf("\n");
    auto find = [&](const std::string& input, const std::string& coder) {
        for (const Row& r : rows)
            if (r.input == input && r.coder == coder)
                return r;
        return Row{};
    };
    const Row fast = find("strip", "FAST in process"), fastCli = find("strip", "qvtool FAST");
    const Row gz = find("strip", "gzip -1"), lz = find("strip", "lz4 -1");
    std::printf("\nstrip: FAST compress / gzip -1 compress = %.2fx in process, %.2fx as commands\n",
                fast.compressMBs / gz.compressMBs, fastCli.compressMBs / gz.compressMBs);
    std::printf("strip: FAST expand / lz4 -d = %.2fx in process, %.2fx as commands\n", fast.expandMBs / lz.expandMBs,
                fastCli.expandMBs / lz.expandMBs);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Own flags first: --table prints the comparison, --qvtool=PATH, --reps=N,
    // --write-inputs=DIR saves the three inputs and stops.
    bool table = false;
    std::string writeInputs;
    std::string qvtool;
    int reps = 5;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--table")
            table = true;
        else if (a.rfind("--qvtool=", 0) == 0)
            qvtool = a.substr(9);
        else if (a.rfind("--write-inputs=", 0) == 0)
            writeInputs = a.substr(15);
        else if (a.rfind("--reps=", 0) == 0)
            reps = std::max(1, std::atoi(a.c_str() + 7));
        else
            rest.push_back(argv[i]);
    }
    if (qvtool.empty()) {
        char self[4096];
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        self[n > 0 ? n : 0] = 0;
        qvtool = QFileInfo(QString::fromUtf8(self)).absolutePath().toStdString() + "/../qvtool";
    }
    if (!writeInputs.empty()) {
        for (const Input& input : inputs()) {
            QFile f(QDir(QString::fromStdString(writeInputs)).filePath(input.name));
            if (!f.open(QIODevice::WriteOnly) || f.write(input.data) != input.data.size())
                return 1;
        }
        return 0;
    }
    int restc = int(rest.size());
    benchmark::Initialize(&restc, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restc, rest.data()))
        return 2;
    registerInProcess();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return table ? printTable(qvtool, reps) : 0;
}
