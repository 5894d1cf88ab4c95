// A stand-in for the programs a medium starts: it appends its own command
// line, exactly as it received it, as one UTF-8 line to probe.log in the
// folder of its own executable, then ends. The end-to-end driver copies it
// onto each test medium and reads the log to see what the launcher started.
//
// A GUI program with no window, so that starting it never opens a console.
#include <windows.h>

#include <string>

namespace {

std::wstring LogPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return L"probe.log";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1)) + L"probe.log";
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    std::string line = Utf8(GetCommandLineW()) + "\n";
    std::wstring path = LogPath();

    // Opened exclusively so that two probes running at once never interleave
    // their lines; the other one waits its turn (bounded, about 10 s).
    for (int attempt = 0; attempt < 500; ++attempt) {
        HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            BOOL ok = WriteFile(file, line.data(), DWORD(line.size()), &written, nullptr);
            CloseHandle(file);
            return ok && written == line.size() ? 0 : 2;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION) return 1;
        Sleep(20);
    }
    return 1;
}
