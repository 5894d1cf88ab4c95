// The one case runner of the Windows-side drivers. A case describes a medium
// (the INI, the files, where the launcher sits and starts) and what the user
// must see; RunCase builds the medium in a fresh folder, starts the launcher
// there in a job object, watches it from outside (message boxes read and
// answered, the splash window measured, sampled and acted on), and checks,
// for every case alike, that it
//   - ends by itself within kEndBound with the expected exit code (0 to 3: no crash),
//   - shows no crash dialog, starts no debugger, stays within kMemoryBound,
//   - shows exactly the expected message boxes (title, one OK, stop icon, text,
//     no internal fault, no unfilled %1) and the splash window only when expected,
//   - starts exactly the expected commands (probe.log, and the job's process count),
//   - writes nothing into the case's folders,
//   - loads none of the DLLs planted beside it.
// The outcome comes back as data as well, whatever was expected.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Launcher.h"
#include "Media.h"
#include "Screen.h"
#include "Support.h"

namespace harness {

enum class Folder { Media, Other };
// The launcher's current directory.
enum class Cwd { Media, Other, DriveRoot };
// How the medium folder is made and where the launcher starts.
enum class Place {
    Plain,      // <case>\<folder>
    ReadOnly,   // the same, with every file and the folder itself read-only, as on a disc
    LongPath,   // the INI and files in a folder whose path is longer than MAX_PATH, the current
                // directory, given by its short (8.3) name; the launcher and probe.exe in <case>
                // (a program whose own path is that long cannot be started under Wine)
    DeepFiles,  // the launcher, the INI and the current directory in a folder shorter than
                // MAX_PATH; the files in its subfolder {deep}, whose path is longer
};

// A file or folder placed on the medium (or beside it, in "other").
struct File {
    Folder in;
    std::wstring name;
    std::string bytes;
    bool folder = false;
};

// The small splash picture most cases use (kPictureWidth x kPictureHeight, kPictureColour).
inline File SplashBmp(Folder in = Folder::Media, const std::wstring& name = L"splash.bmp")
{
    return {in, name, Bmp(kPictureWidth, kPictureHeight, kPictureColour)};
}
inline std::string SplashPng() { return Png(kPictureWidth, kPictureHeight, kPictureColour); }

// The launcher's message when the INI is missing.
inline const std::wstring kMissingIni = L"{ini} doesn't exist. INI filename must be the same as EXE filename.";

struct Case {
    std::wstring name;
    std::wstring about;              // what the case checks, for a table of outcomes
    std::optional<std::string> ini;  // bytes of <cwd>\<exe base name>.ini; {media}, {other}, {deep} are
                                     // replaced (in the system code page); absent: no INI written
    std::wstring exe = L"setup.exe";  // the launcher's name on the medium
    std::wstring folder = L"media";
    Cwd cwd = Cwd::Media;
    Place place = Place::Plain;
    std::vector<File> files;
    std::vector<std::wstring> probes = {L"probe.exe"};  // copies of probe.exe beside the launcher
    std::vector<std::wstring> planted;      // DLLs planted beside the launcher (copies of planted.dll)
    std::vector<std::wstring> wineMayLoad;  // of those, the ones only Wine's own libraries may load
    int exitCode = 0;
    std::vector<Box> boxes;  // texts may hold {media}, {other}, {cwd}, {deep}, {ini}, {notfound}
    std::vector<std::string> started;  // probe.log lines, each exactly once; {deep} is replaced
    std::optional<Splash> splash;      // absent: no splash window may show
    std::wstring note;                 // printed under a table of outcomes
    // For the run, the probe is the shell's opener of ".trelvodoc" documents,
    // "trelvo-e2e:" URLs and folders (it logs "/opened", "/url", "/folder"
    // and the path); ".trelvonone" and "nobody-e2e:" have no opener.
    bool shellTypes = false;
};

// What the run needs from outside the case.
struct Context {
    std::wstring launcher, probe, planted;  // the built programs (Windows paths)
    std::wstring tempRoot, notFound;
    int dpi = 96;
};

// Where a case's medium was made.
struct Medium {
    std::wstring caseRoot;  // <tempRoot>\<index>: everything of the case
    std::wstring media, other, cwd, ini;
    std::wstring programs;  // where the launcher and probe.exe are
    std::wstring start;     // the current directory it starts with (a short name for LongPath)
    std::wstring deep;      // the deep medium's own folder name
};
// Makes the case's folders and files (checked); false when that failed.
bool PrepareMedium(const Case& c, int index, const Context& context, Medium& medium);

// What the user saw, as data, as it was seen (real paths in the texts).
struct SeenButton {
    std::wstring caption;
    long left = 0;  // in client pixels
};
struct Outcome {
    Medium medium;
    bool started = false;
    std::wstring startError;
    bool ended = false;
    DWORD exitCode = 0;
    std::vector<SeenBox> boxes;  // the message boxes, in order
    bool splashShown = false;
    std::wstring splashTitle;
    std::vector<SeenButton> buttons;  // the visible buttons, slot by slot
    std::optional<int> clicked;       // the slot the case pressed
    std::vector<std::string> lines;   // probe.log: the commands started, sorted
    std::optional<DWORD> processes;   // that ran in the job, the launcher included
    std::vector<std::wstring> plantedLoaded;
    std::wstring written;  // what changed in the case's folders ("" when nothing)
    std::uint64_t peakMemory = 0;
    std::vector<std::wstring> failures;  // the failed checks
};
// The medium's paths in a text as {media}, {cwd}, {other}, {programs},
// {case} and {deep}: the same text every run.
std::wstring Placeholders(std::wstring text, const Medium& medium);

constexpr DWORD kEndBound = 30000;                    // ms for the launcher to end
constexpr std::uint64_t kMemoryBound = 512ull << 20;  // peak working set

// Runs one case as case number `index` (its folder is <tempRoot>\<index>),
// its checks counted and failures printed.
Outcome RunCase(const Case& c, int index, const Context& context);
// The same run, only observed: nothing counted or printed; the outcome (with
// its `failures` against whatever the case expects) is all it gives. For
// comparing the launcher with another reading of the same medium.
Outcome ObserveCase(const Case& c, int index, const Context& context);

// ---------------------------------------------------------------------------
// What every driver's main does.

//   <driver> <trelvo.exe> <probe.exe> [--planted=DLL] [--verbose] [--only=TEXT] [--keep] [--export=DIR]
//            [--table PATH] [--dpi=N] [--at-dpi=N]
struct Options {
    std::vector<std::wstring> positional;
    std::wstring only, table, planted;
    int dpi = 0, atDpi = 0;
    bool verbose = false;
    bool keep = false;  // every case's folder stays
    std::wstring exportTo;  // --export=DIR: each case's medium and outcome, for the checker's agreement test
};
Options ParseOptions(int argc, wchar_t** argv);

// The programs exist, the system's text for a missing program, a temporary
// root "<prefix>-<pid>". False (with failed checks) when something is missing.
bool SetUp(const Options& options, const std::wstring& prefix, Context& context);

struct Ran {
    std::vector<const Case*> cases;
    std::vector<Outcome> outcomes;
};
// Each case whose name holds `only` (all when empty); a passed case's folder
// is removed unless `keep` (--keep).
Ran RunCases(const std::vector<Case>& cases, const Context& context, const Options& options);

// Prints the time taken, removes the temporary root when nothing failed
// (and not `keep`), and closes with "N passed, N failed"; the exit code for main.
int Finish(const Context& context, DWORD runStart, size_t ran, bool keep = false);

}  // namespace harness
