// The checker's two outputs: compiler-style lines with a summary and the dry
// run in plain words, or one JSON document (its shape is in
// docs/trelvo-media-check.md).
#pragma once

#include <string>

#include "media/Check.h"

namespace trelvo::media {

std::string TextReport(const CheckReport& report);
std::string JsonReport(const CheckReport& report);

// 0: no error; 1: an error (with strict, a warning too).
int ExitStatus(const CheckReport& report, bool strict);

}  // namespace trelvo::media
