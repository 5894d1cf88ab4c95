// What the launcher needs from the machine it runs on. The Win32 host
// (Win32Host.cpp) is the real one; tests drive the same logic through the
// in-memory host (tests/support/MemoryHost.h).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <string_view>

namespace trelvo {

// A failure the program does not handle itself: reported once, at the top,
// in a stop-icon message box, after which the process ends.
class UncheckedFailure {
public:
    explicit UncheckedFailure(std::wstring message) : message_(std::move(message)) {}
    const std::wstring& Message() const { return message_; }

private:
    std::wstring message_;
};

// The exit status of every way out, the one table of them (also in the
// README). Every end goes through Host::EndProgram (the program's logic) or,
// on Windows, the one function behind it (win32::EndLauncher).
//
//   way out                                              message box   status
//   an action started, "exit", the window closed         none          Success
//   no INI file beside the name of the executable        its text      MissingConfiguration
//   the splash picture file does not exist               its text      MissingPicture
//   a failure the program does not handle (a value that
//   is no boolean or colour, an image that cannot be
//   loaded, a command that cannot be started), running
//   out of memory, a system bitmap refused, a crash, an
//   exception nobody caught, a container fault           names it      UncheckedFailure
//   a window-system function missing (a damaged system)  names it *    UncheckedFailure
//   (* when the message box itself can still be shown)
enum class ExitCode : int {
    Success = 0,
    MissingConfiguration = 1,
    MissingPicture = 2,
    UncheckedFailure = 3,
};

// A decoded splash picture; the window takes it over.
class Picture {
public:
    virtual ~Picture() = default;
};

// A window icon (its large and small image); the window takes it over. Not a
// Picture: one cannot be handed where the other belongs.
class Icon {
public:
    virtual ~Icon() = default;
};

// What the window reports back to the program's window object: a click on
// Button(index), and the window being closed from outside the program.
class WindowEvents {
public:
    virtual void ButtonClicked(int index) = 0;
    virtual void WindowClosing() = 0;

protected:
    ~WindowEvents() = default;
};

// The splash window and its five buttons. Lengths are twips.
class SplashWindow {
public:
    virtual ~SplashWindow() = default;
    virtual void SetCaption(const std::wstring& text) = 0;
    virtual void SetBackColor(std::uint32_t colour) = 0;  // 0x00BBGGRR
    virtual void SetPicture(std::unique_ptr<Picture> picture) = 0;
    virtual void SetIcon(std::unique_ptr<Icon> icon) = 0;
    virtual void SetButtonCaption(int index, const std::wstring& text) = 0;
    virtual void SetButtonLeft(int index, int twips) = 0;
    virtual void SetButtonVisible(int index, bool visible) = 0;
};

// Outcome of a process start: error 0 means the process is running.
struct StartOutcome {
    std::uint32_t error = 0;
    std::wstring errorText;  // the system's own words for the error
};

// The system's error code for a program that must be started elevated.
constexpr std::uint32_t kErrorElevationRequired = 740;

// Where the system's process start looks for a program named without a
// folder, besides the current directory.
struct ProgramSearchFolders {
    std::wstring launcherFolder;  // the folder of the running executable
    std::wstring systemFolder;    // the 32-bit system folder
    std::wstring windowsFolder;
    std::wstring path;            // the PATH environment value; empty when unset
    // False when the user has the current directory left out of the search
    // for names without a backslash (NoDefaultCurrentDirectoryInExePath).
    bool currentDirectory = true;
};

class Host {
public:
    virtual ~Host() = default;

    // Absolute path of the current directory; no trailing separator except
    // at a drive root ("C:\").
    virtual std::wstring CurrentDirectory() = 0;
    // The running executable's file name without its extension.
    virtual std::wstring ExecutableBaseName() = 0;
    // True only for an existing file; false for a folder or nothing.
    virtual bool FileExists(const std::wstring& path) = 0;

    // The profile routines, with the system's rules: names match in any
    // letter case, blanks around a value and one pair of enclosing quotes
    // are dropped, at most size-1 characters are copied and terminated.
    // Returns the number of characters copied.
    virtual std::uint32_t ReadProfileString(const std::wstring& section, const std::wstring& key,
                                            const std::wstring& fallback, wchar_t* buffer,
                                            std::uint32_t size, const std::wstring& file) = 0;
    virtual void WriteProfileString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& value, const std::wstring& file) = 0;

    // Decode an existing image file; throws UncheckedFailure naming the file
    // and the reason when it cannot.
    virtual std::unique_ptr<Picture> LoadPicture(const std::wstring& path) = 0;
    virtual std::unique_ptr<Icon> LoadIcon(const std::wstring& path) = 0;

    // The splash window, built on first use (silent mode never builds it).
    virtual SplashWindow& Window(WindowEvents& events) = 0;

    // Start a command line, window shown normally with the focus; never waits.
    virtual StartOutcome StartProcess(const std::wstring& commandLine) = 0;
    // Start a program through the system's elevation prompt.
    virtual StartOutcome StartElevated(const std::wstring& program,
                                       const std::wstring& parameters) = 0;

    // --- Finding and opening what an action names ---
    // The process start finds a program by its own search (FindProgram in
    // src/launch); these are the places it looks and what it opens otherwise.

    // The folders the system's process start searches, as the system names
    // them; the 16-bit system folder is "System" in the Windows folder.
    virtual ProgramSearchFolders FoldersSearchedForPrograms() = 0;
    // True only for an existing folder; false for a file or nothing.
    virtual bool FolderExists(const std::wstring& path) = 0;
    // Open a document, folder or URL with the shell's "open" verb in the
    // given current directory, shown normally; never waits.
    virtual StartOutcome OpenThroughShell(const std::wstring& file, const std::wstring& parameters,
                                          const std::wstring& directory) = 0;

    // Ends the process at once, with the code's status. With a message, it
    // is first shown in a box with the stop icon, an OK button and the title
    // "Trelvo", and the end follows its dismissal.
    [[noreturn]] void EndProgram(ExitCode code, const wchar_t* message = L"") { End(code, message); }
    [[noreturn]] void EndProgram(ExitCode code, const std::wstring& message) { End(code, message); }

protected:
    // `message` is empty for none; its characters are followed by a null
    // (it views a whole string or a literal), so it can go to the system as is.
    virtual void EndProcess(ExitCode code, std::wstring_view message) = 0;

private:
    [[noreturn]] void End(ExitCode code, std::wstring_view message)
    {
        EndProcess(code, message);
        std::abort();  // EndProcess does not come back
    }
};

// The rule for unchecked failures, in one place: runs `work`; a failure that
// escapes it ends the program with a message that names it. Running out of
// memory is reported without taking more.
template <typename Work>
void RunChecked(Host& host, Work&& work)
{
    try {
        work();
    } catch (const UncheckedFailure& failure) {
        host.EndProgram(ExitCode::UncheckedFailure, failure.Message());
    } catch (const std::bad_alloc&) {
        host.EndProgram(ExitCode::UncheckedFailure, L"Trelvo ran out of memory.");
    } catch (const std::exception&) {
        host.EndProgram(ExitCode::UncheckedFailure, L"Trelvo stopped because of an internal error.");
    }
}

}  // namespace trelvo
