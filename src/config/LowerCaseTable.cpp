// Lower case from the table generated from the Unicode character data.
#include "config/TextConversions.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace trelvo {
namespace {

// Every code point from first to last, step apart, lower-cases to itself
// plus delta.
struct LowerCaseRun {
    char32_t first, last;
    std::uint32_t step;
    std::int32_t delta;
};

constexpr LowerCaseRun kRuns[] = {
#include "config/LowerCaseRuns.inc"
};

char32_t LowerCodePoint(char32_t c)
{
    auto after = std::upper_bound(std::begin(kRuns), std::end(kRuns), c,
                                  [](char32_t value, const LowerCaseRun& run) { return value < run.first; });
    if (after == std::begin(kRuns)) return c;
    const LowerCaseRun& run = *std::prev(after);
    if (c > run.last || (c - run.first) % run.step != 0) return c;
    return char32_t(std::int64_t(c) + run.delta);
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::wstring ToLowerCaseByTable(std::wstring_view text)
{
    std::wstring lower(text);
    for (size_t i = 0; i < lower.size(); ++i) {
        auto unit = char32_t(lower[i]);
        if (IsHighSurrogate(unit) && i + 1 < lower.size() && IsLowSurrogate(char32_t(lower[i + 1]))) {
            // A pair stays a pair: every letter outside the Basic Multilingual
            // Plane lower-cases to another one there.
            char32_t low = LowerCodePoint(0x10000 + ((unit - 0xD800) << 10) + (char32_t(lower[i + 1]) - 0xDC00));
            lower[i] = wchar_t(0xD800 + ((low - 0x10000) >> 10));
            lower[i + 1] = wchar_t(0xDC00 + ((low - 0x10000) & 0x3FF));
            ++i;
        } else if (unit < 0x10000) {
            // A lone surrogate has no letter to map and is kept.
            lower[i] = wchar_t(LowerCodePoint(unit));
        }
    }
    return lower;
}

}  // namespace trelvo
