#include "Runner.h"

#include <psapi.h>

#include <algorithm>
#include <utility>

namespace harness {
namespace {

std::wstring Expand(std::wstring text, const Medium& paths, const Context& context)
{
    Replace(text, L"{media}", paths.media);
    Replace(text, L"{other}", paths.other);
    Replace(text, L"{cwd}", paths.cwd);
    Replace(text, L"{deep}", paths.deep);
    Replace(text, L"{ini}", paths.ini);
    Replace(text, L"{notfound}", context.notFound);
    return text;
}

// Folders for LongPath and DeepFiles: up to 90 characters a name until the
// path is about 200 long, then one of 80: past 260, its parent well below.
bool MakeDeepFolders(const Case& c, Medium& paths)
{
    auto named = [](size_t length, wchar_t last) {
        std::wstring name = L"a-folder-with-a-long-name-";
        name.resize(length - 1, L'x');
        return name + last;
    };
    std::wstring parent = paths.caseRoot;
    bool ok = true;
    for (wchar_t n = L'1'; ok && parent.size() < 180; ++n) {
        parent += L"\\" + named(std::min<size_t>(90, 200 - parent.size()), n);
        ok = CreateDirectoryW(Long(parent).c_str(), nullptr) != 0;
    }
    paths.deep = named(80, L'm');
    paths.media = parent + L"\\" + paths.deep;
    paths.cwd = c.place == Place::DeepFiles ? parent : paths.media;
    paths.programs = c.place == Place::LongPath ? paths.caseRoot : paths.cwd;
    return ok;
}

}  // namespace

bool PrepareMedium(const Case& c, int index, const Context& context, Medium& paths)
{
    paths.caseRoot = context.tempRoot + L"\\" + std::to_wstring(index);
    paths.other = paths.caseRoot + L"\\other";
    bool ok = CreateDirectoryW(Long(paths.caseRoot).c_str(), nullptr) &&
              CreateDirectoryW(Long(paths.other).c_str(), nullptr);
    bool deep = c.place == Place::LongPath || c.place == Place::DeepFiles;
    if (deep) {
        ok = ok && MakeDeepFolders(c, paths);
    } else {
        paths.media = paths.caseRoot + L"\\" + c.folder;
        paths.programs = paths.media;
        if (c.cwd == Cwd::Media) {
            paths.cwd = paths.media;
        } else if (c.cwd == Cwd::Other) {
            paths.cwd = paths.other;
        } else {
            wchar_t volume[MAX_PATH] = {};
            GetVolumePathNameW(context.tempRoot.c_str(), volume, MAX_PATH);
            paths.cwd = volume;  // "C:\"
        }
    }
    ok = ok && CreateDirectoryW(Long(paths.media).c_str(), nullptr);
    if (!Check(ok, L"creating the case folders under " + paths.caseRoot)) return false;

    std::wstring directory = paths.cwd;
    if (!directory.empty() && directory.back() == L'\\') directory.pop_back();
    paths.ini = directory + L"\\" + c.exe.substr(0, c.exe.rfind(L'.')) + L".ini";
    paths.start = paths.cwd;
    if (c.place == Place::LongPath) {
        wchar_t shortName[MAX_PATH] = {};
        DWORD length = GetShortPathNameW(paths.media.c_str(), shortName, MAX_PATH);
        if (!Check(length > 0 && length < MAX_PATH, L"the short name of " + paths.media)) return false;
        paths.start = shortName;
    }
    if (deep && (!Check(paths.media.size() > MAX_PATH, L"the files' folder should be longer than 260 characters") ||
                 !Check(paths.start.size() < MAX_PATH - 12, L"the current directory should be shorter than 260")))
        return false;

    ok = CopyFileW(context.launcher.c_str(), Long(paths.programs + L"\\" + c.exe).c_str(), FALSE);
    for (const auto& probe : c.probes)
        ok = ok && CopyFileW(context.probe.c_str(), Long(paths.programs + L"\\" + probe).c_str(), FALSE);
    if (!c.planted.empty() && !Check(!context.planted.empty(), L"the case plants DLLs: give --planted=DLL"))
        return false;
    for (const auto& dll : c.planted)
        ok = ok && CopyFileW(context.planted.c_str(), Long(paths.programs + L"\\" + dll + L".dll").c_str(), FALSE);
    if (!Check(ok, L"copying the programs into " + paths.programs)) return false;

    for (const File& file : c.files) {
        std::wstring path = (file.in == Folder::Media ? paths.media : paths.other) + L"\\" + file.name;
        bool made = file.folder ? CreateDirectoryW(Long(path).c_str(), nullptr) != 0 : WriteBytes(Long(path), file.bytes);
        if (!Check(made, L"writing " + path)) return false;
    }
    if (c.ini) {
        // Paths go into an 8-bit INI in the system code page.
        std::string text = *c.ini;
        Replace(text, "{media}", Ansi(paths.media));
        Replace(text, "{other}", Ansi(paths.other));
        Replace(text, "{deep}", Ansi(paths.deep));
        if (!Check(WriteBytes(Long(paths.ini), text), L"writing " + paths.ini)) return false;
    } else if (c.cwd == Cwd::DriveRoot &&
               !Check(!Exists(paths.ini), paths.ini + L" must not exist for this case")) {
        return false;
    }
    if (c.place == Place::ReadOnly) {
        for (const auto& [path, entry] : ListTree(paths.media))
            if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY))
                ok = ok && SetFileAttributesW(Long(paths.media + L"\\" + path).c_str(), FILE_ATTRIBUTE_READONLY);
        ok = ok && SetFileAttributesW(Long(paths.media).c_str(), FILE_ATTRIBUTE_READONLY);
        if (!Check(ok, L"making " + paths.media + L" read-only")) return false;
    }
    return true;
}

namespace {

// For the cases with shellTypes, the prefix's classes name this case's probe
// as the program that opens a ".trelvodoc" document, a "trelvo-e2e:" URL and
// a folder, so what the shell opens is logged like any started program. The keys go
// again when the case ends. A ".trelvonone" document and a "nobody-e2e:" URL
// have no program.
class ShellTypes {
public:
    explicit ShellTypes(const std::wstring& programs)
    {
        const std::wstring probe = L"\"" + programs + L"\\probe.exe\"";
        // Wine's own classes (wine.inf) open a folder by DDE to its explorer,
        // which the shell tries before the command and fails with ("DDE
        // failure"): set aside for the run. A copy left by a run that was
        // killed goes back first.
        MoveTree(HKEY_CURRENT_USER, kDdeSaved, HKEY_CLASSES_ROOT, kFolderDde);
        ok_ = MoveTree(HKEY_CLASSES_ROOT, kFolderDde, HKEY_CURRENT_USER, kDdeSaved) && Set(L".trelvodoc", nullptr, L"Trelvo.E2EDocument") &&
              Set(L"Trelvo.E2EDocument\\shell\\open\\command", nullptr, probe + L" /opened \"%1\" %*") &&
              Set(L"trelvo-e2e", nullptr, L"URL:Trelvo end-to-end test") && Set(L"trelvo-e2e", L"URL Protocol", L"") &&
              Set(L"trelvo-e2e\\shell\\open\\command", nullptr, probe + L" /url \"%1\"") &&
              Set(L"Folder\\shell\\open\\command", nullptr, probe + L" /folder \"%1\"");
    }
    ~ShellTypes()
    {
        for (const wchar_t* key : {L".trelvodoc", L"Trelvo.E2EDocument", L"trelvo-e2e"})
            RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
        // A fresh prefix has no "Folder" class; only what was added goes
        // (each key only while it is empty).
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L"Folder\\shell\\open\\command");
        MoveTree(HKEY_CURRENT_USER, kDdeSaved, HKEY_CLASSES_ROOT, kFolderDde);
        for (const wchar_t* key : {L"Folder\\shell\\open", L"Folder\\shell", L"Folder"})
            RegDeleteKeyW(HKEY_CLASSES_ROOT, key);
        for (const wchar_t* key : {L"Software\\Trelvo\\e2e", L"Software\\Trelvo"})
            RegDeleteKeyW(HKEY_CURRENT_USER, key);  // ours; gone when empty
    }
    ShellTypes(const ShellTypes&) = delete;
    ShellTypes& operator=(const ShellTypes&) = delete;
    bool Ok() const { return ok_; }

private:
    static constexpr const wchar_t* kFolderDde = L"Folder\\shell\\open\\ddeexec";
    static constexpr const wchar_t* kDdeSaved = L"Software\\Trelvo\\e2e\\FolderDdeexec";

    // Moves a key with everything under it; true when there was none.
    static bool MoveTree(HKEY fromRoot, const wchar_t* from, HKEY toRoot, const wchar_t* to)
    {
        HKEY source = nullptr, target = nullptr;
        if (RegOpenKeyExW(fromRoot, from, 0, KEY_READ, &source) != ERROR_SUCCESS) return true;
        bool ok = RegCreateKeyExW(toRoot, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) ==
                      ERROR_SUCCESS &&
                  RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
        if (target) RegCloseKey(target);
        RegCloseKey(source);
        return ok && RegDeleteTreeW(fromRoot, from) == ERROR_SUCCESS;
    }

    static bool Set(const wchar_t* key, const wchar_t* name, const std::wstring& value)
    {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
            ERROR_SUCCESS)
            return false;
        LSTATUS status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
        return status == ERROR_SUCCESS;
    }
    bool ok_ = false;
};

// A message box against the case's expectation; then OK.
void CheckBox(HWND box, const Case& c, const Medium& paths, const Context& context, Outcome& outcome)
{
    int index = int(outcome.boxes.size());
    std::wstring which = L"message box " + std::to_wstring(index + 1);
    SeenBox seen = ReadBox(box);
    outcome.boxes.push_back(seen);
    if (report().verbose) Print(L"  box " + Show(seen.title) + L": " + Show(seen.text));

    Check(seen.text.find(L"internal fault") == std::wstring::npos &&
              seen.text.find(L"internal error") == std::wstring::npos,
          which + L" reports an internal fault: " + Show(seen.text));
    // A system text read without its inserts shows "%1" where a name belongs.
    bool insert = false;
    for (size_t at = seen.text.find(L'%'); at != std::wstring::npos && !insert; at = seen.text.find(L'%', at + 1))
        insert = at + 1 < seen.text.size() && seen.text[at + 1] >= L'1' && seen.text[at + 1] <= L'9';
    Check(!insert, which + L" shows a placeholder such as %1 instead of a name: " + Show(seen.text));
    if (index >= int(c.boxes.size())) {
        Check(false, L"unexpected " + which + L": " + Show(seen.title) + L" " + Show(seen.text));
        PressOk(box);
        return;
    }

    // The launcher's message boxes: its title, one OK button and the stop icon.
    CheckEqual(seen.title, L"Trelvo", which + L" title");
    CheckEqual(seen.buttons, 1, which + L" visible buttons");
    CheckEqual(ToLower(seen.buttonText), L"ok", which + L" button");
    Check(seen.StopIcon(), which + L" should show the stop icon (" + std::to_wstring(seen.redPixels) + L" of " +
                               std::to_wstring(seen.iconPixels) + L" icon pixels red)");
    const Box& expected = c.boxes[size_t(index)];
    if (!expected.exact.empty()) CheckEqual(seen.text, Expand(expected.exact, paths, context), which + L" text");
    for (const auto& piece : expected.contains) {
        std::wstring wanted = Expand(piece, paths, context);
        Check(seen.text.find(wanted) != std::wstring::npos,
              which + L" text " + Show(seen.text) + L" should contain " + Show(wanted));
    }
    PressOk(box);
}

void ReadSplash(HWND splash, Outcome& outcome)
{
    outcome.splashTitle = TextOf(splash);
    for (int slot = 0; slot < 5; ++slot)
        if (HWND button = GetDlgItem(splash, kFirstButtonId + slot); button && IsWindowVisible(button))
            outcome.buttons.push_back({TextOf(button), RectInClient(button, splash).left});
}

// Planted DLLs leave "<name>.dll.loaded" beside them when loaded. Windows
// resolves every library the launcher loads, and what those import, from the
// system folder; Wine's own libraries may resolve some of their imports
// through the application's folder (the case names them).
void CheckPlanted(const Case& c, const Medium& paths, Outcome& outcome)
{
    bool wine = UnderWine();
    for (const auto& dll : c.planted) {
        bool loaded = Exists(paths.programs + L"\\" + dll + L".dll.loaded");
        if (loaded) outcome.plantedLoaded.push_back(dll);
        bool wineOnly = std::find(c.wineMayLoad.begin(), c.wineMayLoad.end(), dll) != c.wineMayLoad.end();
        bool accepted = loaded && wine && wineOnly;
        if (accepted)
            Print(L"note [" + c.name + L"] planted " + dll +
                  L".dll was loaded by Wine's own libraries (accepted under Wine only)");
        Check(!loaded || accepted, L"planted " + dll + L".dll was loaded");
    }
}

}  // namespace

Outcome RunCase(const Case& c, int index, const Context& context)
{
    Report& r = report();
    r.currentCase = c.name;
    Outcome outcome;
    r.onFailure = [&](const std::wstring& what) { outcome.failures.push_back(what); };
    struct Detach {
        ~Detach() { report().onFailure = nullptr; }
    } detach;
    DWORD began = GetTickCount();
    Medium& paths = outcome.medium;
    if (!PrepareMedium(c, index, context, paths)) return outcome;
    std::optional<ShellTypes> shellTypes;
    if (c.shellTypes && !Check(shellTypes.emplace(paths.programs).Ok(), L"registering the probe as the shell's opener"))
        return outcome;
    Listing before = ListTree(paths.caseRoot);

    LauncherRun run;
    std::wstring exePath = paths.programs + L"\\" + c.exe;
    outcome.started = run.Start(exePath, paths.start);
    if (!Check(outcome.started, L"starting " + exePath + L": " + run.error)) {
        outcome.startError = run.error;
        return outcome;
    }

    bool splashInspected = false, crashDialog = false;
    int debuggersBefore = DebuggersRunning(), debuggers = debuggersBefore, turn = 0;
    outcome.ended = run.Watch(
        kEndBound,
        [&](HWND window) {
            std::wstring className = ClassOf(window);
            if (className == L"#32770") {
                CheckBox(window, c, paths, context, outcome);
            } else if (className == L"TrelvoSplash") {
                if (!outcome.splashShown) ReadSplash(window, outcome);
                outcome.splashShown = true;
                if (c.splash && !splashInspected) {
                    splashInspected = true;
                    Step step = c.splash->step;
                    if (step == Step::Click || step == Step::TabEnter || step == Step::TabSpace)
                        outcome.clicked = c.splash->slot;
                    InspectSplash(window, *c.splash, context.dpi);
                } else {
                    PostMessageW(window, WM_CLOSE, 0, 0);
                }
            } else {
                Check(false, L"unexpected window " + Show(TextOf(window)) + L" of class " + Show(className));
            }
        },
        [&] {
            PROCESS_MEMORY_COUNTERS memory{};
            memory.cb = sizeof memory;
            if (GetProcessMemoryInfo(run.Process(), &memory, sizeof memory))
                outcome.peakMemory = std::max<std::uint64_t>(outcome.peakMemory, memory.PeakWorkingSetSize);
            if (++turn % 10 == 0) {
                crashDialog = crashDialog || CrashDialogShowing();
                debuggers = std::max(debuggers, DebuggersRunning());
            }
        });
    outcome.exitCode = run.ExitCode();
    if (outcome.ended) {
        Check(outcome.exitCode <= 3, L"exit code " + std::to_wstring(outcome.exitCode) +
                                         L" is none of the launcher's own (0 to 3): it crashed");
        CheckEqual(static_cast<long long>(outcome.exitCode), c.exitCode, L"exit code");
    } else {
        Check(false, L"the launcher did not end within " + std::to_wstring(kEndBound / 1000) + L" s; terminated");
    }
    crashDialog = crashDialog || CrashDialogShowing();
    debuggers = std::max(debuggers, DebuggersRunning());
    Check(!crashDialog, L"the system's crash dialog showed");
    Check(debuggers == debuggersBefore, L"a debugger (winedbg) was started: the launcher crashed");
    Check(outcome.peakMemory <= kMemoryBound, L"peak working set " + std::to_wstring(outcome.peakMemory >> 20) +
                                                  L" MB, more than " + std::to_wstring(kMemoryBound >> 20) + L" MB");
    CheckEqual(int(outcome.boxes.size()), int(c.boxes.size()), L"message boxes shown");
    if (c.splash) {
        Check(splashInspected, L"the splash window should have shown");
    } else {
        Check(!outcome.splashShown, L"no splash window should have shown");
    }

    // Programs the launcher started run on in the job: wait for them, then count them.
    std::wstring log = paths.programs + L"\\probe.log";
    bool settled = run.WaitForJob(10000);
    if (run.inJob) Check(settled, L"programs started by the launcher should have ended within 10 s");
    if (!settled) {
        // Without the job's count: wait for the expected lines, then a little more.
        WaitUntil([&] { return LogLines(log).size() >= c.started.size(); }, c.started.empty() ? 500 : 10000);
        Sleep(500);
    }
    outcome.processes = run.TotalProcesses();
    if (outcome.processes)
        CheckEqual(*outcome.processes, 1 + c.started.size(),
                   L"processes that ran in the job (the launcher and what it started)");
    run.Finish();

    outcome.lines = LogLines(log);
    std::vector<std::string> expected;
    for (const auto& line : c.started) expected.push_back(Utf8(Expand(Wide(line), paths, context)));
    std::sort(outcome.lines.begin(), outcome.lines.end());
    std::sort(expected.begin(), expected.end());
    Check(outcome.lines == expected,
          L"started command lines: got " + Listed(outcome.lines) + L", expected " + Listed(expected));

    outcome.written = Changes(before, ListTree(paths.caseRoot));
    Check(outcome.written.empty(), L"the launcher should write nothing in the case's folders:" + outcome.written);
    CheckPlanted(c, paths, outcome);

    if (c.place == Place::ReadOnly) {
        // Writable again, so that the folder can be removed.
        SetFileAttributesW(Long(paths.media).c_str(), FILE_ATTRIBUTE_NORMAL);
        for (const auto& [path, entry] : ListTree(paths.media))
            SetFileAttributesW(Long(paths.media + L"\\" + path).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    if (r.verbose)
        Print(L"case " + std::to_wstring(index) + L" [" + c.name + L"] " + std::to_wstring(GetTickCount() - began) +
              L" ms, peak working set " + std::to_wstring(outcome.peakMemory >> 20) + L" MB");

    return outcome;
}

std::wstring Placeholders(std::wstring text, const Medium& medium)
{
    Replace(text, medium.media, L"{media}");
    if (medium.start != medium.cwd) Replace(text, medium.start, L"{media}");
    Replace(text, medium.cwd, L"{cwd}");
    Replace(text, medium.programs, L"{programs}");
    Replace(text, medium.other, L"{other}");
    Replace(text, medium.caseRoot, L"{case}");
    Replace(text, medium.deep, L"{deep}");
    return text;
}

Outcome ObserveCase(const Case& c, int index, const Context& context)
{
    struct Quiet {
        bool was = std::exchange(report().quiet, true);
        ~Quiet() { report().quiet = was; }
    } quiet;
    return RunCase(c, index, context);
}

// ---------------------------------------------------------------------------

Options ParseOptions(int argc, wchar_t** argv)
{
    Options options;
    for (int k = 1; k < argc; ++k) {
        std::wstring arg = argv[k];
        auto value = [&](const wchar_t* name) {
            size_t length = wcslen(name);
            return arg.compare(0, length, name) == 0 ? std::optional(arg.substr(length)) : std::nullopt;
        };
        if (arg == L"--verbose") options.verbose = true;
        else if (arg == L"--keep") options.keep = true;
        else if (auto only = value(L"--only=")) options.only = *only;
        else if (auto table = value(L"--table=")) options.table = *table;
        else if (arg == L"--table" && k + 1 < argc) options.table = argv[++k];
        else if (auto planted = value(L"--planted=")) options.planted = *planted;
        else if (auto exportTo = value(L"--export=")) options.exportTo = WindowsPath(*exportTo);
        else if (auto dpi = value(L"--dpi=")) options.dpi = _wtoi(dpi->c_str());
        else if (auto atDpi = value(L"--at-dpi=")) options.atDpi = _wtoi(atDpi->c_str());
        else options.positional.push_back(arg);
    }
    report().verbose = options.verbose;
    return options;
}

bool SetUp(const Options& options, const std::wstring& prefix, Context& context)
{
    report().currentCase = L"set-up";
    context.launcher = WindowsPath(options.positional.at(0));
    context.probe = WindowsPath(options.positional.at(1));
    bool ready = Check(Exists(context.launcher), L"launcher not found: " + context.launcher);
    ready = Check(Exists(context.probe), L"probe not found: " + context.probe) && ready;
    if (!options.planted.empty()) {
        context.planted = WindowsPath(options.planted);
        ready = Check(Exists(context.planted), L"planted DLL not found: " + context.planted) && ready;
    }
    context.dpi = options.atDpi > 0 ? options.atDpi : ScreenDpi();
    context.notFound = NotFoundText();
    ready = Check(!context.notFound.empty(), L"no system text for a missing program") && ready;
    context.tempRoot = MakeTempRoot(prefix);
    return Check(!context.tempRoot.empty(), L"creating a folder for the cases in the temporary folder") && ready;
}

Ran RunCases(const std::vector<Case>& cases, const Context& context, const Options& options)
{
    const std::wstring& only = options.only;
    Ran ran;
    for (size_t k = 0; k < cases.size(); ++k) {
        const Case& c = cases[k];
        if (!only.empty() && c.name.find(only) == std::wstring::npos) continue;
        int index = int(k) + 1;
        ran.outcomes.push_back(RunCase(c, index, context));
        ran.cases.push_back(&c);
        // Only the folders of failed cases are kept.
        if (!options.keep && ran.outcomes.back().failures.empty()) DeleteTree(context.tempRoot + L"\\" + std::to_wstring(index));
    }
    return ran;
}

int Finish(const Context& context, DWORD runStart, size_t ran, bool keep)
{
    report().currentCase = L"finish";
    Print(std::to_wstring(ran) + L" cases ran in " + std::to_wstring((GetTickCount() - runStart + 500) / 1000) +
          L" s");
    if (report().failed == 0 && !keep) {
        if (!context.tempRoot.empty()) DeleteTree(context.tempRoot);
    } else if (!context.tempRoot.empty()) {
        Print(L"the case folders are kept in " + context.tempRoot);
    }
    return Summary();
}

}  // namespace harness
