#include "platform/Win32Host.h"

#include <objbase.h>
#include <shellapi.h>

#include "config/ProfileText.h"
#include "launch/CommandLine.h"
#include "platform/Win32System.h"

#include <optional>
#include <vector>

namespace trelvo::win32 {

namespace {

inline constinit SystemFunction<decltype(::ShellExecuteExW)> ShellExecuteExW{SystemLibrary::Shell32, "ShellExecuteExW"};
inline constinit SystemFunction<HRESULT WINAPI(void*, DWORD)> CoInitializeEx{SystemLibrary::Ole32, "CoInitializeEx"};

}  // namespace

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

std::unique_ptr<Picture> Win32Host::LoadPicture(const std::wstring& path)
{
    return DecodeImage(path, L"picture");
}

std::unique_ptr<Icon> Win32Host::LoadIcon(const std::wstring& path)
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
    icons->large = IconFromImage(image->image, large);
    icons->small = IconFromImage(image->image, small);
    return icons;
}

SplashWindow& Win32Host::Window(WindowEvents& events)
{
    if (!window_) window_ = std::make_unique<Win32Window>(instance_, events, *this);
    return *window_;
}

void Win32Host::ShowWindowAndRun(WindowEvents& events)
{
    Window(events);
    window_->ShowAndRun();
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

namespace {

// The shell's start of a file with a verb: shown normally, not waited for,
// and no message box of the shell's own (the launcher reports failures).
StartOutcome ShellExecuteWith(const wchar_t* verb, const std::wstring& file, const std::wstring& parameters,
                              const std::wstring& directory)
{
    auto shellExecuteEx = ShellExecuteExW.Find();
    if (!shellExecuteEx) return {ERROR_PROC_NOT_FOUND, SystemErrorText(ERROR_PROC_NOT_FOUND)};

    // Opening a document or URL may run shell extensions, which expect COM
    // on the calling thread; the process ends right after, so it stays.
    if (auto coInitializeEx = CoInitializeEx.Find())
        coInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!shellExecuteEx(&info)) {
        DWORD error = GetLastError();
        return {error, SystemErrorText(error, file)};
    }
    UniqueHandle processHandle(info.hProcess);  // null when the file went to a running program
    return {};
}

std::wstring FolderOf(const std::wstring& path)
{
    size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return {};
    return path.substr(0, separator == 2 && path[1] == L':' ? 3 : separator);  // "C:\" keeps its separator
}

// A string the system fills by the "size needed" convention.
template <typename Fill>
std::wstring SystemString(Fill&& fill)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        UINT length = fill(buffer.data(), UINT(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
}

}  // namespace

StartOutcome Win32Host::StartElevated(const std::wstring& program, const std::wstring& parameters)
{
    return ShellExecuteWith(L"runas", program, parameters, L"");
}

StartOutcome Win32Host::OpenThroughShell(const std::wstring& file, const std::wstring& parameters,
                                         const std::wstring& directory)
{
    return ShellExecuteWith(L"open", file, parameters, directory);
}

ProgramSearchFolders Win32Host::FoldersSearchedForPrograms()
{
    ProgramSearchFolders folders;
    std::vector<wchar_t> module(MAX_PATH);
    DWORD length;
    while ((length = GetModuleFileNameW(nullptr, module.data(), DWORD(module.size()))) >= module.size())
        module.resize(module.size() * 2);
    folders.launcherFolder = FolderOf(std::wstring(module.data(), length));
    folders.systemFolder = SystemString([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); });
    folders.windowsFolder = SystemString([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
    folders.path = SystemString([](wchar_t* b, UINT n) { return UINT(GetEnvironmentVariableW(L"PATH", b, n)); });
    folders.currentDirectory = NeedCurrentDirectoryForExePathW(L"program.exe") != FALSE;
    return folders;
}

bool Win32Host::FolderExists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Win32Host::EndProcess(ExitCode code, std::wstring_view message)
{
    // A message about the shown window is owned by it.
    HWND owner = window_ && IsWindowVisible(window_->Handle()) ? window_->Handle() : nullptr;
    EndLauncher(code, message.empty() ? nullptr : message.data(), owner);
}

}  // namespace trelvo::win32
