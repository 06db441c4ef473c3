#include "ui/FailureText.h"
#include "framework/Scoped.h"
#include "framework/Text.h"
#include "resources/resource.h"

namespace {
// The system's words for an error.
std::wstring SystemText(DWORD code)
{
    CLocalPtr<wchar_t> text;
    DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                        FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring words = length ? std::wstring(text, length) : std::to_wstring(code);
    while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r'))
        words.pop_back();
    return words;
}
}

std::wstring FailureText(UINT messageId, const CSettingsFailure& failure)
{
    std::wstring text = Widen(LoadStr(messageId));
    if (failure.kind == CSettingsFailure::UNSPECIFIED)
        return text;
    std::wstring detail = failure.kind == CSettingsFailure::PATH_REFUSED ? Widen(LoadStr(IDS_PATH_REFUSAL_BASE + failure.detail))
        : failure.kind == CSettingsFailure::FILE_FAILED                 ? SystemText(failure.detail)
                                                                        : std::wstring();
    return text + L"\n" + FormatText(IDS_SETTINGS_FAILURE_BASE + failure.kind, {failure.subject, detail});
}
