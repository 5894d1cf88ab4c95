// Measures the launcher's start-up against the baselines, one run of pairs
// under one warm wineserver (see bench/README.md).
//
//   bench_driver <pairs> <warm-up pairs> <launcher.exe> <bare_window.exe>
//                <bare_spawner.exe> <bare_return.exe> <dialog folder> <silent folder>
//                [<bare_window_themed.exe> [<bare_spawner_user32.exe>]]
//
// The dialog folder holds the launcher's INI for a splash window and
// splash.bmp; the silent folder holds an INI that starts child.exe and
// child.exe itself. Each program is started with its folder as the current
// directory. The diagnostic programs, when given, run after each pair: the
// themed bare window after each dialog pair, the spawner that also loads
// USER32 and GDI32 after each silent pair. Results are printed as tab-separated lines:
//   size    <program> <bytes>
//   time    <measure> <program> <min ms> <median ms> <max ms> <samples>
//   ratio   <measure> <median> <min> <max>          (pairwise, launcher / baseline)
//   memory  <program> <peak working set> <page-file usage> <peak page-file usage>   (medians, bytes)
//   failed  <count>
//   sample  <measure> <program> <round> <ms>        (every measured run)
//
//   bench_driver --once <program.exe> <folder> [<window class>]
// runs one program once (see wmain), for tracing.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kChildEvent[] = L"Local\\TrelvoBenchChild";
constexpr DWORD kWindowTimeoutMs = 60000;
constexpr DWORD kEndTimeoutMs = 30000;
constexpr DWORD kMemorySettleMs = 300;  // after WaitForInputIdle, before reading the counters
constexpr DWORD kBetweenRunsMs = 100;   // lets the previous run's processes finish going away

LARGE_INTEGER frequency;
HANDLE childRunning;
int failures = 0;
bool announce = false;  // --once: names each started process's id

double Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) out += c < 128 ? char(c) : '?';
    return out;
}

struct Process {
    PROCESS_INFORMATION info{};
    double started = 0;  // ms on the performance counter, just before the start call

    ~Process()
    {
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
    }
};

bool Start(const std::wstring& exe, const std::wstring& folder, Process& process)
{
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    process.started = Now();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process.info)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", Narrow(exe).c_str(), GetLastError());
        return false;
    }
    if (announce) std::fprintf(stderr, "started process %04lx\n", process.info.dwProcessId);
    return true;
}

// Makes sure a run leaves nothing behind.
void Finish(Process& process, const char* what)
{
    if (WaitForSingleObject(process.info.hProcess, kEndTimeoutMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "%s did not end; terminated\n", what);
        TerminateProcess(process.info.hProcess, 1);
        WaitForSingleObject(process.info.hProcess, kEndTimeoutMs);
        ++failures;
    }
    Sleep(kBetweenRunsMs);
}

struct Search {
    DWORD processId;
    HWND window;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) {
        search->window = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

struct DialogRun {
    bool ok = false;
    double visible = 0;  // ms from the start call to the first visible top-level window
    PROCESS_MEMORY_COUNTERS memory{};
};

DialogRun RunDialog(const std::wstring& exe, const std::wstring& folder, const wchar_t* expectedClass)
{
    DialogRun run;
    Process process;
    if (!Start(exe, folder, process)) {
        ++failures;
        return run;
    }
    Search search{process.info.dwProcessId, nullptr};
    for (;;) {
        EnumWindows(FindVisibleWindow, LPARAM(&search));
        if (search.window) break;
        // Waiting on the process doubles as the poll interval.
        if (WaitForSingleObject(process.info.hProcess, 1) == WAIT_OBJECT_0) break;
        if (Now() - process.started > kWindowTimeoutMs) break;
    }
    run.visible = Now() - process.started;
    if (!search.window) {
        std::fprintf(stderr, "%s: no visible window\n", Narrow(exe).c_str());
        ++failures;
        TerminateProcess(process.info.hProcess, 1);
        Finish(process, "program without window");
        return run;
    }
    std::wstring windowClass = ClassOf(search.window);
    run.ok = windowClass == expectedClass;
    if (!run.ok) {
        std::fprintf(stderr, "%s: first window is of class %s\n", Narrow(exe).c_str(), Narrow(windowClass).c_str());
        ++failures;
    }

    WaitForInputIdle(process.info.hProcess, 5000);
    Sleep(kMemorySettleMs);
    run.memory.cb = sizeof run.memory;
    if (!GetProcessMemoryInfo(process.info.hProcess, &run.memory, sizeof run.memory)) run.memory = {};

    PostMessageW(search.window, WM_CLOSE, 0, 0);
    Finish(process, Narrow(exe).c_str());
    return run;
}

struct SilentRun {
    bool ok = false;
    double child = 0;  // ms from the start call until the child is running
    double ended = 0;  // ms from the start call until the started program has ended
};

SilentRun RunSilent(const std::wstring& exe, const std::wstring& folder, bool startsChild)
{
    SilentRun run;
    ResetEvent(childRunning);
    Process process;
    if (!Start(exe, folder, process)) {
        ++failures;
        return run;
    }
    HANDLE waits[2] = {childRunning, process.info.hProcess};
    bool childSeen = !startsChild, endSeen = false;
    while (!childSeen || !endSeen) {
        HANDLE* first = childSeen ? &waits[1] : &waits[0];
        DWORD count = childSeen || endSeen ? 1 : 2;
        DWORD result = WaitForMultipleObjects(count, first, FALSE, kWindowTimeoutMs);
        double now = Now() - process.started;
        if (result == WAIT_TIMEOUT || result == WAIT_FAILED) break;
        HANDLE signalled = first[result - WAIT_OBJECT_0];
        if (signalled == childRunning) {
            childSeen = true;
            run.child = now;
        } else {
            endSeen = true;
            run.ended = now;
        }
    }
    run.ok = childSeen && endSeen;
    if (!run.ok) {
        std::fprintf(stderr, "%s: %s\n", Narrow(exe).c_str(), childSeen ? "did not end" : "no child started");
        ++failures;
    }
    Finish(process, Narrow(exe).c_str());
    return run;
}

double Median(std::vector<double> values)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintTime(const char* measure, const char* program, const std::vector<double>& samples)
{
    if (samples.empty()) return;
    auto [low, high] = std::minmax_element(samples.begin(), samples.end());
    std::printf("time\t%s\t%s\t%.2f\t%.2f\t%.2f\t%zu\n", measure, program, *low, Median(samples), *high,
                samples.size());
}

void PrintRatio(const char* measure, const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (b[i] > 0) ratios.push_back(a[i] / b[i]);
    if (ratios.empty()) return;
    auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    std::printf("ratio\t%s\t%.4f\t%.4f\t%.4f\n", measure, Median(ratios), *low, *high);
}

void PrintSamples(const char* measure, const char* program, const std::vector<double>& samples)
{
    for (size_t i = 0; i < samples.size(); ++i) std::printf("sample\t%s\t%s\t%zu\t%.3f\n", measure, program, i, samples[i]);
}

void PrintSize(const char* program, const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        std::printf("size\t%s\t%llu\n", program,
                    (unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // One run of one program, for tracing what it loads:
    //   bench_driver --once <program.exe> <folder> [<window class>]
    // shows the window and closes it, or waits for the program to end.
    if (argc >= 4 && std::wcscmp(argv[1], L"--once") == 0) {
        QueryPerformanceFrequency(&frequency);
        childRunning = CreateEventW(nullptr, TRUE, FALSE, kChildEvent);
        announce = true;
        if (argc >= 5) {
            DialogRun run = RunDialog(argv[2], argv[3], argv[4]);
            std::fprintf(stderr, "window after %.1f ms\n", run.visible);
        } else {
            SilentRun run = RunSilent(argv[2], argv[3], false);
            std::fprintf(stderr, "ended after %.1f ms\n", run.ended);
        }
        return failures ? 1 : 0;
    }
    if (argc < 9 || argc > 11) {
        std::fprintf(stderr,
                     "usage: bench_driver <pairs> <warm-up pairs> <launcher.exe> <bare_window.exe> "
                     "<bare_spawner.exe> <bare_return.exe> <dialog folder> <silent folder> "
                     "[<bare_window_themed.exe> [<bare_spawner_user32.exe>]]\n");
        return 2;
    }
    int pairs = _wtoi(argv[1]), warmUp = _wtoi(argv[2]);
    std::wstring launcher = argv[3], bareWindow = argv[4], bareSpawner = argv[5], bareReturn = argv[6];
    std::wstring dialogFolder = argv[7], silentFolder = argv[8];
    std::wstring themedWindow = argc >= 10 ? argv[9] : L"";
    std::wstring spawnerUser32 = argc >= 11 ? argv[10] : L"";
    QueryPerformanceFrequency(&frequency);
    childRunning = CreateEventW(nullptr, TRUE, FALSE, kChildEvent);
    setvbuf(stdout, nullptr, _IOFBF, 1 << 16);

    PrintSize("launcher", launcher);
    PrintSize("bare_window", bareWindow);
    PrintSize("bare_spawner", bareSpawner);
    PrintSize("bare_return", bareReturn);
    if (!themedWindow.empty()) PrintSize("bare_window_themed", themedWindow);
    if (!spawnerUser32.empty()) PrintSize("bare_spawner_user32", spawnerUser32);

    // Dialog mode: launcher and bare window, alternating.
    std::vector<double> launcherVisible, bareVisible, themedVisible, themedPairLauncher, themedPeak, themedPagefile,
        themedPeakPagefile;
    std::vector<double> launcherPeak, launcherPagefile, launcherPeakPagefile, barePeak, barePagefile, barePeakPagefile;
    for (int round = 0; round < warmUp + pairs; ++round) {
        bool measured = round >= warmUp;
        DialogRun a = RunDialog(launcher, dialogFolder, L"TrelvoSplash");
        DialogRun b = RunDialog(bareWindow, dialogFolder, L"TrelvoBenchBareWindow");
        DialogRun c;
        if (!themedWindow.empty()) c = RunDialog(themedWindow, dialogFolder, L"TrelvoBenchBareWindow");
        std::fprintf(stderr, "dialog %s %d: launcher %.1f ms, bare window %.1f ms", measured ? "pair" : "warm-up",
                     measured ? round - warmUp + 1 : round + 1, a.visible, b.visible);
        if (!themedWindow.empty()) std::fprintf(stderr, ", themed bare window %.1f ms", c.visible);
        std::fprintf(stderr, "\n");
        if (measured && a.ok && c.ok) {
            themedPairLauncher.push_back(a.visible);
            themedVisible.push_back(c.visible);
            themedPeak.push_back(double(c.memory.PeakWorkingSetSize));
            themedPagefile.push_back(double(c.memory.PagefileUsage));
            themedPeakPagefile.push_back(double(c.memory.PeakPagefileUsage));
        }
        if (!measured || !a.ok || !b.ok) continue;
        launcherVisible.push_back(a.visible);
        bareVisible.push_back(b.visible);
        launcherPeak.push_back(double(a.memory.PeakWorkingSetSize));
        launcherPagefile.push_back(double(a.memory.PagefileUsage));
        launcherPeakPagefile.push_back(double(a.memory.PeakPagefileUsage));
        barePeak.push_back(double(b.memory.PeakWorkingSetSize));
        barePagefile.push_back(double(b.memory.PagefileUsage));
        barePeakPagefile.push_back(double(b.memory.PeakPagefileUsage));
    }

    // Silent mode: launcher and bare spawner, with the bare return after each
    // pair as the floor of a process start.
    std::vector<double> launcherChild, launcherEnd, spawnerChild, spawnerEnd, returnEnd, user32PairLauncher, user32End;
    for (int round = 0; round < warmUp + pairs; ++round) {
        bool measured = round >= warmUp;
        SilentRun a = RunSilent(launcher, silentFolder, true);
        SilentRun b = RunSilent(bareSpawner, silentFolder, true);
        SilentRun c = RunSilent(bareReturn, silentFolder, false);
        SilentRun d;
        if (!spawnerUser32.empty()) d = RunSilent(spawnerUser32, silentFolder, true);
        std::fprintf(stderr, "silent %s %d: launcher %.1f/%.1f ms, bare spawner %.1f/%.1f ms, bare return %.1f ms",
                     measured ? "pair" : "warm-up", measured ? round - warmUp + 1 : round + 1, a.child, a.ended,
                     b.child, b.ended, c.ended);
        if (!spawnerUser32.empty()) std::fprintf(stderr, ", spawner with USER32 %.1f/%.1f ms", d.child, d.ended);
        std::fprintf(stderr, "\n");
        if (measured && a.ok && d.ok) {
            user32PairLauncher.push_back(a.ended);
            user32End.push_back(d.ended);
        }
        if (!measured || !a.ok || !b.ok || !c.ok) continue;
        launcherChild.push_back(a.child);
        launcherEnd.push_back(a.ended);
        spawnerChild.push_back(b.child);
        spawnerEnd.push_back(b.ended);
        returnEnd.push_back(c.ended);
    }

    PrintTime("visible", "launcher", launcherVisible);
    PrintTime("visible", "bare_window", bareVisible);
    PrintRatio("visible", launcherVisible, bareVisible);
    PrintTime("visible", "bare_window_themed", themedVisible);
    PrintRatio("visible_vs_themed", themedPairLauncher, themedVisible);
    PrintTime("child", "launcher", launcherChild);
    PrintTime("child", "bare_spawner", spawnerChild);
    PrintRatio("child", launcherChild, spawnerChild);
    PrintTime("end", "launcher", launcherEnd);
    PrintTime("end", "bare_spawner", spawnerEnd);
    PrintRatio("end", launcherEnd, spawnerEnd);
    PrintTime("end", "bare_return", returnEnd);
    PrintRatio("end_vs_return", launcherEnd, returnEnd);
    PrintRatio("spawner_end_vs_return", spawnerEnd, returnEnd);
    PrintTime("end", "bare_spawner_user32", user32End);
    PrintRatio("end_vs_spawner_user32", user32PairLauncher, user32End);
    std::printf("memory\tlauncher\t%.0f\t%.0f\t%.0f\n", Median(launcherPeak), Median(launcherPagefile),
                Median(launcherPeakPagefile));
    std::printf("memory\tbare_window\t%.0f\t%.0f\t%.0f\n", Median(barePeak), Median(barePagefile),
                Median(barePeakPagefile));
    if (!themedPeak.empty())
        std::printf("memory\tbare_window_themed\t%.0f\t%.0f\t%.0f\n", Median(themedPeak), Median(themedPagefile),
                    Median(themedPeakPagefile));
    std::printf("failed\t%d\n", failures);
    PrintSamples("visible", "launcher", launcherVisible);
    PrintSamples("visible", "bare_window", bareVisible);
    PrintSamples("visible", "bare_window_themed", themedVisible);
    PrintSamples("child", "launcher", launcherChild);
    PrintSamples("child", "bare_spawner", spawnerChild);
    PrintSamples("end", "launcher", launcherEnd);
    PrintSamples("end", "bare_spawner", spawnerEnd);
    PrintSamples("end", "bare_return", returnEnd);
    PrintSamples("end", "bare_spawner_user32", user32End);
    PrintSamples("peak_working_set", "launcher", launcherPeak);
    PrintSamples("peak_working_set", "bare_window", barePeak);
    std::fflush(stdout);
    return failures ? 1 : 0;
}
