#include "media/Preview.h"

#include <algorithm>
#include <cstdlib>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <set>
#include <unistd.h>

#include "media/Subprocess.h"

namespace fs = std::filesystem;

namespace trelvo::media {
namespace {

constexpr double kWindowTimeout = 90;  // seconds; Wine's first start in a prefix is slow
constexpr double kExitTimeout = 20;

std::string Environment(const char* name, const std::string& fallback = "")
{
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

// The Windows programs running now in a Wine prefix, as process ids with
// their names (the Wine loader shows a Windows program's path as its first
// argument, and each carries the prefix in its environment).
std::set<std::pair<int, std::string>> WindowsProcesses(const fs::path& prefix)
{
    const std::string marker = "WINEPREFIX=" + prefix.string();
    std::set<std::pair<int, std::string>> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    while (dirent* entry = ::readdir(proc)) {
        int pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        std::ifstream file(std::string("/proc/") + entry->d_name + "/cmdline", std::ios::binary);
        std::string first;
        std::getline(file, first, '\0');
        std::string lower = first;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (lower.size() <= 4 || lower.compare(lower.size() - 4, 4, ".exe") != 0) continue;
        std::ifstream environ(std::string("/proc/") + entry->d_name + "/environ", std::ios::binary);
        for (std::string variable; std::getline(environ, variable, '\0');)
            if (variable == marker) found.emplace(pid, first);
    }
    ::closedir(proc);
    return found;
}

// A display for Wine: ours when DISPLAY is set, else an Xvfb of our own.
class Display {
public:
    std::string Open()
    {
        name_ = Environment("DISPLAY");
        if (!name_.empty()) return {};
        if (!ProgramAvailable("Xvfb")) return "there is no display and Xvfb is not installed (Debian package xvfb)";
        for (int number = 90; number <= 140; ++number) {
            if (fs::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
                fs::exists("/tmp/.X" + std::to_string(number) + "-lock"))
                continue;
            std::string candidate = ":" + std::to_string(number);
            if (!xvfb_.Start({"Xvfb", candidate, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"})) break;
            for (int i = 0; i < 100 && xvfb_.Running(); ++i) {
                if (fs::exists("/tmp/.X11-unix/X" + std::to_string(number))) {
                    name_ = candidate;
                    return {};
                }
                ::usleep(100000);
            }
            xvfb_.Stop();
        }
        return "Xvfb did not start";
    }
    const std::string& Name() const { return name_; }
    bool Ours() { return xvfb_.Running(); }

private:
    std::string name_;
    BackgroundProgram xvfb_;
};

class Wine {
public:
    Wine(const fs::path& prefix, const std::string& display) : prefix_(prefix)
    {
        options_.environment = {{"WINEPREFIX", prefix.string()},
                                {"WINEDEBUG", "-all"},
                                {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                                {"DISPLAY", display}};
    }

    // Makes the prefix on first use: unmanaged windows show at once, with
    // Wine's own frame, without a window manager.
    std::string Prepare()
    {
        if (!ProgramAvailable("wine")) return "Wine is not installed (Debian packages wine, wine32)";
        if (fs::exists(prefix_ / "system.reg")) return {};
        std::error_code error;
        fs::create_directories(prefix_.parent_path(), error);
        RunResult boot = RunProgram({"wineboot", "-i"}, options_);
        if (!boot.started) return "wineboot could not be started: " + boot.startError;
        Run({"wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d", "N", "/f"});
        RunProgram({"wineserver", "-w"}, options_);
        if (!fs::exists(prefix_ / "system.reg")) return "Wine could not make its prefix " + prefix_.string();
        return {};
    }

    RunResult Run(const std::vector<std::string>& arguments) { return RunProgram(arguments, options_); }
    RunOptions Options(const fs::path& folder) const
    {
        RunOptions options = options_;
        options.workingDirectory = folder.string();
        return options;
    }
    void Shutdown() { RunProgram({"wineserver", "-k"}, options_); }

private:
    fs::path prefix_;
    RunOptions options_;
};

// Sets the DPI that programs started from now on read, and puts the old
// value back when it goes.
class DpiSetting {
public:
    DpiSetting(Wine& wine, int dpi) : wine_(wine)
    {
        RunResult query = wine_.Run({"wine", "reg", "query", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels"});
        size_t at = query.output.find("0x");
        if (query.exitStatus == 0 && at != std::string::npos) old_ = std::to_string(std::stoul(query.output.substr(at), nullptr, 16));
        if (old_ == std::to_string(dpi) || (old_.empty() && dpi == 96)) return;
        changed_ = true;
        Set(std::to_string(dpi));
    }
    ~DpiSetting()
    {
        if (!changed_) return;
        if (old_.empty()) wine_.Run({"wine", "reg", "delete", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/f"});
        else Set(old_);
    }
    DpiSetting(const DpiSetting&) = delete;
    DpiSetting& operator=(const DpiSetting&) = delete;

private:
    void Set(const std::string& value)
    {
        wine_.Run({"wine", "reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                   value, "/f"});
    }
    Wine& wine_;
    std::string old_;
    bool changed_ = false;
};

// The visible top-level windows of a program, by its file name (Wine's X11
// windows carry it as their class).
std::vector<std::string> VisibleWindows(const std::string& display, const std::string& program)
{
    std::string pattern = "^";
    for (char c : program) pattern += std::isalnum(static_cast<unsigned char>(c)) ? std::string(1, c) : std::string("\\") + c;
    pattern += "$";
    RunOptions options;
    options.environment = {{"DISPLAY", display}};
    RunResult found = RunProgram({"xdotool", "search", "--onlyvisible", "--classname", pattern}, options);
    std::vector<std::string> windows;
    size_t start = 0;
    while (start < found.output.size()) {
        size_t end = found.output.find('\n', start);
        if (end == std::string::npos) end = found.output.size();
        std::string id = found.output.substr(start, end - start);
        if (!id.empty() && std::all_of(id.begin(), id.end(), ::isdigit)) windows.push_back(id);
        start = end + 1;
    }
    return windows;
}

}  // namespace

fs::path PreviewWinePrefix()
{
    std::string chosen = Environment("TRELVO_WINEPREFIX");
    if (!chosen.empty()) return chosen;
    std::string cache = Environment("XDG_CACHE_HOME", Environment("HOME", "/tmp") + "/.cache");
    return fs::path(cache) / "trelvo" / "wine-preview";
}

PreviewResult RunPreview(const PreviewRequest& request)
{
    PreviewResult result;
    for (const char* tool : {"xdotool", "import"})
        if (!ProgramAvailable(tool)) {
            result.error = std::string(tool) + " is not installed (Debian packages xdotool, imagemagick)";
            return result;
        }

    // A copy of the medium with the launcher under its name: nothing the
    // launcher does can touch the medium itself.
    char pattern[] = "/tmp/trelvo-preview-XXXXXX";
    if (!::mkdtemp(pattern)) {
        result.error = "cannot make a work folder in /tmp";
        return result;
    }
    struct Cleanup {
        fs::path path;
        ~Cleanup()
        {
            std::error_code error;
            fs::remove_all(path, error);
        }
    } cleanup{pattern};
    fs::path copy = cleanup.path / "medium";
    std::error_code error;
    fs::copy(request.medium, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (!error) fs::copy_file(request.launcher, copy / request.launcherName, fs::copy_options::overwrite_existing, error);
    if (error) {
        result.error = "cannot copy the medium: " + error.message();
        return result;
    }

    Display display;
    if (std::string problem = display.Open(); !problem.empty()) {
        result.error = problem;
        return result;
    }
    Wine wine(PreviewWinePrefix(), display.Name());
    if (std::string problem = wine.Prepare(); !problem.empty()) {
        result.error = problem;
        return result;
    }
    std::set<std::pair<int, std::string>> before = WindowsProcesses(PreviewWinePrefix());
    {
        DpiSetting dpi(wine, request.dpi);
        BackgroundProgram launcher;
        if (!launcher.Start({"wine", request.launcherName}, wine.Options(copy))) {
            result.error = "Wine could not be started";
            return result;
        }
        std::string window;
        for (double waited = 0; waited < kWindowTimeout && window.empty(); waited += 0.25) {
            for (const std::string& id : VisibleWindows(display.Name(), request.launcherName)) {
                RunOptions options;
                options.environment = {{"DISPLAY", display.Name()}};
                std::string title = Trimmed(RunProgram({"xdotool", "getwindowname", id}, options).output);
                if (title == request.expectedTitle) {
                    window = id;
                    result.title = title;
                }
            }
            if (window.empty() && !launcher.Running()) break;
            if (window.empty()) ::usleep(250000);
        }
        if (window.empty()) {
            bool ended = !launcher.Running();
            launcher.Stop();
            result.error = ended ? "the launcher ended without showing \"" + request.expectedTitle + "\""
                                 : "no window \"" + request.expectedTitle + "\" appeared within 90 seconds";
            return result;
        }
        ::usleep(1000000);  // the first paint
        RunOptions options;
        options.environment = {{"DISPLAY", display.Name()}};
        RunResult shot = RunProgram({"import", "-window", window, request.output.string()}, options);
        if (shot.exitStatus != 0) {
            launcher.Stop();
            result.error = "the screenshot failed: " + Trimmed(shot.output);
            return result;
        }
        RunResult size = RunProgram({"identify", "-format", "%w %h", request.output.string()});
        std::sscanf(size.output.c_str(), "%d %d", &result.width, &result.height);
        result.outcome = request.expectMessage ? PreviewOutcome::Message : PreviewOutcome::Splash;
        if (request.keepOpen) {
            while (launcher.Running()) ::usleep(200000);
        } else {
            // Closed the way a user would: Escape, which dismisses the
            // message and closes the splash window like its close box.
            RunProgram({"xdotool", "key", "Escape"}, options);
            if (launcher.Wait(kExitTimeout) < 0) {
                launcher.Stop();
                result.outcome = PreviewOutcome::Failed;
                result.error = "the launcher did not end after Escape";
            }
        }
    }
    if (!request.keepOpen) {
        for (const auto& [pid, name] : WindowsProcesses(PreviewWinePrefix()))
            if (!before.count({pid, name}) && name.find("\\windows\\") == std::string::npos &&
                name.find("\\Windows\\") == std::string::npos) {
                result.outcome = PreviewOutcome::Failed;
                result.error = "the launcher started " + name + " (stopped now)";
                ::kill(pid, SIGKILL);
            }
    }
    if (display.Ours()) wine.Shutdown();  // Wine's desktop belongs to our display
    return result;
}

}  // namespace trelvo::media
