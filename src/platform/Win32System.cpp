#include "platform/Win32System.h"

#include <cwchar>
#include <iterator>

namespace trelvo::win32 {
namespace {

bool ending = false;

}  // namespace

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

HMODULE SystemModule(SystemLibrary library)
{
    // kernel32 is in every process already; the others are loaded once and
    // kept until the process ends.
    if (library == SystemLibrary::Kernel32) return GetModuleHandleW(L"kernel32.dll");
    static const wchar_t* const names[] = {nullptr, L"user32.dll", L"gdi32.dll", L"shell32.dll", L"ole32.dll", L"gdiplus.dll"};
    static UniqueLibrary modules[std::size(names)];
    static bool tried[std::size(names)] = {};
    const auto index = static_cast<size_t>(library);
    if (!tried[index]) {
        tried[index] = true;
        modules[index] = LoadSystemLibrary(names[index]);
    }
    return modules[index].get();
}

void* SystemFunctionBase::Address() const
{
    if (!looked_) {
        looked_ = true;
        HMODULE module = SystemModule(library_);
        address_ = module ? reinterpret_cast<void*>(GetProcAddress(module, name_)) : nullptr;
    }
    return address_;
}

void* SystemFunctionBase::RequiredAddress() const
{
    void* address = Address();
    if (!address) MissingSystemFunction(name_);
    return address;
}

void MissingSystemFunction(const char* name)
{
    // Built without the heap, like every text on the way out.
    wchar_t text[160] = L"Trelvo cannot run on this system: its function ";
    size_t at = wcslen(text);
    for (const char* c = name; *c && at < 120; ++c) text[at++] = wchar_t(static_cast<unsigned char>(*c));
    const wchar_t tail[] = L" is missing.";
    for (const wchar_t* c = tail; *c; ++c) text[at++] = *c;
    text[at] = L'\0';
    EndLauncher(ExitCode::UncheckedFailure, text);
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
    LocalMemory<wchar_t> owner(text);
    std::wstring result = length ? std::wstring(text, length) : L"Unknown error.";
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' '))
        result.pop_back();
    return result;
}

void EndLauncher(ExitCode code, const wchar_t* message, HWND owner)
{
    if (message && !ending) {
        ending = true;
        // Without the window system there is no box to show: the status alone
        // tells what happened.
        if (auto messageBox = MessageBoxW.Find())
            messageBox(owner, message, L"Trelvo", MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
    }
    ending = true;
    ExitProcess(UINT(code));
}

bool LauncherEnding()
{
    return ending;
}

}  // namespace trelvo::win32
