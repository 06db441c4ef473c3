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
#include <string>
#include <vector>

namespace bench {

// The arguments every benchmark takes: a results file, --quick, and
// --tree NAME (bench_treecopy's only).
struct Arguments {
    const char* resultsPath = nullptr;
    bool quick = false;
    const char* tree = nullptr;
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
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
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

// The timings of one method on one workload.
struct Series {
    std::string group;   // the tree or the workload
    std::string method;
    int plannedReps = 0;
    std::vector<double> ms;
    bool failed = false;
    std::string note;

    void Fail(const std::string& why)
    {
        if (!failed)
            note = why;
        failed = true;
    }
    double Median() const
    {
        if (ms.empty())
            return 0;
        std::vector<double> v(ms);
        std::sort(v.begin(), v.end());
        size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double Min() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
    // The table's cells: the repetitions timed (of those planned, when fewer).
    std::string RepsText() const
    {
        const std::string reps = std::to_string(ms.size());
        return static_cast<int>(ms.size()) == plannedReps ? reps : reps + "/" + std::to_string(plannedReps);
    }
    std::string MedianText() const { return ms.empty() ? "FAILED" : FormatMs(Median()); }
    std::string MinText() const { return ms.empty() ? "-" : FormatMs(Min()); }
    std::string NoteText() const { return failed ? "FAILED: " + note : ""; }
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
    if (!base || base == &s || s.failed || base->failed || s.ms.empty() || base->ms.empty() || base->Median() <= 0)
        return "-";
    return Format("%.3gx", s.Median() / base->Median());
}

// One method on one workload. Only run is timed; set-up comes before it, and
// finish after every repetition, also a failed one (it cleans up and checks
// the result of repetition rep). Each returns "" or what went wrong; the
// first fault ends the series.
struct Trial {
    Series series;
    std::function<std::string()> setUp, run;
    std::function<std::string(int rep)> finish;
    int inner = 1; // calls of the method in one run: the time is divided by it
};

// Repetitions in rounds, each trial's next one in every round. rotate: each
// round starts with another trial, so that none always follows the same
// neighbour. verbose: every repetition's times are told as it ends.
inline void RunRounds(std::vector<Trial>& trials, const std::string& title, bool rotate, bool verbose = false)
{
    int rounds = 0;
    for (const Trial& trial : trials)
        rounds = std::max(rounds, trial.series.plannedReps);
    for (int rep = 0; rep < rounds; ++rep) {
        for (size_t k = 0; k < trials.size(); ++k) {
            Trial& trial = trials[rotate ? (k + rep) % trials.size() : k];
            Series& s = trial.series;
            if (rep >= s.plannedReps || s.failed)
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
                s.Fail(err.empty() ? finished : err);
        }
        std::fprintf(stderr, "  %s: round %d of %d\r", title.c_str(), rep + 1, rounds);
    }
    std::fprintf(stderr, "\n");
}

// Writes text to the console and to the results file, if one is open.
class Output {
public:
    explicit Output(const char* path) : m_file(path && *path ? std::fopen(path, "a") : nullptr) {}
    ~Output()
    {
        if (m_file)
            std::fclose(m_file);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Line(const std::string& text)
    {
        for (FILE* to : {stdout, m_file})
            if (to)
                std::fprintf(to, "%s\n", text.c_str()), std::fflush(to);
    }

private:
    FILE* m_file;
};

// Left-aligned columns of a plain-text table.
inline void PrintTable(Output& out, const std::vector<std::vector<std::string>>& rows)
{
    if (rows.empty())
        return;
    std::vector<size_t> width(rows[0].size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size() && c < width.size(); ++c)
            width[c] = std::max(width[c], row[c].size());
    for (size_t r = 0; r < rows.size(); ++r) {
        std::string line;
        for (size_t c = 0; c < rows[r].size(); ++c) {
            std::string cell = rows[r][c];
            if (c + 1 < rows[r].size())
                cell.resize(width[c] + 2, ' ');
            line += cell;
        }
        out.Line(line);
        if (r == 0) {
            size_t total = 0;
            for (size_t w : width)
                total += w + 2;
            out.Line(std::string(total, '-'));
        }
    }
}

} // namespace bench
