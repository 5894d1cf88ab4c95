// The dry run: the launcher's own start-up code (frmSplash) over a host that
// reads the medium's files and records what the launcher would do instead of
// doing it. Nothing is shown, written or started.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/ProfileText.h"
#include "media/Check.h"
#include "media/Medium.h"
#include "media/Platform.h"
#include "platform/Host.h"

namespace trelvo::media {

// Where the dry run ends when the launcher would end its process.
struct DryRunEnded {
    ExitCode code;
};

class RecordingWindow final : public SplashWindow {
public:
    struct Button {
        std::wstring caption;
        std::wstring section;  // the BUTTONn section its caption came from
        int left = 0;
        bool visible = true;
    };
    // `lastSection` is the host's section of its latest profile read.
    explicit RecordingWindow(const std::wstring& lastSection);
    void SetCaption(const std::wstring& text) override;
    void SetBackColor(std::uint32_t colour) override { backColor = colour; }
    void SetPicture(std::unique_ptr<Picture> picture) override;
    void SetIcon(std::unique_ptr<Icon> icon) override;
    void SetButtonCaption(int index, const std::wstring& text) override;
    void SetButtonLeft(int index, int twips) override;
    void SetButtonVisible(int index, bool visible) override;

    std::wstring caption;
    std::uint32_t backColor = 0;
    std::optional<PictureRun> picture;
    std::optional<std::wstring> icon;
    Button buttons[5];

private:
    const std::wstring& lastSection_;
};

class DryRunHost final : public Host {
public:
    // `directory` stands for the current directory in the launcher's texts.
    DryRunHost(const Medium& medium, std::wstring directory, std::wstring baseName, unsigned codePage);

    std::wstring CurrentDirectory() override { return directory_; }
    std::wstring ExecutableBaseName() override { return baseName_; }
    bool FileExists(const std::wstring& path) override;
    std::uint32_t ReadProfileString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& fallback, wchar_t* buffer, std::uint32_t size,
                                    const std::wstring& file) override;
    void WriteProfileString(const std::wstring&, const std::wstring&, const std::wstring&,
                            const std::wstring&) override {}  // never writes
    std::unique_ptr<Picture> LoadPicture(const std::wstring& path) override;
    std::unique_ptr<Icon> LoadIcon(const std::wstring& path) override;
    SplashWindow& Window(WindowEvents& events) override;
    StartOutcome StartProcess(const std::wstring& commandLine) override;
    StartOutcome StartElevated(const std::wstring& program, const std::wstring& parameters) override;
    // The process start's search: the medium stands for the launcher's
    // folder and the current directory; the system folders hold the programs
    // every Windows has (kSystemFolder, kWindowsFolder); PATH is unknown.
    ProgramSearchFolders FoldersSearchedForPrograms() override;
    bool FolderExists(const std::wstring& path) override;
    StartOutcome OpenThroughShell(const std::wstring& file, const std::wstring& parameters,
                                  const std::wstring& directory) override;

    // The medium's entry for a path as the launcher gives it.
    MediumEntry Resolve(const std::wstring& path) const;
    // A picture or an icon decoded as the launcher would, once per path.
    const PictureDecode& Decode(const std::wstring& path, const wchar_t* what);
    // The INI's scan, read once; empty when it cannot be read.
    const ProfileScan& Scan(const std::wstring& file);

    // Off (the dry run): every start works, whatever it names. On: a start
    // fails as the process start would fail on a machine that has only the
    // medium and the programs every Windows has, so the launcher's own
    // action code decides what then happens.
    bool modelStartFailures = false;

    std::vector<std::wstring> messages;  // the message the launcher ends with, if any
    std::vector<std::wstring> started;  // command lines the launcher starts (or tries to)
    std::optional<RecordingWindow> window;
    std::wstring iniFile;  // the configuration file's path, as the launcher built it

protected:
    void EndProcess(ExitCode code, std::wstring_view message) override
    {
        if (!message.empty()) messages.emplace_back(message.substr(0, message.find(L'\0')));
        throw DryRunEnded{code};
    }

private:
    const Medium& medium_;
    std::wstring directory_;
    std::wstring baseName_;
    unsigned codePage_;
    std::map<std::wstring, ProfileScan> scans_;
    std::map<std::wstring, PictureDecode> decoded_;
    std::wstring lastSection_;
};

// How much of an INI is read: Windows reads any size, but a file this large
// is no launcher configuration (and is flagged as such).
inline constexpr std::uintmax_t kIniReadLimit = 64u << 20;

// Where the dry run's process start finds the programs every Windows has.
inline constexpr wchar_t kSystemFolder[] = L"C:\\Windows\\System32";
inline constexpr wchar_t kWindowsFolder[] = L"C:\\Windows";

// The launcher's current directory in its texts: MEDIUM as given, without a
// trailing separator unless it is a root ("D:\", "/").
std::wstring DirectoryInTexts(std::wstring medium);

// Runs the launcher's start-up and, in dialog mode, a click on each shown
// button; fills the dry run. The host keeps what it recorded.
DryRun RunLauncher(DryRunHost& host);

}  // namespace trelvo::media
