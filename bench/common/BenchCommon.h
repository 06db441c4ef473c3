// Shared by the benchmark programs: their arguments, a QueryPerformanceCounter
// clock, repetitions run in rounds and collected into median and minimum, and
// the tables they print. What they set up and check comes from the tests' kit
// (tests/driver/Driver.h).
#pragma once
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// A results file, --quick, and --tree NAME (of the benchmarks with several trees).
struct Arguments {
    const char* resultsPath = nullptr;
    bool quick = false;
    const char* tree = nullptr;
    bool Skips(const char* name) const { return tree && std::strcmp(tree, name) != 0; }
};
inline Arguments ParseArguments(int argc, char** argv)
{
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            arguments.quick = true;
        else if (std::strcmp(argv[i], "--tree") == 0 && i + 1 < argc)
            arguments.tree = argv[++i];
        else
            arguments.resultsPath = argv[i];
    }
    return arguments;
}

inline double NowMs()
{
    static const double perMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / perMs;
}

inline std::string Format(const char* fmt, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, fmt, value);
    return text;
}
// Milliseconds with three significant places below 1 ms.
inline std::string FormatMs(double ms)
{
    return Format(ms >= 100 ? "%.0f" : ms >= 10 ? "%.1f" : ms >= 1 ? "%.2f" : "%.4f", ms);
}
inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The timings of one method on one workload. The first failure ends it.
struct Series {
    std::string group; // the tree or the workload
    std::string method;
    int plannedReps = 0;
    std::vector<double> ms;
    std::string failure;

    bool Failed() const { return !failure.empty(); }
    double Median() const { return bench::Median(ms); }
    // The repetitions timed (of those planned, when fewer).
    std::string RepsText() const
    {
        const std::string reps = std::to_string(ms.size());
        return static_cast<int>(ms.size()) == plannedReps ? reps : reps + "/" + std::to_string(plannedReps);
    }
    std::string MedianText() const { return ms.empty() ? "FAILED" : FormatMs(Median()); }
    std::string MinText() const { return ms.empty() ? "-" : FormatMs(*std::min_element(ms.begin(), ms.end())); }
    std::string NoteText() const { return Failed() ? "FAILED: " + failure : ""; }
};

// The series of method among v; NULL when there is none.
inline const Series* FindSeries(const std::vector<Series>& v, const std::string& method)
{
    for (const Series& s : v)
        if (s.method == method)
            return &s;
    return nullptr;
}
inline std::string FormatRatio(const Series& s, const Series* base)
{
    if (!base || base == &s || s.Failed() || base->Failed() || s.ms.empty() || base->ms.empty() || base->Median() <= 0)
        return "-";
    return Format("%.3gx", s.Median() / base->Median());
}

// One method on one workload. Only run is timed; set-up comes before it, and
// finish after every repetition, also a failed one (it cleans up and checks
// the result of repetition rep). Each returns "" or what went wrong.
struct Trial {
    Series series;
    std::function<std::string()> setUp, run;
    std::function<std::string(int rep)> finish;
    int inner = 1; // calls of the method in one run: the time is divided by it
};

// Repetitions in rounds, each trial's next one in every round. rotate: each
// round starts with another trial, so that none always follows the same
// neighbour. verbose: every repetition's times are told as it ends. Returns
// the trials' series.
inline std::vector<Series> RunRounds(std::vector<Trial>& trials, const std::string& title, bool rotate, bool verbose = false)
{
    int rounds = 0;
    for (const Trial& trial : trials)
        rounds = std::max(rounds, trial.series.plannedReps);
    for (int rep = 0; rep < rounds; ++rep) {
        for (size_t k = 0; k < trials.size(); ++k) {
            Trial& trial = trials[rotate ? (k + rep) % trials.size() : k];
            Series& s = trial.series;
            if (rep >= s.plannedReps || s.Failed())
                continue;
            const double set = NowMs();
            std::string err = trial.setUp ? trial.setUp() : "";
            const double t0 = NowMs();
            if (err.empty())
                err = trial.run();
            const double t1 = NowMs();
            if (verbose)
                std::fprintf(stderr, "  %s: %s: set-up %.0f ms, run %.0f ms\n", title.c_str(), s.method.c_str(), t0 - set,
                             t1 - t0);
            const std::string finished = trial.finish ? trial.finish(rep) : "";
            if (err.empty() && finished.empty())
                s.ms.push_back((t1 - t0) / trial.inner);
            else
                s.failure = err.empty() ? finished : err;
        }
        std::fprintf(stderr, "  %s: round %d of %d\r", title.c_str(), rep + 1, rounds);
    }
    std::fprintf(stderr, "\n");
    std::vector<Series> series;
    for (const Trial& trial : trials)
        series.push_back(trial.series);
    return series;
}

// Writes lines to the console and to the results file, if one is open.
class Output {
public:
    explicit Output(const char* path) : m_file(path && *path ? std::fopen(path, "a") : nullptr, &std::fclose) {}
    void Lines(std::initializer_list<std::string> lines)
    {
        for (const std::string& text : lines)
            for (FILE* to : {stdout, m_file.get()})
                if (to)
                    std::fprintf(to, "%s\n", text.c_str()), std::fflush(to);
    }
    void Line(const std::string& text) { Lines({text}); }
    // Left-aligned columns, the first row the heading.
    void Table(const std::vector<std::vector<std::string>>& rows)
    {
        std::vector<size_t> width;
        for (const auto& row : rows)
            for (size_t c = 0; c < row.size(); ++c)
                width.resize(std::max(width.size(), row.size())), width[c] = std::max(width[c], row[c].size() + 2);
        for (size_t r = 0; r < rows.size(); ++r) {
            std::string line;
            for (size_t c = 0; c < rows[r].size(); ++c)
                line += c + 1 < rows[r].size() ? rows[r][c] + std::string(width[c] - rows[r][c].size(), ' ') : rows[r][c];
            Line(line);
            if (r == 0) {
                size_t total = 0;
                for (size_t w : width)
                    total += w;
                Line(std::string(total, '-'));
            }
        }
    }

private:
    std::unique_ptr<FILE, int (*)(FILE*)> m_file;
};

} // namespace bench
