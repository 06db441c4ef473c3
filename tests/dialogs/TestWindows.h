// Hidden windows that host a single control for the dialog tests, so that
// the code of a dialog can be run on a real control without its template.
#pragma once
#include <windows.h>
#include <string>

class HiddenControl {
public:
    HiddenControl(const char* className, DWORD style)
    {
        m_parent = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300,
                                     nullptr, nullptr, nullptr, nullptr);
        m_control = ::CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style,
                                      0, 0, 300, 200, m_parent, nullptr, nullptr, nullptr);
    }
    ~HiddenControl() { ::DestroyWindow(m_parent); }
    HiddenControl(const HiddenControl&) = delete;
    HiddenControl& operator=(const HiddenControl&) = delete;

    HWND Get() const { return m_control; }

private:
    HWND m_parent;
    HWND m_control;
};

// The folder of this test program, with a trailing backslash.
inline std::string TestBinDir()
{
    char path[MAX_PATH] = "";
    ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path);
    size_t cut = 0;
    for (const char* p = path; *p; p = ::CharNextA(p)) {
        if (*p == '\\')
            cut = static_cast<size_t>(p - path) + 1;
    }
    return dir.substr(0, cut);
}

inline std::string SystemFile(const char* name)
{
    char dir[MAX_PATH] = "";
    ::GetSystemDirectoryA(dir, sizeof dir);
    return std::string(dir) + "\\" + name;
}
