#include "media/DiscCommands.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include "config/Utf8.h"
#include "media/Check.h"
#include "media/Iso.h"
#include "media/Medium.h"
#include "media/Platform.h"
#include "media/Preview.h"
#include "media/Report.h"
#include "media/Signing.h"

namespace fs = std::filesystem;

namespace trelvo::media {
namespace {

constexpr int kDone = 0, kRefused = 1, kUsage = 2, kToolFailed = 3;

void Say(const std::string& line) { WriteOutput(line + "\n"); }
void Complain(const std::string& line) { WriteOutput(line + "\n", true); }

int Usage(const std::string& command, const std::string& message)
{
    Complain("trelvo-media " + command + ": " + message);
    return kUsage;
}

// The checker's report on the medium, as `check` would make it.
std::optional<CheckReport> Check(const std::string& command, const std::string& medium, const std::string& exe,
                                 int& status)
{
    CheckOptions options;
    options.mediumText = FromUtf8(medium);
    options.medium = PathFromText(options.mediumText);
    if (!exe.empty()) options.exe = FromUtf8(exe);
    CheckOutcome outcome = CheckMedium(options);
    if (!outcome.report) status = Usage(command, ToUtf8(outcome.usageError));
    return outcome.report;
}

bool Inside(const fs::path& path, const fs::path& folder)
{
    std::error_code error;
    fs::path relative = fs::weakly_canonical(fs::absolute(path, error), error)
                            .lexically_relative(fs::weakly_canonical(fs::absolute(folder, error), error));
    return !relative.empty() && *relative.begin() != "..";
}

std::string FolderName(const std::string& medium)
{
    std::error_code error;
    fs::path absolute = fs::weakly_canonical(fs::absolute(medium, error), error);
    std::string name = absolute.filename().string();
    return name.empty() ? "CDROM" : name;
}

std::string Counted(int count, const std::string& noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string WithThousands(std::uintmax_t value)
{
    std::string digits = std::to_string(value);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3) digits.insert(size_t(at), ",");
    return digits;
}

int Preview(const DiscCommands& c)
{
    if (c.dpi != 96 && c.dpi != 120 && c.dpi != 144 && c.dpi != 192)
        return Usage("preview", "--dpi takes 96, 120, 144 or 192");
    int status = 0;
    std::optional<CheckReport> report = Check("preview", c.medium, c.exe, status);
    if (!report) return status;
    fs::path medium = PathFromText(report->medium);
    std::string launcherName = ToUtf8(report->launcher);

    fs::path launcher = c.launcher.empty() ? medium / launcherName : fs::path(c.launcher);
    if (!fs::is_regular_file(launcher))
        return Usage("preview", c.launcher.empty() ? "the medium has no " + launcherName +
                                                         "; name the launcher to show with --launcher PATH "
                                                         "(for example dist/trelvo.exe)"
                                                   : "no launcher at " + c.launcher);
    const DryRun& run = report->run;
    if (!run.stop && run.mode == std::optional<std::string>("silent"))
        return Usage("preview", "nothing to show: the medium is in silent mode, where the launcher shows no "
                                "window (it would start " + ToUtf8(run.start.value_or(L"")) + ")");

    fs::path output = c.output.empty() ? fs::path(FolderName(c.medium) + "-preview.png") : fs::path(c.output);
    if (Inside(output, medium)) return Usage("preview", "the PNG would be written inside the medium: " + output.string());

    PreviewRequest request;
    request.medium = medium;
    request.launcher = launcher;
    request.launcherName = launcherName;
    request.output = output;
    request.dpi = c.dpi;
    request.keepOpen = c.keepOpen;
    request.expectMessage = run.stop.has_value();
    request.expectedTitle = ToUtf8(run.stop ? run.stop->title : run.window ? run.window->caption : L"");
    PreviewResult result = RunPreview(request);
    if (result.outcome == PreviewOutcome::Failed) {
        Complain("trelvo-media preview: " + result.error);
        return kToolFailed;
    }
    Say("PNG: " + output.string() + " (" + std::to_string(result.width) + " x " + std::to_string(result.height) +
        " pixels at " + std::to_string(c.dpi) + " DPI)");
    if (result.outcome == PreviewOutcome::Message) {
        Say("message: " + ToUtf8(run.stop->text));
        return kRefused;
    }
    Say("window: " + result.title);
    return kDone;
}

int Iso(const DiscCommands& c)
{
    int status = 0;
    std::optional<CheckReport> report = Check("iso", c.medium, c.exe, status);
    if (!report) return status;
    int errors = report->Count(Severity::Error), warnings = report->Count(Severity::Warning);
    if (errors > 0 && !c.force) {
        WriteOutput(TextReport(*report), true);
        Complain("trelvo-media iso: refused: the medium has " + Counted(errors, "error") +
                 " (--force builds the image anyway)");
        return kRefused;
    }
    if (errors + warnings > 0)
        Complain("check: " + Counted(errors, "error") + ", " + Counted(warnings, "warning") + " (trelvo-media check " +
                 c.medium + " shows them)");

    std::string label = c.label;
    if (label.empty() && report->run.window && report->run.window->caption != L"False")
        label = ToUtf8(report->run.window->caption);
    if (label.empty()) label = FolderName(c.medium);

    IsoRequest request;
    request.medium = PathFromText(report->medium);
    request.output = c.output;
    request.launcher = ToUtf8(report->launcher);
    request.label = label;
    request.progress = ::isatty(2);
    IsoResult result = BuildIso(request, [](const std::string& line) { Complain("xorriso: " + line); });
    for (const std::string& note : result.notes) Complain("note: " + note);
    if (!result.written) {
        for (const std::string& name : result.nameErrors) Complain("error: " + name);
        Complain("trelvo-media iso: " + result.error + "; no image written");
        return kRefused;
    }
    if (result.autorunAdded)
        Say("added autorun.inf: open=" + request.launcher + ", icon=" + request.launcher + ",0, label=" + label);
    Say("wrote " + c.output + ": " + WithThousands(result.imageBytes) + " bytes, " + std::to_string(result.fileCount) +
        " files, volume ID " + result.volumeId + "; read back through its Joliet names and verified");
    return kDone;
}

int Sign(const DiscCommands& c)
{
    SignRequest request;
    request.executable = c.executable;
    request.pfx = c.pfx;
    if (!c.passwordFile.empty()) request.passwordFile = fs::path(c.passwordFile);
    if (!c.trustedCa.empty()) request.trustedCa = fs::path(c.trustedCa);
    request.name = c.name;
    request.url = c.url;
    request.timestampUrl = c.timestamp;
    SignResult result = SignExecutable(request);
    for (const std::string& warning : result.warnings) Complain("warning: " + warning);
    if (!result.signedOk) {
        Complain("trelvo-media sign: " + result.error + " (" + c.executable + " is unchanged)");
        return kRefused;
    }
    Say("signed " + c.executable + (c.timestamp.empty() ? " (no time stamp)" : " (time-stamped)") +
        "; verified; SHA-256 " + result.sha256);
    return kDone;
}

}  // namespace

void AddDiscCommands(CLI::App& app, DiscCommands& c)
{
    c.preview = app.add_subcommand("preview", "Photograph what a user sees first: the real launcher under Wine.");
    c.preview->add_option("MEDIUM", c.medium, "The medium's folder (copied; never changed)")->required();
    c.preview->add_option("-o", c.output, "The PNG to write (default: <folder>-preview.png here)");
    c.preview->add_option("--exe", c.exe, "The launcher's file name on the medium, e.g. setup.exe");
    c.preview->add_option("--launcher", c.launcher, "The launcher to show, e.g. dist/trelvo.exe (default: the medium's own)");
    c.preview->add_option("--dpi", c.dpi, "The screen's DPI: 96, 120, 144 or 192 (default 96)");
    c.preview->add_flag("--keep-open", c.keepOpen, "Leave the window up until it is closed");

    c.iso = app.add_subcommand("iso", "Build the disc image (ISO 9660 level 3, Joliet, Rock Ridge) and verify it.");
    c.iso->add_option("MEDIUM", c.medium, "The medium's folder: the disc's root")->required();
    c.iso->add_option("-o", c.output, "The image file to write")->required();
    c.iso->add_option("--label", c.label, "The volume label (default: the window caption, else the folder's name)");
    c.iso->add_option("--exe", c.exe, "The launcher's file name on the medium, e.g. setup.exe");
    c.iso->add_flag("--force", c.force, "Build even when the check finds errors");

    c.sign = app.add_subcommand("sign", "Add an Authenticode SHA-256 signature to a launcher, then verify it.");
    c.sign->add_option("EXE", c.executable, "The launcher to sign (signed in place)")->required();
    c.sign->add_option("--pfx", c.pfx, "The code-signing certificate and key (PKCS#12)")->required();
    c.sign->add_option("--password-file", c.passwordFile, "A file whose first line is the password (else asked)");
    c.sign->add_option("--name", c.name, "The product's name in the signature");
    c.sign->add_option("--url", c.url, "The product's web address in the signature");
    c.sign->add_option("--timestamp", c.timestamp, "A time-stamp server (default: no time stamp)");
    c.sign->add_option("--ca", c.trustedCa, "Certificates to trust when verifying (default: the system's)");
}

std::optional<int> RunDiscCommand(const DiscCommands& c)
{
    if (c.preview && c.preview->parsed()) return Preview(c);
    if (c.iso && c.iso->parsed()) return Iso(c);
    if (c.sign && c.sign->parsed()) return Sign(c);
    return std::nullopt;
}

}  // namespace trelvo::media
