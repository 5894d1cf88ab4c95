#include "platform/Win32Host.h"

#include <shellapi.h>

#include "config/ProfileText.h"
#include "launch/CommandLine.h"

#include <optional>
#include <vector>

namespace trelvo::win32 {

UniqueLibrary LoadSystemLibrary(const wchar_t* name)
{
    // The DLL and everything it imports from the system directory only.
    if (HMODULE library = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return UniqueLibrary(library);
    // Windows 7 without the search-flag update: a full path into the system
    // directory, whose dependencies are then looked up from there first.
    wchar_t directory[MAX_PATH];
    UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::wstring path(directory, length);
    path += L'\\';
    path += name;
    return UniqueLibrary(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

HMODULE GuiModule(GuiLibrary library)
{
    // Loaded once and kept for the life of the process.
    static HMODULE user32 = nullptr, gdi32 = nullptr;
    HMODULE& module = library == GuiLibrary::User32 ? user32 : gdi32;
    if (!module) module = LoadSystemLibrary(library == GuiLibrary::User32 ? L"user32.dll" : L"gdi32.dll").release();
    return module;
}

void MissingGuiFunction(const char*)
{
    // Without the window system there is no message box to show either.
    ExitProcess(UINT(ExitCode::UncheckedFailure));
}

std::wstring SystemErrorText(DWORD error, const std::wstring& subject)
{
    // Some system messages name their subject ("%1 is not a valid Win32
    // application."): every insert gets the subject, never a raw "%1".
    const DWORD_PTR inserts[9] = {
        DWORD_PTR(subject.c_str()), DWORD_PTR(subject.c_str()), DWORD_PTR(subject.c_str()),
        DWORD_PTR(subject.c_str()), DWORD_PTR(subject.c_str()), DWORD_PTR(subject.c_str()),
        DWORD_PTR(subject.c_str()), DWORD_PTR(subject.c_str()), DWORD_PTR(subject.c_str())};
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                  nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                  reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(inserts)));
    std::wstring result = length ? std::wstring(text, length) : L"Unknown error.";
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    return result;
}

namespace {

// The system's profile routine looks for a file named without a full path in
// the Windows folder; such names stay with it.
bool IsFullPath(const std::wstring& path)
{
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    return (path.size() >= 3 && path[1] == L':' && separator(path[2])) ||
           (path.size() >= 2 && separator(path[0]) && separator(path[1]));
}

// The whole file, or nothing when it cannot be read: absent, a folder,
// locked, or larger than any configuration file.
std::optional<std::string> FileBytes(const std::wstring& path)
{
    constexpr LONGLONG kLargest = 16 << 20;
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (file.get() == INVALID_HANDLE_VALUE || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargest)
        return std::nullopt;
    std::string bytes(size_t(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &read, nullptr)) return std::nullopt;
    bytes.resize(read);
    return bytes;
}

}  // namespace

std::wstring Win32Host::CurrentDirectory()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetFullPathNameW(L".\\", DWORD(buffer.size()), buffer.data(), nullptr);
        if (length == 0) return L".";
        if (length < buffer.size()) {
            std::wstring path(buffer.data(), length);
            // "C:\dir\" loses its separator; a drive root "C:\" keeps it.
            if (path.size() > 3 && path.back() == L'\\') path.pop_back();
            return path;
        }
        buffer.resize(length + 1);
    }
}

std::wstring Win32Host::ExecutableBaseName()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD length;
    while ((length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()))) >= buffer.size())
        buffer.resize(buffer.size() * 2);
    std::wstring path(buffer.data(), length);
    size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

bool Win32Host::FileExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint32_t Win32Host::ReadProfileString(const std::wstring& section, const std::wstring& key,
                                           const std::wstring& fallback, wchar_t* buffer,
                                           std::uint32_t size, const std::wstring& file)
{
    // A UTF-8 file (ProfileFileEncoding's rule) is read by the program's own
    // reader: the system's routine would read it in the code page, and on
    // Windows takes a byte-order mark for part of the first line. The file is
    // read and classified on every call: the launcher reads about ten keys of
    // a small file at start-up, and the system's routine reads the file on
    // each call too.
    if (IsFullPath(file))
        if (std::optional<std::string> bytes = FileBytes(file); bytes && IsUtf8(ProfileFileEncoding(*bytes)))
            return ReadProfileText(*bytes, section, key, fallback, buffer, size);
    // Any other file as the system reads it: the code page, or UTF-16 after
    // its mark. The wide routine also finds files whose path is outside the
    // code page.
    return GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback.c_str(), buffer, size, file.c_str());
}

void Win32Host::WriteProfileString(const std::wstring& section, const std::wstring& key,
                                   const std::wstring& value, const std::wstring& file)
{
    WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

void Win32Host::ShowStopMessage(const std::wstring& text)
{
    HWND owner = window_ && IsWindowVisible(window_->Handle()) ? window_->Handle() : nullptr;
    MessageBoxW(owner, text.c_str(), L"Trelvo", MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
}

std::unique_ptr<Picture> Win32Host::LoadPicture(const std::wstring& path)
{
    return DecodeImage(path, L"picture");
}

std::unique_ptr<Picture> Win32Host::LoadIcon(const std::wstring& path)
{
    auto icons = std::make_unique<IconPair>();
    const int large = GetSystemMetrics(SM_CXICON), small = GetSystemMetrics(SM_CXSMICON);
    // An icon file: the system picks its best-fitting image for each size.
    icons->large.reset(static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, large, large, LR_LOADFROMFILE)));
    if (icons->large) {
        icons->small.reset(static_cast<HICON>(LoadImageW(nullptr, path.c_str(), IMAGE_ICON, small, small, LR_LOADFROMFILE)));
        return icons;
    }
    // Any other image is scaled into the two icon sizes.
    std::unique_ptr<DecodedImage> image = DecodeImage(path, L"icon");
    icons->large = IconFromImage(*image, large);
    icons->small = IconFromImage(*image, small);
    if (!icons->large) throw UncheckedFailure(L"Couldn't load the icon " + path + L": " + SystemErrorText(GetLastError()));
    return icons;
}

SplashWindow& Win32Host::Window(WindowEvents& events)
{
    if (!window_) window_ = std::make_unique<Win32Window>(instance_, events);
    return *window_;
}

StartOutcome Win32Host::StartProcess(const std::wstring& commandLine)
{
    std::wstring line = commandLine;  // the system may write into it
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        DWORD error = GetLastError();
        return {error, SystemErrorText(error, SplitCommandLine(commandLine).program)};
    }
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);  // not waited for
    return {};
}

StartOutcome Win32Host::StartElevated(const std::wstring& program, const std::wstring& parameters)
{
    using ShellExecuteExFn = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
    UniqueLibrary shell = LoadSystemLibrary(L"shell32.dll");
    auto shellExecuteEx = shell ? reinterpret_cast<ShellExecuteExFn>(
                                      reinterpret_cast<void*>(GetProcAddress(shell.get(), "ShellExecuteExW")))
                                : nullptr;
    if (!shellExecuteEx) return {ERROR_PROC_NOT_FOUND, SystemErrorText(ERROR_PROC_NOT_FOUND)};
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!shellExecuteEx(&info)) {
        DWORD error = GetLastError();
        return {error, SystemErrorText(error, program)};
    }
    UniqueHandle processHandle(info.hProcess);
    return {};
}

void Win32Host::EndProcess(ExitCode code)
{
    ExitProcess(UINT(code));
}

}  // namespace trelvo::win32
