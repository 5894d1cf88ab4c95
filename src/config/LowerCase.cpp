// The native build's lower case: the table generated from the Unicode data.
// The Windows build asks the system instead (platform/Win32LowerCase.cpp).
#include "config/TextConversions.h"

namespace trelvo {

std::wstring ToLowerCase(std::wstring_view text) { return ToLowerCaseByTable(text); }

}  // namespace trelvo
