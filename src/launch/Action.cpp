// Running an action: "exit" ends the program; anything else is started as a
// command line first. Only when the process start fails is the shell asked
// to open the action as a document, a folder or a URL. Either way the
// program ends here.
#include <optional>

#include "config/TextConversions.h"
#include "launch/CommandLine.h"
#include "window/frmSplash.h"

namespace trelvo {
namespace {

// The process start's answers for a file that exists but is no program.
bool IsNotAProgram(std::uint32_t error)
{
    switch (error) {
    case 193:   // ERROR_BAD_EXE_FORMAT: not an image at all (a PDF, a text file)
    case 191:   // ERROR_INVALID_EXE_SIGNATURE: no image the system can run
    case 11:    // ERROR_BAD_FORMAT: a file of the wrong format
    case 1006:  // ERROR_FILE_INVALID: an empty file, which cannot be mapped
        return true;
    default:
        return false;
    }
}

// What the shell is to open for a command the process start refused with
// `error`: a document (the program part names a file that is no program),
// a folder (the whole text, one pair of enclosing quotes removed), or a
// URL. Nothing for anything else, which stays a command that cannot start.
std::optional<CommandParts> ShellTarget(Host& host, const std::wstring& command, std::uint32_t error)
{
    if (IsNotAProgram(error))
        if (std::optional<CommandParts> document = FindProgram(host, command)) return document;
    std::wstring folder = command;
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') folder = folder.substr(1, folder.size() - 2);
    if (!folder.empty() && host.FolderExists(folder)) return CommandParts{folder, L""};
    if (StartsWithUrlScheme(command)) return CommandParts{command, L""};
    return std::nullopt;
}

std::wstring Reason(const StartOutcome& outcome)
{
    return outcome.errorText + L" (error " + ToDecimalDigits(outcome.error) + L")";
}

}  // namespace

void frmSplash::DoAction(const std::wstring& action)
{
    std::wstring command = ToLowerCase(action);
    if (command != L"exit") {
        StartOutcome outcome = host_.StartProcess(command);
        if (outcome.error == kErrorElevationRequired) {
            // Installers that ask for administrator rights cannot be started
            // plainly from a normal process; the shell shows the consent prompt.
            // It is handed the program the process start found, as a full
            // path, so "d:\my setup\setup.exe /s" is not cut at its first blank.
            CommandParts parts = FindProgram(host_, command).value_or(SplitCommandLine(command));
            outcome = host_.StartElevated(parts.program, parts.parameters);
        } else if (outcome.error != 0) {
            if (std::optional<CommandParts> target = ShellTarget(host_, command, outcome.error)) {
                StartOutcome opened = host_.OpenThroughShell(target->program, target->parameters, host_.CurrentDirectory());
                if (opened.error != 0)
                    throw UncheckedFailure(L"Couldn't open\n\n" + command + L"\n\n" + Reason(opened));
                outcome = opened;
            }
        }
        if (outcome.error != 0)
            throw UncheckedFailure(L"Couldn't start the command line\n\n" + command + L"\n\n" + Reason(outcome));
    }
    host_.EndProgram(ExitCode::Success);
}

}  // namespace trelvo
