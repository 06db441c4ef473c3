#include "ui/FailureText.h"
#include "framework/Text.h"
#include "resources/resource.h"

std::wstring FailureText(UINT messageId, const CSettingsFailure& failure)
{
    std::wstring text = Widen(LoadStr(messageId));
    if (failure.kind == CSettingsFailure::UNSPECIFIED)
        return text;
    std::wstring why = Widen(LoadStr(IDS_SETTINGS_FAILURE_BASE + failure.kind));
    size_t subject = why.find(L"%1");
    return text + L"\n" + (subject == std::wstring::npos ? why : why.replace(subject, 2, failure.subject));
}
