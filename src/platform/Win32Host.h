// The real host: Win32, wide-character calls throughout.
#pragma once

#include <windows.h>

#include "platform/Host.h"
#include "platform/Win32Window.h"

namespace trelvo::win32 {

class Win32Host final : public Host {
public:
    explicit Win32Host(HINSTANCE instance) : instance_(instance) {}

    std::wstring CurrentDirectory() override;
    std::wstring ExecutableBaseName() override;
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
    ProgramSearchFolders FoldersSearchedForPrograms() override;
    bool FolderExists(const std::wstring& path) override;
    StartOutcome OpenThroughShell(const std::wstring& file, const std::wstring& parameters,
                                  const std::wstring& directory) override;

    // Dialog mode after start-up: shows the dressed window and runs its
    // event loop, which only an end of the program leaves.
    void ShowWindowAndRun(WindowEvents& events);

protected:
    void EndProcess(ExitCode code, std::wstring_view message) override;

private:
    HINSTANCE instance_;
    std::unique_ptr<Win32Window> window_;
};

}  // namespace trelvo::win32
