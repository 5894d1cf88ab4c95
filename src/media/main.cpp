// trelvo-media: tools for product teams that build Trelvo media.
//
//   trelvo-media check MEDIUM [--exe NAME] [--codepage N] [--json] [--strict]
//   trelvo-media preview MEDIUM [-o FILE.png] [--exe NAME] [--launcher PATH] [--dpi N] [--keep-open]
//   trelvo-media iso MEDIUM -o FILE.iso [--label LABEL] [--exe NAME] [--force]
//   trelvo-media sign EXE --pfx FILE [--password-file F] [--name TEXT] [--url URL] [--timestamp URL] [--ca FILE]
//
// preview, iso and sign drive Debian's tools and exist in the Linux build only.
//
// Exit status: 0 no error, 1 an error (with --strict also a warning),
// 2 a usage error, 3 the checker itself failed.
#include <CLI/CLI.hpp>

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "config/Utf8.h"
#include "media/Check.h"
#ifndef _WIN32
#include "media/DiscCommands.h"
#endif
#include "media/Medium.h"
#include "media/Platform.h"
#include "media/Report.h"

namespace {

using namespace trelvo::media;

constexpr int kUsageError = 2;
constexpr int kCheckerFailed = 3;

int Usage(const std::string& message)
{
    WriteOutput("trelvo-media: " + message + "\n", true);
    return kUsageError;
}

int Run(const std::vector<std::string>& arguments)
{
    CLI::App app{"Tools for Trelvo installation media.", "trelvo-media"};
    app.require_subcommand(1);
    CLI::App* check = app.add_subcommand(
        "check", "Check a medium: every problem at once, and what the launcher will do with it.");
    std::string medium, exe;
    unsigned codePage = 1252;
    bool json = false, strict = false;
    check->add_option("MEDIUM", medium, "The folder that will be the launcher's current directory")->required();
    CLI::Option* exeOption = check->add_option("--exe", exe, "The launcher's file name, e.g. setup.exe");
    check->add_option("--codepage", codePage, "System code page of the machines the medium is for")
        ->check(CLI::Range(1u, 65535u));
    check->add_flag("--json", json, "One JSON document instead of text");
    check->add_flag("--strict", strict, "A warning also fails the check");
#ifndef _WIN32
    DiscCommands disc;
    AddDiscCommands(app, disc);
#endif

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    if (!reversed.empty()) reversed.pop_back();  // the program's own name
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        WriteOutput(app.help());
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        WriteOutput(app.help("", CLI::AppFormatMode::All));
        return 0;
    } catch (const CLI::ParseError& error) {
        std::vector<CLI::App*> chosen = app.get_subcommands();
        std::string help = chosen.empty() ? app.help() : chosen.front()->help();
        return Usage(std::string(error.what()) + "\n\n" + help);
    }

#ifndef _WIN32
    if (std::optional<int> status = RunDiscCommand(disc)) return *status;
#endif
    CheckOptions options;
    options.mediumText = trelvo::FromUtf8(medium);
#ifdef _WIN32
    options.medium = PathFromText(options.mediumText);
#else
    options.medium = medium;  // the bytes as given, whatever their encoding
#endif
    if (exeOption->count() > 0) options.exe = trelvo::FromUtf8(exe);
    options.codePage = codePage;
    CheckOutcome outcome = CheckMedium(options);
    if (!outcome.report) return Usage(trelvo::ToUtf8(outcome.usageError));
    WriteOutput(json ? JsonReport(*outcome.report) : TextReport(*outcome.report));
    return ExitStatus(*outcome.report, strict);
}

int Guarded(const std::vector<std::string>& arguments)
{
    try {
        return Run(arguments);
    } catch (const std::bad_alloc&) {
        WriteOutput("trelvo-media: out of memory\n", true);
    } catch (const std::exception& error) {
        WriteOutput(std::string("trelvo-media: internal error: ") + error.what() + "\n", true);
    } catch (...) {
        WriteOutput("trelvo-media: internal error\n", true);
    }
    return kCheckerFailed;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(trelvo::ToUtf8(argv[i]));
    return Guarded(arguments);
}
#else
int main(int argc, char** argv)
{
    return Guarded(std::vector<std::string>(argv, argv + argc));
}
#endif
