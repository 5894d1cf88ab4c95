#include "media/Report.h"

#include <nlohmann/json.hpp>

#include "config/TextConversions.h"
#include "config/Utf8.h"

namespace trelvo::media {
namespace {

using Json = nlohmann::ordered_json;

const char* SeverityName(Severity severity)
{
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: return "note";
    }
    return "note";
}

std::string Hex8(std::uint32_t value)
{
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) text += "0123456789ABCDEF"[(value >> shift) & 0xF];
    return text;
}

Json Text(const std::optional<std::wstring>& text) { return text ? Json(ToUtf8(*text)) : Json(nullptr); }

std::string Plural(int count, const char* word)
{
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// A text in double quotes, its line breaks shown as \n.
std::string Quoted(std::wstring_view text)
{
    std::string out = "\"";
    for (char c : ToUtf8(text)) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out + "\"";
}

}  // namespace

int CheckReport::Count(Severity severity) const
{
    int count = 0;
    for (const Finding& finding : findings) count += finding.severity == severity;
    return count;
}

int ExitStatus(const CheckReport& report, bool strict)
{
    if (report.Count(Severity::Error) > 0) return 1;
    if (strict && report.Count(Severity::Warning) > 0) return 1;
    return 0;
}

std::string TextReport(const CheckReport& report)
{
    std::string out;
    for (const Finding& f : report.findings) {
        out += ToUtf8(f.file ? *f.file : report.medium);
        if (f.line) out += ":" + std::to_string(*f.line);
        out += std::string(": ") + SeverityName(f.severity) + ": " + ToUtf8(f.message) + " [" + f.code + "]\n";
    }
    out += Plural(report.Count(Severity::Error), "error") + ", " + Plural(report.Count(Severity::Warning), "warning");
    if (int notes = report.Count(Severity::Note)) out += ", " + Plural(notes, "note");
    out += "\n\n";

    const DryRun& run = report.run;
    out += "Dry run of " + ToUtf8(report.launcher) + " (" + ToUtf8(report.launcherHow) + ") reading " +
           ToUtf8(report.ini) + ", at 96 DPI:\n";
    if (run.mode) out += "  Mode: " + *run.mode + "\n";
    if (run.stop) {
        out += "  It stops with a message box titled " + Quoted(run.stop->title) + " and ends with exit code " +
               std::to_string(run.stop->exitCode) + ":\n";
        out += "    " + Quoted(run.stop->text) + "\n";
    }
    if (run.start) {
        if (*run.start == L"exit") out += "  It starts nothing and ends (the action is exit).\n";
        else out += "  It starts this command line and ends: " + ToUtf8(*run.start) + "\n";
    }
    if (const auto& w = run.window) {
        out += "  It shows its window titled " + Quoted(w->caption) + ", background " + Hex8(w->backColor) + ".\n";
        if (w->picture && w->picture->sizeKnown)
            out += "  Picture: " + ToUtf8(w->picture->path) + ", " + std::to_string(w->picture->width) + " x " +
                   std::to_string(w->picture->height) + " pixels.\n";
        else if (w->picture)
            out += "  Picture: " + ToUtf8(w->picture->path) + ", outside the medium (not looked at).\n";
        out += "  Icon: " + (w->icon ? ToUtf8(*w->icon) : std::string("the built-in icon")) + ".\n";
        if (w->buttons.empty()) out += "  No button: closing the window is the only way out.\n";
        for (const ButtonRun& b : w->buttons) {
            out += "  Button " + std::to_string(b.slot + 1) + " [" + ToUtf8(b.section) + "] " + Quoted(b.caption) +
                   " at " + std::to_string(b.leftTwips) + " twips (" + std::to_string(PixelsAt96Dpi(b.leftTwips)) +
                   " px): ";
            out += b.action == L"exit" ? std::string("ends the launcher (exit)")
                                       : "starts " + ToUtf8(b.action);
            out += "\n";
        }
    }
    return out;
}

std::string JsonReport(const CheckReport& report)
{
    Json findings = Json::array();
    for (const Finding& f : report.findings) {
        findings.push_back({{"severity", SeverityName(f.severity)},
                            {"code", f.code},
                            {"file", Text(f.file)},
                            {"line", f.line ? Json(*f.line) : Json(nullptr)},
                            {"section", Text(f.section)},
                            {"key", Text(f.key)},
                            {"message", ToUtf8(f.message)}});
    }
    const DryRun& run = report.run;
    Json window = nullptr;
    if (const auto& w = run.window) {
        Json buttons = Json::array();
        for (const ButtonRun& b : w->buttons)
            buttons.push_back({{"slot", b.slot},
                               {"section", ToUtf8(b.section)},
                               {"caption", ToUtf8(b.caption)},
                               {"action", ToUtf8(b.action)},
                               {"left_twips", b.leftTwips},
                               {"left_px", PixelsAt96Dpi(b.leftTwips)}});
        Json picture = nullptr;
        if (w->picture)
            picture = {{"path", ToUtf8(w->picture->path)},
                       {"width", w->picture->sizeKnown ? Json(w->picture->width) : Json(nullptr)},
                       {"height", w->picture->sizeKnown ? Json(w->picture->height) : Json(nullptr)}};
        window = {{"caption", ToUtf8(w->caption)},
                  {"back_color", Hex8(w->backColor)},
                  {"picture", picture},
                  {"icon", Text(w->icon)},
                  {"buttons", buttons}};
    }
    Json stop = nullptr;
    if (run.stop) stop = {{"title", ToUtf8(run.stop->title)}, {"text", ToUtf8(run.stop->text)}, {"exit_code", run.stop->exitCode}};
    Json document = {{"medium", ToUtf8(report.medium)},
                     {"launcher", ToUtf8(report.launcher)},
                     {"ini", ToUtf8(report.ini)},
                     {"errors", report.Count(Severity::Error)},
                     {"warnings", report.Count(Severity::Warning)},
                     {"findings", findings},
                     {"run",
                      {{"mode", run.mode ? Json(*run.mode) : Json(nullptr)},
                       {"stop", stop},
                       {"start", Text(run.start)},
                       {"window", window}}}};
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace trelvo::media
