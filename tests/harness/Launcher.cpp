#include "Launcher.h"

#include <algorithm>
#include <vector>

#include "Screen.h"
#include "Support.h"

namespace harness {

bool LauncherRun::Start(const std::wstring& exe, const std::wstring& cwd)
{
    job_ = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job_) SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        cwd.c_str(), &startup, &process_)) {
        errorCode = GetLastError();
        error = SystemErrorText(errorCode);
        process_ = {};
        return false;
    }
    inJob = job_ && AssignProcessToJobObject(job_, process_.hProcess) != 0;
    ResumeThread(process_.hThread);
    return true;
}

bool LauncherRun::Watch(DWORD bound, const std::function<void(HWND)>& onWindow, const std::function<void()>& tick)
{
    std::vector<HWND> handled;
    DWORD start = GetTickCount();
    for (;;) {
        for (HWND window : TopLevelWindows(process_.dwProcessId)) {
            if (!IsWindowVisible(window)) continue;
            if (std::find(handled.begin(), handled.end(), window) != handled.end()) continue;
            handled.push_back(window);
            onWindow(window);
        }
        if (tick) tick();
        if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return true;
        if (GetTickCount() - start > bound) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
            return false;
        }
    }
}

DWORD LauncherRun::ExitCode() const
{
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

bool LauncherRun::WaitForJob(DWORD milliseconds)
{
    if (!inJob) return false;
    return WaitUntil([&] { auto info = Accounting(); return info && info->ActiveProcesses == 0; }, milliseconds);
}

std::optional<DWORD> LauncherRun::TotalProcesses() const
{
    auto info = Accounting();
    if (!inJob || !info || info->TotalProcesses == 0) return std::nullopt;
    return info->TotalProcesses;
}

void LauncherRun::Finish()
{
    if (job_) {
        TerminateJobObject(job_, 99);
        CloseHandle(job_);
        job_ = nullptr;
    }
    if (process_.hThread) CloseHandle(process_.hThread);
    if (process_.hProcess) CloseHandle(process_.hProcess);
    process_ = {};
}

std::optional<JOBOBJECT_BASIC_ACCOUNTING_INFORMATION> LauncherRun::Accounting() const
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!job_ ||
        !QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr))
        return std::nullopt;
    return info;
}

}  // namespace harness
