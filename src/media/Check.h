// trelvo-media check: everything the checker finds on a medium, and the dry
// run of the launcher's own start-up over it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace trelvo::media {

enum class Severity { Error, Warning, Note };

struct Finding {
    Severity severity = Severity::Note;
    std::string code;                  // stable, e.g. "backcolor-invalid"
    std::optional<std::wstring> file;  // relative to the medium; none: the medium as a whole
    std::optional<int> line;           // 1-based
    std::optional<std::wstring> section;
    std::optional<std::wstring> key;
    std::wstring message;
};

struct StopRun {
    std::wstring title;
    std::wstring text;
    int exitCode = 0;
};

struct PictureRun {
    std::wstring path;  // as written in the INI
    int width = 0;
    int height = 0;
    bool sizeKnown = true;  // false for a picture outside the medium, never looked at
};

struct ButtonRun {
    int slot = 0;
    std::wstring section;
    std::wstring caption;
    std::wstring action;  // exactly as a click would start it
    int leftTwips = 0;
};

struct WindowRun {
    std::wstring caption;
    std::uint32_t backColor = 0;  // 0x00BBGGRR
    std::optional<PictureRun> picture;
    std::optional<std::wstring> icon;  // none: the built-in icon
    std::vector<ButtonRun> buttons;
};

// What the launcher would do, at 96 DPI.
struct DryRun {
    std::optional<std::string> mode;  // "silent", "dialog", or none: stopped before it knew
    std::optional<StopRun> stop;
    std::optional<std::wstring> start;  // silent mode: the command line, or "exit"
    std::optional<WindowRun> window;
};

struct CheckOptions {
    std::filesystem::path medium;
    std::wstring mediumText;  // MEDIUM as given
    std::optional<std::wstring> exe;
    unsigned codePage = 1252;
};

struct CheckReport {
    std::wstring medium;
    std::wstring launcher;
    std::wstring ini;
    std::wstring launcherHow;  // how the launcher was chosen
    std::vector<Finding> findings;
    DryRun run;

    int Count(Severity severity) const;
};

struct CheckOutcome {
    std::optional<CheckReport> report;
    std::wstring usageError;  // set when there is no report
};

CheckOutcome CheckMedium(const CheckOptions& options);

// Pixels at 96 DPI for a length in twips (15 twips a pixel).
constexpr int PixelsAt96Dpi(int twips) { return twips / 15; }

}  // namespace trelvo::media
