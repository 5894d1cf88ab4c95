// The launcher started in a job object of its own: every program it starts
// stays in the job, where the driver waits for it, counts it and ends it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace harness {

class LauncherRun {
public:
    LauncherRun() = default;
    LauncherRun(const LauncherRun&) = delete;
    LauncherRun& operator=(const LauncherRun&) = delete;
    ~LauncherRun() { Finish(); }

    // Starts `exe` (no arguments) with `cwd` as its current directory; on
    // failure `error` holds the system's text and `errorCode` its number.
    bool Start(const std::wstring& exe, const std::wstring& cwd);
    HANDLE Process() const { return process_.hProcess; }

    // Calls `onWindow` once for each top-level window of the launcher as it
    // becomes visible, and `tick` (when given) on each turn, until the
    // launcher ends or `bound` milliseconds have passed; then it is
    // terminated. True when it ended by itself.
    bool Watch(DWORD bound, const std::function<void(HWND)>& onWindow, const std::function<void()>& tick = {});
    DWORD ExitCode() const;

    // Waits (bounded) until no process of the job runs; false when some still
    // do or the job cannot tell.
    bool WaitForJob(DWORD milliseconds);
    // How many processes ever ran in the job, the launcher included; absent
    // when the job cannot tell.
    std::optional<DWORD> TotalProcesses() const;
    // Ends whatever still runs in the job and lets go of the handles.
    void Finish();

    bool inJob = false;
    std::wstring error;
    DWORD errorCode = 0;

private:
    std::optional<JOBOBJECT_BASIC_ACCOUNTING_INFORMATION> Accounting() const;

    HANDLE job_ = nullptr;
    PROCESS_INFORMATION process_{};
};

}  // namespace harness
