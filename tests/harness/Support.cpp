#include "Support.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

namespace harness {

Report& report()
{
    static Report shared;
    return shared;
}

void Print(const std::wstring& line)
{
    std::string bytes = Utf8(line) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

bool Check(bool ok, const std::wstring& what)
{
    Report& r = report();
    if (ok) {
        r.passed += r.quiet ? 0 : 1;
    } else {
        r.failed += r.quiet ? 0 : 1;
        if (!r.quiet) Print(L"FAILED [" + r.currentCase + L"] " + what);
        if (r.onFailure) r.onFailure(what);
    }
    return ok;
}

bool CheckEqual(const std::wstring& actual, const std::wstring& expected, const std::wstring& what)
{
    return Check(actual == expected, what + L": got " + Show(actual) + L", expected " + Show(expected));
}

bool CheckEqual(long long actual, long long expected, const std::wstring& what)
{
    return Check(actual == expected,
                 what + L": got " + std::to_wstring(actual) + L", expected " + std::to_wstring(expected));
}

int Summary()
{
    Print(std::to_wstring(report().passed) + L" passed, " + std::to_wstring(report().failed) + L" failed");
    return report().failed == 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), size);
    return out;
}

std::string Ansi(const std::wstring& text)
{
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Show(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\r') out += L"\\r";
        else if (c == L'\n') out += L"\\n";
        else out += c;
    }
    return out + L"\"";
}

std::wstring Listed(const std::vector<std::string>& items)
{
    std::wstring out = L"[";
    for (const auto& item : items) out += (out.size() > 1 ? L", " : L"") + Show(Wide(item));
    return out + L"]";
}

std::wstring ColourText(COLORREF c)
{
    if (c == CLR_INVALID) return L"(unreadable)";
    return L"(" + std::to_wstring(GetRValue(c)) + L"," + std::to_wstring(GetGValue(c)) + L"," +
           std::to_wstring(GetBValue(c)) + L")";
}

std::wstring ToLower(std::wstring text)
{
    if (!text.empty()) CharLowerBuffW(text.data(), DWORD(text.size()));
    return text;
}

void Replace(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty()) return;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// ---------------------------------------------------------------------------

std::wstring Long(const std::wstring& path)
{
    // Only a full path with a drive can take the prefix.
    bool drive = path.size() >= 3 && path[1] == L':' && path[2] == L'\\';
    return drive ? L"\\\\?\\" + path : path;
}

std::wstring WindowsPath(const std::wstring& path)
{
    if (path.empty() || path[0] != L'/') return path;
    using ToDos = WCHAR*(CDECL*)(const char*);
    auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (toDos) {
        if (WCHAR* dos = toDos(Utf8(path).c_str())) {
            std::wstring out = dos;
            HeapFree(GetProcessHeap(), 0, dos);
            return out;
        }
    }
    std::wstring out = L"Z:" + path;
    std::replace(out.begin(), out.end(), L'/', L'\\');
    return out;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {
struct FileHandle {
    HANDLE handle;
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};
}  // namespace

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    FileHandle file{CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    return WriteFile(file.handle, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
}

std::optional<std::string> ReadBytes(const std::wstring& path)
{
    FileHandle file{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.handle, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

void DeleteTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((Long(folder) + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path);
            } else {
                SetFileAttributesW(Long(path).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(Long(path).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetFileAttributesW(Long(folder).c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(Long(folder).c_str());
}

std::vector<std::string> LogLines(const std::wstring& path)
{
    std::vector<std::string> lines;
    if (auto log = ReadBytes(Long(path))) {
        size_t at = 0;
        while (at < log->size()) {
            size_t end = log->find('\n', at);
            if (end == std::string::npos) end = log->size();
            std::string line = log->substr(at, end - at);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
            at = end + 1;
        }
    }
    return lines;
}

std::wstring MakeTempRoot(const std::wstring& prefix)
{
    wchar_t temp[MAX_PATH] = {}, longTemp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    if (!GetLongPathNameW(temp, longTemp, MAX_PATH)) wcscpy(longTemp, temp);
    std::wstring base = std::wstring(longTemp);
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    base += prefix + L"-" + std::to_wstring(GetCurrentProcessId());
    // A name left by an earlier run (kept after a failure) is never reused.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring root = attempt == 0 ? base : base + L"-" + std::to_wstring(attempt);
        if (CreateDirectoryW(root.c_str(), nullptr)) return root;
    }
    return {};
}

std::uint32_t Crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

namespace {
bool NotTheLaunchers(const std::wstring& name)
{
    std::wstring lower = ToLower(name);
    return lower == L"probe.log" || (lower.size() > 7 && lower.compare(lower.size() - 7, 7, L".loaded") == 0);
}

void List(const std::wstring& root, const std::wstring& relative, Listing& out)
{
    std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((Long(folder) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L".." || NotTheLaunchers(name)) continue;
        std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        Entry entry;
        entry.attributes = found.dwFileAttributes;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            // A folder's own write time changes when probe.log is written.
            out[path + L"\\"] = entry;
            List(root, path, out);
        } else {
            entry.size = (std::uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            entry.written =
                (std::uint64_t(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
            auto bytes = ReadBytes(Long(root + L"\\" + path));
            entry.crc = bytes ? Crc32(*bytes) : 0xFFFFFFFFu;
            out[path] = entry;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
}  // namespace

Listing ListTree(const std::wstring& root)
{
    Listing out;
    List(root, L"", out);
    return out;
}

std::wstring Changes(const Listing& before, const Listing& after)
{
    std::wstring changes;
    for (const auto& [path, entry] : after) {
        auto was = before.find(path);
        if (was == before.end()) changes += L" added " + Show(path) + L";";
        else if (!(was->second == entry)) changes += L" changed " + Show(path) + L";";
    }
    for (const auto& [path, entry] : before)
        if (!after.count(path)) changes += L" removed " + Show(path) + L";";
    return changes;
}

// ---------------------------------------------------------------------------

std::wstring SystemErrorText(DWORD error)
{
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    if (buffer) LocalFree(buffer);
    // A message may quote the text inside a sentence of its own.
    while (!text.empty() &&
           (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text;
}

std::wstring NotFoundText()
{
    std::wstring command = L"trelvo-e2e-no-such-program.exe";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        TerminateProcess(process.hProcess, 0);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return {};
    }
    return SystemErrorText(GetLastError());
}

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

namespace {
const char* WineVersion()
{
    using Version = const char*(CDECL*)();
    auto version = reinterpret_cast<Version>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return version ? version() : nullptr;
}
}  // namespace

bool UnderWine() { return WineVersion() != nullptr; }

std::wstring SystemName()
{
    const char* version = WineVersion();
    return version ? L"Wine " + Wide(version) : L"Windows";
}

namespace {
BOOL CALLBACK FindCrashDialog(HWND window, LPARAM data)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (IsWindowVisible(window) && std::wstring(text).find(L"Program Error") != std::wstring::npos)
        *reinterpret_cast<bool*>(data) = true;
    return TRUE;
}
}  // namespace

bool CrashDialogShowing()
{
    bool seen = false;
    EnumWindows(FindCrashDialog, LPARAM(&seen));
    return seen;
}

int DebuggersRunning()
{
    int count = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (ToLower(entry.szExeFile) == L"winedbg.exe" || ToLower(entry.szExeFile) == L"werfault.exe") ++count;
    CloseHandle(snapshot);
    return count;
}

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(25);
    }
}

}  // namespace harness
