// The medium checker's table of media: each medium with the findings it must
// produce (code, severity, line), those it must not, and what the dry run
// must say. Framework-free, so the native unit tests (GoogleTest) and the
// Windows build under Wine (media_check_windows) run the very same table.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "media/Check.h"

namespace trelvo::testing {

struct Expected {
    const char* code;
    media::Severity severity;
    std::optional<int> line;  // none: the finding has no line
};

struct MediaCase {
    const char* name;
    std::vector<std::pair<std::wstring, std::string>> files;  // relative path -> bytes
    std::vector<std::wstring> folders = {};
    std::optional<std::wstring> exe = std::wstring(L"setup.exe");  // none: found on the medium
    unsigned codePage = 1252;
    std::vector<Expected> must = {};
    std::vector<const char*> mustNot = {};
    // The dry run; fields left empty are not checked.
    std::optional<std::string> mode = {};  // "silent", "dialog", "null"
    std::optional<std::wstring> start = {};
    std::optional<int> exitCode = {};         // of the stop message; 0: no stop
    std::optional<std::wstring> stopText = {};  // a part of the message
    std::optional<std::wstring> caption = {};
    std::vector<std::pair<std::wstring, int>> buttons = {};  // action, left twips
    bool checkButtons = false;
    std::optional<std::pair<int, int>> picture = {};  // width, height
};

// A 24-bit BMP of the given size.
std::string Bmp(int width, int height);
// Bytes of an ICO and a JPEG made with ImageMagick (16 x 16 and 4 x 4).
std::string SampleIco();
std::string SampleJpeg();

const std::vector<MediaCase>& MediaCases();

// Writes the case's medium into a fresh temporary folder, checks it, and
// returns one line per difference from what the case expects (none: it
// passed). The folder is removed afterwards.
std::vector<std::string> RunMediaCase(const MediaCase& c);

}  // namespace trelvo::testing
