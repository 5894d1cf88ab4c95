// Fuzzes the whole start-up over the in-memory host: the fuzzed bytes are
// D:\Media\setup.ini, then one window event follows if the window is up.
//
// Input: the INI file's bytes, then optionally the two bytes NUL '@' and
// control bytes (the part after the last NUL '@'):
//   [0] the window event: 0-4 click that button, 5 close the window,
//       6 click index -1, 7 click index 5 (both ignored); absent: click 0
//   [1] what starting a command gives: 0 started, 1 needs elevation and the
//       elevated start works, 2 needs elevation and the prompt is declined,
//       3 fails (file not found), 4 fails as no program (error 193),
//       5 fails as no program and the shell cannot open it either
//   [2] files, by bits: 0-1 picture (0 splash.bmp, 1 a file named by the
//       rest of the control bytes, 2 none, 3 splash.bmp that cannot be
//       decoded), 2 setup.ico exists, 3 setup.ico cannot be decoded,
//       4 there is no setup.ini, 5 splash.bmp is a folder
//   [3...] the picture's file name, for picture choice 1
//
// Checked: the run ends in exactly one of these ways, after start-up and
// again after the event: one action started and exit code Success; nothing
// started and Success ("exit", or the window closed); the window ready to
// show, with nothing ended and no message; or one message box and an exit
// code naming the failure. On top of that, silent mode and the window's
// contents are compared with what the INI file says.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "config/ProfileText.h"
#include "config/TextConversions.h"
#include "launch/CommandLine.h"
#include "support/MemoryHost.h"
#include "window/frmSplash.h"

namespace {

using namespace trelvo;
using trelvo::fuzz::TextFromBytes;

const std::wstring kIni = L"D:\\Media\\setup.ini";

// A value as the launcher reads it: a 254-character cut, and the text
// "False" for an absent or empty key.
std::wstring IniText(const MemoryHost& host, const std::wstring& section, const std::wstring& key)
{
    const std::string* bytes = host.FileBytes(kIni);
    wchar_t buffer[256];
    std::uint32_t count = ReadProfileText(bytes ? *bytes : std::string(), section, key, L"", buffer, 255);
    return count < 1 ? L"False" : std::wstring(buffer, count);
}

enum class Outcome { ActionStarted, EndedQuietly, WindowReady, FailureReported };

// Sorts the host's record into one of the four ways a run can stand; stops
// the fuzzer when it fits none.
Outcome Classify(const MemoryHost& host, bool ended)
{
    const size_t actions = host.started.size() + host.elevated.size() + host.opened.size();
    FUZZ_REQUIRE(ended == host.exitCode.has_value());
    if (!ended) {
        FUZZ_REQUIRE(host.messages.empty());
        FUZZ_REQUIRE(actions == 0);
        FUZZ_REQUIRE(host.window.has_value());
        return Outcome::WindowReady;
    }
    if (*host.exitCode == ExitCode::Success) {
        FUZZ_REQUIRE(host.messages.empty());
        FUZZ_REQUIRE(actions <= 1);
        return actions == 1 ? Outcome::ActionStarted : Outcome::EndedQuietly;
    }
    FUZZ_REQUIRE(host.messages.size() == 1);
    FUZZ_REQUIRE(actions == 0);
    FUZZ_REQUIRE(*host.exitCode == ExitCode::MissingConfiguration || *host.exitCode == ExitCode::MissingPicture ||
                 *host.exitCode == ExitCode::UncheckedFailure);
    return Outcome::FailureReported;
}

struct Controls {
    int event = 0;
    int start = 0;
    int files = 0;
    std::string_view pictureName;
};

// What starting `command` gives, set up on the host before the launcher runs it.
void PrepareStart(MemoryHost& host, const std::wstring& command, int start)
{
    if (start == 1 || start == 2) host.startOutcomes[command] = {kErrorElevationRequired, L"Elevation required."};
    if (start == 2) host.elevatedOutcome = StartOutcome{1223, L"The operation was cancelled by the user."};
    if (start == 3) host.startOutcomes[command] = {2, L"The system cannot find the file specified."};
    if (start >= 4) host.startOutcomes[command] = {193, L"Bad EXE format."};
    if (start == 5) host.shellOutcome = StartOutcome{1155, L"No application is associated."};
}

// After DoAction(action) ended the program: the record `start` calls for.
void CheckActionRun(const MemoryHost& host, const std::wstring& action, int start, size_t messagesBefore)
{
    const std::wstring command = ToLowerCase(action);
    FUZZ_REQUIRE(host.exitCode.has_value());
    if (command == L"exit") {
        FUZZ_REQUIRE(*host.exitCode == ExitCode::Success);
        FUZZ_REQUIRE(host.started.empty() && host.elevated.empty());
        return;
    }
    switch (start) {
    case 0:
        FUZZ_REQUIRE(*host.exitCode == ExitCode::Success);
        FUZZ_REQUIRE(host.started.size() == 1 && host.started[0] == command && host.elevated.empty());
        break;
    case 1: {
        FUZZ_REQUIRE(*host.exitCode == ExitCode::Success);
        FUZZ_REQUIRE(host.started.empty() && host.elevated.size() == 1);
        // The shell gets a program file that exists and the command's tail as
        // its parameters, or (when no file was found) the line split at its
        // first token as before.
        const std::wstring& record = host.elevated[0];
        CommandParts split = SplitCommandLine(command);
        bool fits = record == split.program + L"|" + split.parameters && command.find(split.program) != std::wstring::npos;
        for (size_t bar = record.find(L'|'); !fits && bar != std::wstring::npos; bar = record.find(L'|', bar + 1)) {
            const std::wstring parameters = record.substr(bar + 1);
            fits = host.FileBytes(record.substr(0, bar)) != nullptr && parameters.size() < command.size() &&
                   command.ends_with(parameters);
        }
        FUZZ_REQUIRE(fits);
        break;
    }
    default:
        FUZZ_REQUIRE(host.started.empty() && host.elevated.empty());
        if (host.opened.empty()) {
            FUZZ_REQUIRE(*host.exitCode == ExitCode::UncheckedFailure);
            FUZZ_REQUIRE(host.messages.size() == messagesBefore + 1);
            FUZZ_REQUIRE(host.messages.back().find(command) != std::wstring::npos);  // names the command
            break;
        }
        // Handed to the shell: a document only for "no program", a folder,
        // or a URL; opened in the current directory.
        FUZZ_REQUIRE(start != 5 && *host.exitCode == ExitCode::Success && host.opened.size() == 1);
        FUZZ_REQUIRE(host.opened[0].ends_with(L"|" + host.currentDirectory));
        const std::wstring& record = host.opened[0];
        bool fits = false;
        for (size_t bar = record.find(L'|'); !fits && bar != std::wstring::npos; bar = record.find(L'|', bar + 1)) {
            const std::wstring file = record.substr(0, bar);
            const bool document = start == 4 && host.FileBytes(file) != nullptr;
            const bool folder = host.IsFolder(file) && (command == file || command == L"\"" + file + L"\"");
            const size_t colon = command.find(L':');
            const bool url = file == command && colon != std::wstring::npos && colon >= 2;
            fits = document || folder || url;
        }
        FUZZ_REQUIRE(fits);
        break;
    }
}

// The window as start-up leaves it, against the INI file.
void CheckWindow(const MemoryHost& host, const frmSplash& form)
{
    const MemoryWindow& window = *host.window;
    int expectedCount = 0;
    for (int n = 1; n <= frmSplash::kButtons; ++n) {
        const std::wstring section = L"BUTTON" + std::to_wstring(n);
        std::optional<bool> show = ParseBooleanText(IniText(host, section, L"Show"));
        FUZZ_REQUIRE(show.has_value());  // a start-up that got this far read them all
        if (!*show) continue;
        FUZZ_REQUIRE(window.buttons[expectedCount].caption == IniText(host, section, L"Caption"));
        FUZZ_REQUIRE(form.ButtonAction(expectedCount) == IniText(host, section, L"Action"));
        ++expectedCount;
    }
    FUZZ_REQUIRE(form.ButtonCount() == expectedCount);
    for (int i = 0; i < frmSplash::kButtons; ++i) {
        FUZZ_REQUIRE(window.buttons[i].visible == (i < expectedCount));
        FUZZ_REQUIRE(window.buttons[i].left >= 0 && window.buttons[i].left + 1395 <= 7215);
        if (i >= expectedCount) FUZZ_REQUIRE(form.ButtonAction(i).empty());
    }

    FUZZ_REQUIRE(window.caption == IniText(host, L"DIALOG", L"Caption"));
    FUZZ_REQUIRE(window.backColor.has_value());
    FUZZ_REQUIRE(std::optional<std::int32_t>(std::int32_t(*window.backColor)) ==
                 ParseNumber(frmSplash::RgbToHexColor(IniText(host, L"DIALOG", L"BackColor"))));

    const std::wstring picture = IniText(host, L"DIALOG", L"Picture");
    FUZZ_REQUIRE(window.picture == picture);
    FUZZ_REQUIRE(host.files.count(host.FullPath(picture)) == 1);
    FUZZ_REQUIRE(!host.IsFolder(picture));  // a folder is never the picture
    FUZZ_REQUIRE(host.unreadableImages.count(host.FullPath(picture)) == 0);

    const std::wstring icon = IniText(host, L"DIALOG", L"Icon");
    const bool iconThere = host.files.count(host.FullPath(icon)) == 1 && !host.IsFolder(icon);
    FUZZ_REQUIRE(window.icon == (iconThere ? icon : L""));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view ini = input;
    Controls controls;
    if (size_t mark = input.rfind(std::string_view("\0@", 2)); mark != std::string_view::npos) {
        ini = input.substr(0, mark);
        std::string_view c = input.substr(mark + 2);
        auto byte = [&](size_t i) { return i < c.size() ? static_cast<unsigned char>(c[i]) : 0; };
        controls.event = byte(0) % 8;
        controls.start = byte(1) % 6;
        controls.files = byte(2);
        if (c.size() > 3) controls.pictureName = c.substr(3);
    }

    MemoryHost host;
    FUZZ_REQUIRE(host.currentDirectory == L"D:\\Media" && host.executableBaseName == L"setup");
    if (!(controls.files & 16)) host.AddFile(L"setup.ini", std::string(ini));
    switch (controls.files & 3) {
    case 0: host.AddFile(L"splash.bmp", "BM"); break;
    case 1: host.AddFile(TextFromBytes(controls.pictureName), "BM"); break;
    case 2: break;
    case 3:
        host.AddFile(L"splash.bmp", "not a picture");
        host.unreadableImages.insert(host.FullPath(L"splash.bmp"));
        break;
    }
    if (controls.files & 4) host.AddFile(L"setup.ico", "icon");
    if (controls.files & 8) host.unreadableImages.insert(host.FullPath(L"setup.ico"));
    if (controls.files & 32) host.AddFolder(L"splash.bmp");  // replaces a file of that name
    PrepareStart(host, L"", controls.start);  // a hidden button's empty action

    const bool iniThere = host.files.count(host.FullPath(kIni)) == 1 && !host.IsFolder(kIni);
    std::optional<bool> dialog;
    std::wstring silentAction;
    if (iniThere) {
        dialog = ParseBooleanText(IniText(host, L"DIALOG", L"Show"));
        if (dialog == false) {
            silentAction = IniText(host, L"DIALOG", L"DefaultAction");
            PrepareStart(host, ToLowerCase(silentAction), controls.start);
        }
    }

    // Start-up.
    frmSplash form(host);
    bool ended = false;
    try {
        form.Run([&] { form.Form_Initialize(); });
    } catch (const ProgramEnded& end) {
        ended = true;
        FUZZ_REQUIRE(host.exitCode == end.code);
    }
    const Outcome first = Classify(host, ended);
    FUZZ_REQUIRE(form.IniFile() == kIni);

    if (!iniThere) {
        FUZZ_REQUIRE(first == Outcome::FailureReported && host.exitCode == ExitCode::MissingConfiguration);
        FUZZ_REQUIRE(host.reads.empty() && !host.window);
        return 0;
    }
    FUZZ_REQUIRE(host.exitCode != ExitCode::MissingConfiguration);
    if (!dialog) {  // DIALOG/Show is no boolean
        FUZZ_REQUIRE(first == Outcome::FailureReported && host.exitCode == ExitCode::UncheckedFailure);
        FUZZ_REQUIRE(!host.window);
        return 0;
    }
    if (!*dialog) {  // silent mode: the default action, no window
        CheckActionRun(host, silentAction, controls.start, 0);
        FUZZ_REQUIRE(!host.window);
        return 0;
    }
    if (first == Outcome::FailureReported) {
        if (host.exitCode == ExitCode::MissingPicture) {
            const std::wstring prefix = L"Couldn't find splash screen picture - ";
            const std::wstring picture = IniText(host, L"DIALOG", L"Picture");
            FUZZ_REQUIRE(host.messages[0] == prefix + picture);
            FUZZ_REQUIRE(host.files.count(host.FullPath(picture)) == 0 || host.IsFolder(picture));
        }
        return 0;
    }
    FUZZ_REQUIRE(first == Outcome::WindowReady);
    CheckWindow(host, form);

    // One event from the window, through the interface the platform uses.
    WindowEvents& events = form;
    const size_t messagesBefore = host.messages.size();
    ended = false;
    int index = controls.event <= 4 ? controls.event : controls.event == 6 ? -1 : 5;
    std::wstring action;
    if (controls.event <= 4) {
        action = form.ButtonAction(index);
        PrepareStart(host, ToLowerCase(action), controls.start);
    }
    try {
        if (controls.event == 5) events.WindowClosing();
        else events.ButtonClicked(index);
    } catch (const ProgramEnded& end) {
        ended = true;
        FUZZ_REQUIRE(host.exitCode == end.code);
    }
    const Outcome second = Classify(host, ended);
    if (controls.event == 5) {
        FUZZ_REQUIRE(second == Outcome::EndedQuietly);
    } else if (controls.event >= 6) {
        FUZZ_REQUIRE(second == Outcome::WindowReady);  // no such button: nothing happens
    } else {
        FUZZ_REQUIRE(second != Outcome::WindowReady);
        CheckActionRun(host, action, controls.start, messagesBefore);
    }
    return 0;
}
