// UTF-8 to and from the program's wide text. Wide text holds UTF-16 code
// units on every platform (the launcher's own rule, so a Linux build sees
// the same strings as Windows): characters beyond U+FFFF are surrogate pairs.
#pragma once

#include <string>
#include <string_view>

namespace trelvo {

// Each maximal piece of bytes that starts no well-formed sequence (a stray
// or missing continuation byte, an overlong form, a surrogate, beyond
// U+10FFFF) becomes one U+FFFD.
std::wstring FromUtf8(std::string_view bytes);

// A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

}  // namespace trelvo
