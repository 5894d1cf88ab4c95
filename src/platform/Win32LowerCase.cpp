// The Windows build's lower case: the system's own mapping in the invariant
// locale, so the launcher carries no case table.
#include <windows.h>

#include <climits>

#include "config/TextConversions.h"
#include "platform/Host.h"

namespace trelvo {

std::wstring ToLowerCase(std::wstring_view text)
{
    if (text.empty()) return {};
    if (text.size() > INT_MAX) throw UncheckedFailure(L"The text is too long to convert to lower case.");
    auto map = [&](wchar_t* out, int size) {
        return LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), int(text.size()), out, size,
                             nullptr, nullptr, 0);
    };
    // Lower-casing keeps the length; asking first costs nothing and holds
    // even if a system ever decided otherwise.
    int size = map(nullptr, 0);
    std::wstring lower(size_t(size > 0 ? size : 0), L'\0');
    if (size <= 0 || map(lower.data(), size) != size)
        throw UncheckedFailure(L"The system could not convert this text to lower case (error " +
                               ToDecimalDigits(GetLastError()) + L"):\n\n" + std::wstring(text));
    return lower;
}

}  // namespace trelvo
