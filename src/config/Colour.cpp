// Colour values: "red,green,blue" to the "&HBBGGRR" number text.
#include "config/TextConversions.h"
#include "window/frmSplash.h"

namespace trelvo {

std::wstring frmSplash::RgbToHexColor(const std::wstring& text)
{
    if (text.find(L',') == std::wstring::npos) return text;
    std::vector<std::wstring> parts = SplitText(text, L',');
    if (parts.size() < 3)
        throw UncheckedFailure(L"The colour \"" + text + L"\" has " + ToDecimalDigits(std::int64_t(parts.size())) +
                               L" parts; it needs three: red,green,blue (for example 47,31,107).");
    std::wstring digits[3];
    for (int i = 0; i < 3; ++i) {
        std::optional<std::int32_t> component = ParseNumber(parts[size_t(i)]);
        if (!component)
            throw UncheckedFailure(L"The colour \"" + text + L"\" has the part \"" + parts[size_t(i)] +
                                   L"\", which is not a number.");
        if (*component < 0)
            throw UncheckedFailure(L"The colour \"" + text + L"\" has the part \"" + parts[size_t(i)] +
                                   L"\", which is below 0.");
        digits[i] = ToHexDigits(*component);
        if (digits[i].size() < 2) digits[i].insert(0, 1, L'0');
    }
    return L"&H" + digits[2] + digits[1] + digits[0];
}

}  // namespace trelvo
