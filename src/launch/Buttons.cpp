// The button table: sections BUTTON1 to BUTTON5, kept ones packed into slots.
#include "config/TextConversions.h"
#include "window/frmSplash.h"

namespace trelvo {

std::int16_t frmSplash::LoadButtons()
{
    std::int16_t count = 0;
    for (int n = 1; n <= kButtons; ++n) {
        std::wstring section = L"BUTTON" + ToDecimalDigits(n);
        if (!ReadIniBoolean(section, L"Show")) continue;
        Window().SetButtonCaption(count, ReadIniValue(IniFile_, section, L"Caption", L""));
        ButtonAction_[size_t(count)] = ReadIniValue(IniFile_, section, L"Action", L"");
        ++count;
    }
    return count;
}

}  // namespace trelvo
