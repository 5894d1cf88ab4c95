// Running an action: "exit" ends the program; anything else is started as a
// command line first. Either way the program ends here.
#include "config/TextConversions.h"
#include "launch/CommandLine.h"
#include "window/frmSplash.h"

namespace trelvo {

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
        }
        if (outcome.error != 0)
            throw UncheckedFailure(L"Couldn't start the command line\n\n" + command + L"\n\n" +
                                   outcome.errorText + L" (error " + ToDecimalDigits(outcome.error) + L")");
    }
    host_.EndProgram(ExitCode::Success);
}

}  // namespace trelvo
