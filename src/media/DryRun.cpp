#include "media/DryRun.h"

#include "config/TextConversions.h"
#include "launch/CommandLine.h"
#include "window/Design.h"
#include "window/frmSplash.h"

namespace trelvo::media {
namespace {

// What the recording host hands the window for a picture and for an icon.
class RecordedPicture final : public Picture {
public:
    explicit RecordedPicture(PictureRun run) : run(std::move(run)) {}
    PictureRun run;
};

// A text as the system takes it from the launcher: up to its first NUL (a
// value may hold one; window captions, message boxes and the process start
// all read a C string).
std::wstring SystemText(std::wstring_view text)
{
    return std::wstring(text.substr(0, text.find(L'\0')));
}

class RecordedIcon final : public Icon {
public:
    explicit RecordedIcon(std::wstring path) : path(std::move(path)) {}
    std::wstring path;
};

// Programs every Windows has in its system folders.
constexpr const wchar_t* kSystemPrograms[] = {
    L"cmd.exe",      L"msiexec.exe", L"notepad.exe",  L"explorer.exe", L"rundll32.exe", L"regsvr32.exe",
    L"control.exe",  L"calc.exe",    L"write.exe",    L"mspaint.exe",  L"hh.exe",       L"wscript.exe",
    L"cscript.exe",  L"reg.exe",     L"regedit.exe",  L"xcopy.exe",    L"taskkill.exe", L"mshta.exe",
    L"winver.exe",   L"wusa.exe",    L"dism.exe",     L"sc.exe",       L"netsh.exe",    L"robocopy.exe",
    L"shutdown.exe", L"where.exe",   L"timeout.exe",  L"expand.exe",   L"certutil.exe", L"bcdedit.exe",
};

// The name a path has in one of the system folders (lower case), or nothing
// for a path elsewhere.
std::optional<std::wstring> InSystemFolders(const std::wstring& path)
{
    std::wstring lower = ToLowerCase(path);
    for (const wchar_t* folder : {kSystemFolder, kWindowsFolder}) {
        std::wstring prefix = ToLowerCase(folder) + L"\\";
        if (lower.compare(0, prefix.size(), prefix) == 0) return lower.substr(prefix.size());
    }
    return std::nullopt;
}

// What the system folders hold: the programs every Windows has.
bool IsSystemProgram(const std::wstring& name)
{
    for (const wchar_t* program : kSystemPrograms)
        if (name == program) return true;
    return false;
}


}  // namespace

RecordingWindow::RecordingWindow(const std::wstring& lastSection) : lastSection_(lastSection)
{
    for (int i = 0; i < design::kButtonCount; ++i) {
        buttons[i].caption = design::kButtonCaption;
        buttons[i].left = design::kButtonLeft[i];
    }
}

void RecordingWindow::SetCaption(const std::wstring& text)
{
    caption = SystemText(text);
}

void RecordingWindow::SetPicture(std::unique_ptr<Picture> p)
{
    picture = static_cast<RecordedPicture&>(*p).run;
}

void RecordingWindow::SetIcon(std::unique_ptr<Icon> p)
{
    icon = static_cast<RecordedIcon&>(*p).path;
}

void RecordingWindow::SetButtonCaption(int index, const std::wstring& text)
{
    if (index < 0 || index >= design::kButtonCount) return;
    buttons[index].caption = SystemText(text);
    buttons[index].section = lastSection_;
}

void RecordingWindow::SetButtonLeft(int index, int twips)
{
    if (index >= 0 && index < design::kButtonCount) buttons[index].left = twips;
}

void RecordingWindow::SetButtonVisible(int index, bool visible)
{
    if (index >= 0 && index < design::kButtonCount) buttons[index].visible = visible;
}

std::wstring DirectoryInTexts(std::wstring medium)
{
    while (medium.size() > 1 && (medium.back() == L'/' || medium.back() == L'\\') &&
           !(medium.size() == 3 && medium[1] == L':'))
        medium.pop_back();
    return medium.empty() ? L"." : medium;
}

DryRunHost::DryRunHost(const Medium& medium, std::wstring directory, std::wstring baseName, unsigned codePage)
    : medium_(medium), directory_(std::move(directory)), baseName_(std::move(baseName)), codePage_(codePage)
{
}

MediumEntry DryRunHost::Resolve(const std::wstring& path) const
{
    // The launcher's own file names start with its current directory.
    std::wstring prefix = directory_;
    if (prefix.empty() || prefix.back() != L'\\') prefix += L'\\';
    if (path.compare(0, prefix.size(), prefix) == 0) return medium_.Find(path.substr(prefix.size()));
    return medium_.Find(path);
}

bool DryRunHost::FileExists(const std::wstring& path)
{
    // A file the INI names outside the medium is never looked at: the dry
    // run assumes it is there (a finding says it was not checked).
    if (std::optional<std::wstring> name = InSystemFolders(path)) return IsSystemProgram(*name);
    MediumEntry entry = Resolve(path);
    return entry.kind == EntryKind::File || entry.namedOutside;
}

bool DryRunHost::FolderExists(const std::wstring& path)
{
    return Resolve(path).kind == EntryKind::Folder;
}

ProgramSearchFolders DryRunHost::FoldersSearchedForPrograms()
{
    ProgramSearchFolders folders;
    folders.launcherFolder = directory_;
    folders.systemFolder = kSystemFolder;
    folders.windowsFolder = kWindowsFolder;
    return folders;
}

StartOutcome DryRunHost::OpenThroughShell(const std::wstring& file, const std::wstring& parameters, const std::wstring&)
{
    started.push_back(SystemText(parameters.empty() ? file : file + L" " + parameters));
    return {};
}

const ProfileScan& DryRunHost::Scan(const std::wstring& file)
{
    auto it = scans_.find(file);
    if (it != scans_.end()) return it->second;
    // A file the launcher cannot read gives the fallback for every key, as
    // an empty one does.
    FileBytes bytes = medium_.Read(Resolve(file), kIniReadLimit);
    return scans_.emplace(file, ScanProfile(bytes.read ? bytes.bytes : std::string(), codePage_)).first->second;
}

std::uint32_t DryRunHost::ReadProfileString(const std::wstring& section, const std::wstring& key,
                                            const std::wstring& fallback, wchar_t* buffer, std::uint32_t size,
                                            const std::wstring& file)
{
    lastSection_ = section;
    return ReadProfileText(Scan(file), section, key, fallback, buffer, size);
}

const PictureDecode& DryRunHost::Decode(const std::wstring& path, const wchar_t* what)
{
    std::wstring key = std::wstring(what) + L"|" + path;
    auto it = decoded_.find(key);
    if (it == decoded_.end()) it = decoded_.emplace(key, DecodePictureFile(Resolve(path).path, path, what)).first;
    return it->second;
}

std::unique_ptr<Picture> DryRunHost::LoadPicture(const std::wstring& path)
{
    if (Resolve(path).namedOutside) return std::make_unique<RecordedPicture>(PictureRun{path, 0, 0, false});
    const PictureDecode& decoded = Decode(path, L"picture");
    if (!decoded.decoded) throw UncheckedFailure(decoded.failure);
    return std::make_unique<RecordedPicture>(PictureRun{path, decoded.width, decoded.height, true});
}

std::unique_ptr<Icon> DryRunHost::LoadIcon(const std::wstring& path)
{
    if (Resolve(path).namedOutside) return std::make_unique<RecordedIcon>(path);
    const PictureDecode& decoded = Decode(path, L"icon");
    if (!decoded.decoded) throw UncheckedFailure(decoded.failure);
    return std::make_unique<RecordedIcon>(path);
}

SplashWindow& DryRunHost::Window(WindowEvents&)
{
    if (!window) window.emplace(lastSection_);
    return *window;
}

StartOutcome DryRunHost::StartProcess(const std::wstring& commandLine)
{
    started.push_back(SystemText(commandLine));
    if (!modelStartFailures) return {};
    constexpr std::uint32_t kFileNotFound = 2, kBadExeFormat = 193;
    std::optional<CommandParts> found = FindProgram(*this, commandLine);
    if (!found) return {kFileNotFound, L"The system cannot find the file specified."};
    std::wstring program = ToLowerCase(found->program);
    for (const wchar_t* runnable : {L".exe", L".com", L".bat", L".cmd"})
        if (program.size() >= 4 && program.compare(program.size() - 4, 4, runnable) == 0) return {};
    return {kBadExeFormat, L"The file is not a program."};  // a document: the shell opens it
}

StartOutcome DryRunHost::StartElevated(const std::wstring&, const std::wstring&)
{
    return {};
}

DryRun RunLauncher(DryRunHost& host)
{
    DryRun run;
    frmSplash form(host);
    std::optional<ExitCode> ended;
    try {
        form.Start();
    } catch (const DryRunEnded& end) {
        ended = end.code;
    }
    host.iniFile = form.IniFile();

    // The mode, by the launcher's own reading of [DIALOG] Show.
    if (host.FileExists(form.IniFile())) {
        std::wstring show = form.ReadIniValue(form.IniFile(), L"DIALOG", L"Show", L"");
        if (std::optional<bool> dialog = ParseBooleanText(show)) run.mode = *dialog ? "dialog" : "silent";
    }
    if (!host.messages.empty())
        run.stop = StopRun{L"Trelvo", host.messages.front(), int(ended.value_or(ExitCode::UncheckedFailure))};
    if (run.mode == "silent" && !host.started.empty()) run.start = host.started.front();
    if (run.mode == "silent" && host.started.empty() && !run.stop) run.start = L"exit";
    if (ended || !host.window) return run;

    // Dialog mode: the window as dressed, and each shown button clicked.
    RecordingWindow& window = *host.window;
    WindowRun& shown = run.window.emplace();
    shown.caption = window.caption;
    shown.backColor = window.backColor;
    shown.picture = window.picture;
    shown.icon = window.icon;
    for (int slot = 0; slot < form.ButtonCount() && slot < design::kButtonCount; ++slot) {
        const RecordingWindow::Button& button = window.buttons[slot];
        if (!button.visible) continue;
        host.started.clear();
        try {
            form.Button_Click(slot);
        } catch (const DryRunEnded&) {
        } catch (const UncheckedFailure&) {
        }
        std::wstring action = host.started.empty() ? L"exit" : host.started.front();
        shown.buttons.push_back({slot, button.section, button.caption, action, button.left});
    }
    host.started.clear();
    return run;
}

}  // namespace trelvo::media
