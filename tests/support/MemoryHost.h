// The in-memory host: a machine made of maps, for the native tests. It
// records everything the launcher asks of it, in order.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Host.h"

namespace trelvo {

// Thrown by MemoryHost::EndProgram so a test regains control where the real
// host would end the process. Not an exception type the program catches.
struct ProgramEnded {
    ExitCode code;
};

class MemoryPicture final : public Picture {
public:
    explicit MemoryPicture(std::wstring path) : path(std::move(path)) {}
    std::wstring path;
};

class MemoryIcon final : public Icon {
public:
    explicit MemoryIcon(std::wstring path) : path(std::move(path)) {}
    std::wstring path;
};

class MemoryWindow final : public SplashWindow {
public:
    struct Button {
        std::wstring caption;
        int left = 0;
        bool visible = true;
    };
    MemoryWindow();

    void SetCaption(const std::wstring& text) override;
    void SetBackColor(std::uint32_t colour) override;
    void SetPicture(std::unique_ptr<Picture> picture) override;
    void SetIcon(std::unique_ptr<Icon> icon) override;
    void SetButtonCaption(int index, const std::wstring& text) override;
    void SetButtonLeft(int index, int twips) override;
    void SetButtonVisible(int index, bool visible) override;

    std::wstring caption;
    std::optional<std::uint32_t> backColor;
    std::wstring picture;  // path of the loaded picture, empty for none
    std::wstring icon;     // path of the loaded icon, empty for the built-in one
    Button buttons[5];
    std::vector<std::wstring> log;  // every operation, in order
};

class MemoryHost final : public Host {
public:
    // The machine: current directory, executable name, files and folders by
    // full path (FullPath's form). A folder exists when it is registered, when
    // anything is registered inside it, or when it is the current directory
    // or one of its parents; a path that is a folder is never a file.
    std::wstring currentDirectory = L"D:\\Media";
    std::wstring executableBaseName = L"setup";
    std::map<std::wstring, std::string> files;  // full path -> bytes
    std::set<std::wstring> folders;             // full paths
    std::set<std::wstring> unreadableImages;    // full paths whose decoding fails
    std::map<std::wstring, StartOutcome> startOutcomes;  // by command line; default: started
    std::optional<StartOutcome> elevatedOutcome;          // default: started
    ProgramSearchFolders programSearch{L"D:\\Media", L"C:\\Windows\\System32", L"C:\\Windows",
                                       L"C:\\Windows\\System32;C:\\Windows", true};
    std::optional<StartOutcome> shellOutcome;  // default: opened

    // What the launcher did.
    std::vector<std::wstring> messages;  // stop messages shown on the way out
    std::vector<std::wstring> started;   // command lines started
    std::vector<std::wstring> elevated;  // "program|parameters"
    std::vector<std::wstring> opened;    // "file|parameters|directory", through the shell
    std::vector<std::wstring> reads;     // "SECTION/Key" of each profile read
    std::optional<MemoryWindow> window;
    std::optional<ExitCode> exitCode;

    // Puts a file at a path relative to the current directory (or absolute).
    void AddFile(const std::wstring& path, std::string bytes);
    // Makes the path a folder; a file of that name goes.
    void AddFolder(const std::wstring& path);
    // The bytes of the file at the path; null when it is no file.
    const std::string* FileBytes(const std::wstring& path) const;
    bool IsFolder(const std::wstring& path) const;

    std::wstring CurrentDirectory() override { return currentDirectory; }
    std::wstring ExecutableBaseName() override { return executableBaseName; }
    bool FileExists(const std::wstring& path) override;
    std::uint32_t ReadProfileString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& fallback, wchar_t* buffer, std::uint32_t size,
                                    const std::wstring& file) override;
    void WriteProfileString(const std::wstring& section, const std::wstring& key,
                            const std::wstring& value, const std::wstring& file) override;
    std::unique_ptr<Picture> LoadPicture(const std::wstring& path) override;
    std::unique_ptr<Icon> LoadIcon(const std::wstring& path) override;
    SplashWindow& Window(WindowEvents& events) override;
    StartOutcome StartProcess(const std::wstring& commandLine) override;
    StartOutcome StartElevated(const std::wstring& program, const std::wstring& parameters) override;
    ProgramSearchFolders FoldersSearchedForPrograms() override { return programSearch; }
    bool FolderExists(const std::wstring& path) override { return IsFolder(path); }
    StartOutcome OpenThroughShell(const std::wstring& file, const std::wstring& parameters,
                                  const std::wstring& directory) override;

    // The absolute, lower-case form of a path: relative to the current
    // directory, "." and ".." segments resolved, "/" read as "\\", no
    // trailing separator except at a drive root.
    std::wstring FullPath(const std::wstring& path) const;

protected:
    void EndProcess(ExitCode code, std::wstring_view message) override;
};

}  // namespace trelvo
