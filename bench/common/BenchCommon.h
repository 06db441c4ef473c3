// Shared by the benchmark programs: a QueryPerformanceCounter clock, the
// collection of repetitions into median and minimum, child processes, and a
// digest of a key tree that tells whether two trees hold the same things.
#pragma once
#include <windows.h>
#include <cstring>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

// The arguments every benchmark takes: a results file, and --quick.
struct Arguments {
    const char* resultsPath = nullptr;
    bool quick = false;
};
inline Arguments ParseArguments(int argc, char** argv)
{
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0)
            arguments.quick = true;
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
};

inline std::string Format(const char* fmt, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, fmt, value);
    return text;
}

// Milliseconds with three significant places below 1 ms.
inline std::string FormatMs(double ms)
{
    if (ms >= 100)
        return Format("%.0f", ms);
    if (ms >= 10)
        return Format("%.1f", ms);
    if (ms >= 1)
        return Format("%.2f", ms);
    return Format("%.4f", ms);
}

inline std::string FormatRatio(const Series& s, const Series* base)
{
    if (!base || base == &s || s.failed || base->failed || s.ms.empty() || base->ms.empty() || base->Median() <= 0)
        return "-";
    return Format("%.3gx", s.Median() / base->Median());
}

// Runs a command line with no window and no console output and waits for it.
// Returns the exit code, or -1 when the program could not be started.
inline long RunChild(const std::string& commandLine)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE nul = ::CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                               OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul;
    si.hStdOutput = nul;
    si.hStdError = nul;
    PROCESS_INFORMATION pi = {};
    std::vector<char> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back('\0');
    BOOL started = ::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                    nullptr, &si, &pi);
    if (nul != INVALID_HANDLE_VALUE)
        ::CloseHandle(nul);
    if (!started)
        return -1;
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return static_cast<long>(code);
}

// What a key tree holds, independent of enumeration order: the number of keys
// and values, the bytes of data, and a sum of per-value hashes over the
// value's path below the root, name, type and data. Key classes are left out
// (a regedit round trip does not carry them).
struct TreeDigest {
    uint64_t keys = 0;
    uint64_t values = 0;
    uint64_t bytes = 0;
    uint64_t hash = 0;
    bool readable = true;

    bool operator==(const TreeDigest& o) const
    {
        return readable && o.readable && keys == o.keys && values == o.values && bytes == o.bytes && hash == o.hash;
    }
    std::string Describe() const
    {
        char text[160];
        std::snprintf(text, sizeof text, "%llu keys, %llu values, %llu bytes%s", (unsigned long long)keys,
                      (unsigned long long)values, (unsigned long long)bytes, readable ? "" : " (unreadable)");
        return text;
    }
};

inline uint64_t Fnv(uint64_t h, const void* data, size_t size)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= 1099511628211ULL;
    }
    return h;
}

// name holds 16,384 characters, the longest value name.
inline void DigestKey(HKEY key, const std::string& path, TreeDigest& d, std::vector<BYTE>& data, char* name)
{
    d.keys++;
    const DWORD nameSize = 16384;
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = nameSize, type = 0, size = static_cast<DWORD>(data.size());
        LONG rc = ::RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA) {
            data.resize(size + 1);
            --i;
            continue;
        }
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS) {
            d.readable = false;
            return;
        }
        uint64_t h = Fnv(14695981039346656037ULL, path.data(), path.size());
        h = Fnv(h, "|", 1);
        h = Fnv(h, name, nameLen);
        h = Fnv(h, &type, sizeof type);
        h = Fnv(h, data.data(), size);
        d.values++;
        d.bytes += size;
        d.hash += h;
    }
    for (DWORD j = 0;; ++j) {
        DWORD nameLen = nameSize;
        LONG rc = ::RegEnumKeyExA(key, j, name, &nameLen, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS) {
            d.readable = false;
            return;
        }
        HKEY sub;
        if (::RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) {
            d.readable = false;
            return;
        }
        DigestKey(sub, path + "\\" + name, d, data, name);
        ::RegCloseKey(sub);
    }
}

inline TreeDigest Digest(HKEY root, const std::string& path)
{
    TreeDigest d;
    HKEY key;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        d.readable = false;
        return d;
    }
    std::vector<BYTE> data(1 << 20);
    std::vector<char> name(16384);
    DigestKey(key, "", d, data, name.data());
    ::RegCloseKey(key);
    return d;
}

// Writes text to the console and to the results file, if one is open.
class Output {
public:
    explicit Output(const char* path)
    {
        if (path && *path)
            m_file = std::fopen(path, "a");
    }
    ~Output()
    {
        if (m_file)
            std::fclose(m_file);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Line(const std::string& text)
    {
        std::fputs(text.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        if (m_file) {
            std::fputs(text.c_str(), m_file);
            std::fputc('\n', m_file);
            std::fflush(m_file);
        }
    }

private:
    FILE* m_file = nullptr;
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
