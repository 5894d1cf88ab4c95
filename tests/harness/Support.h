// The harness's ground floor: counted checks and their report, texts, files
// and what the system says about itself. Used by every Windows-side driver
// (tests/e2e, tests/hostile, tests/hardening) through Runner.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace harness {

// ---------------------------------------------------------------------------
// Checks and their report: one line per failed check, then "N passed, N failed".

struct Report {
    int passed = 0, failed = 0;
    bool verbose = false;
    bool quiet = false;  // failures neither printed nor counted (ObserveCase)
    std::wstring currentCase;
    // Called with each failure line as well (when set).
    std::function<void(const std::wstring&)> onFailure;
};
Report& report();

void Print(const std::wstring& line);
bool Check(bool ok, const std::wstring& what);
bool CheckEqual(const std::wstring& actual, const std::wstring& expected, const std::wstring& what);
bool CheckEqual(long long actual, long long expected, const std::wstring& what);
// Prints the closing "N passed, N failed" line; 0 when nothing failed.
int Summary();

// ---------------------------------------------------------------------------
// Texts

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
std::string Ansi(const std::wstring& text);  // the system code page
// Quoted, line breaks made visible: a text inside a failure line.
std::wstring Show(const std::wstring& text);
// A list of lines inside a failure line: ["a", "b"].
std::wstring Listed(const std::vector<std::string>& items);
std::wstring ColourText(COLORREF colour);
std::wstring ToLower(std::wstring text);
void Replace(std::wstring& text, const std::wstring& from, const std::wstring& to);
void Replace(std::string& text, const std::string& from, const std::string& to);

// ---------------------------------------------------------------------------
// Files

// A full path usable beyond MAX_PATH by the file routines (\\?\ in front);
// other paths as they are.
std::wstring Long(const std::wstring& path);
// A path handed over from the build (a Unix path under Wine) as Windows sees it.
std::wstring WindowsPath(const std::wstring& path);
bool Exists(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::optional<std::string> ReadBytes(const std::wstring& path);
void DeleteTree(const std::wstring& folder);
// The lines of a UTF-8 log such as probe.log (none when it doesn't exist).
std::vector<std::string> LogLines(const std::wstring& path);
// A new folder of its own in the temporary folder (long names), named
// <prefix>-<process id>[-n]; empty when none could be made.
std::wstring MakeTempRoot(const std::wstring& prefix);
std::uint32_t Crc32(const std::string& bytes);

// What a folder tree holds, for "writes nothing": files by attributes, size,
// contents and last-write time; folders by name and attributes. probe.log and
// the marks planted DLLs leave (*.loaded) are not the launcher's and are left out.
struct Entry {
    DWORD attributes = 0;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    std::uint64_t written = 0;
    bool operator==(const Entry&) const = default;
};
using Listing = std::map<std::wstring, Entry>;
Listing ListTree(const std::wstring& root);
// The differences as "added/changed/removed" phrases; empty when none.
std::wstring Changes(const Listing& before, const Listing& after);

// ---------------------------------------------------------------------------
// The system

// The system's text for an error, without the closing full stop and line break.
std::wstring SystemErrorText(DWORD error);
// The system's text for a program that isn't there, as a process start gives it.
std::wstring NotFoundText();
int ScreenDpi();
// "Wine 8.0" under Wine, "Windows" elsewhere.
std::wstring SystemName();
bool UnderWine();
// Crash reports of the system: Wine's crash dialog, its debugger, WerFault.
bool CrashDialogShowing();
int DebuggersRunning();

// Waits (bounded) until `done` holds; true when it did.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);

}  // namespace harness
