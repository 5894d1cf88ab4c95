// The one way the launcher binds a system function at run time: typed (the
// function's own type, calling convention included, taken from the system
// headers or written beside it), looked up once and cached.
//
// The window system (user32, gdi32) is bound instead of imported: silent
// mode and the start-up checks never load it, and when it is loaded, it
// comes from the system directory only, after the DLL search has been
// restricted. Functions newer than the oldest supported Windows are bound the
// same way, with a visible fallback where Find() gives null. Calls inside
// trelvo::win32 read like ordinary Win32 calls and reach these.
#pragma once

#include <windows.h>

#include <utility>

namespace trelvo::win32 {

enum class SystemLibrary { Kernel32, User32, Gdi32, Shell32, Ole32, Gdiplus };

// The library's module, loaded from the system directory on first use and
// kept for the life of the process; null if it cannot be loaded.
HMODULE SystemModule(SystemLibrary library);

// Ends the launcher, through its one failure path, when a function it cannot
// do without is missing (a damaged system).
[[noreturn]] void MissingSystemFunction(const char* name);

// What every bound function shares, out of line so that each call site
// stays one call.
class SystemFunctionBase {
public:
    constexpr SystemFunctionBase(SystemLibrary library, const char* name) : library_(library), name_(name) {}
    SystemFunctionBase(const SystemFunctionBase&) = delete;
    SystemFunctionBase& operator=(const SystemFunctionBase&) = delete;

protected:
    // The address, looked up on the first call only; null when missing.
    void* Address() const;
    // The address of a function the launcher cannot do without: missing, it
    // ends the launcher (MissingSystemFunction).
    void* RequiredAddress() const;

private:
    SystemLibrary library_;
    const char* name_;
    mutable void* address_ = nullptr;
    mutable bool looked_ = false;
};

template <typename Signature>
class SystemFunction final : public SystemFunctionBase {
public:
    using SystemFunctionBase::SystemFunctionBase;

    // The function, or null when the system lacks it.
    Signature* Find() const { return reinterpret_cast<Signature*>(Address()); }

    // Calls a function the launcher cannot do without.
    template <typename... Args>
    decltype(auto) operator()(Args&&... args) const
    {
        return reinterpret_cast<Signature*>(RequiredAddress())(std::forward<Args>(args)...);
    }
};

inline constinit SystemFunction<decltype(::AdjustWindowRectEx)> AdjustWindowRectEx{SystemLibrary::User32, "AdjustWindowRectEx"};
inline constinit SystemFunction<decltype(::BeginPaint)> BeginPaint{SystemLibrary::User32, "BeginPaint"};
inline constinit SystemFunction<decltype(::CreateIconIndirect)> CreateIconIndirect{SystemLibrary::User32, "CreateIconIndirect"};
inline constinit SystemFunction<decltype(::CreateWindowExW)> CreateWindowExW{SystemLibrary::User32, "CreateWindowExW"};
inline constinit SystemFunction<decltype(::DefWindowProcW)> DefWindowProcW{SystemLibrary::User32, "DefWindowProcW"};
inline constinit SystemFunction<decltype(::DestroyIcon)> DestroyIcon{SystemLibrary::User32, "DestroyIcon"};
inline constinit SystemFunction<decltype(::DestroyWindow)> DestroyWindow{SystemLibrary::User32, "DestroyWindow"};
inline constinit SystemFunction<decltype(::DispatchMessageW)> DispatchMessageW{SystemLibrary::User32, "DispatchMessageW"};
inline constinit SystemFunction<decltype(::EndPaint)> EndPaint{SystemLibrary::User32, "EndPaint"};
inline constinit SystemFunction<decltype(::FillRect)> FillRect{SystemLibrary::User32, "FillRect"};
inline constinit SystemFunction<decltype(::GetClientRect)> GetClientRect{SystemLibrary::User32, "GetClientRect"};
inline constinit SystemFunction<decltype(::GetDC)> GetDC{SystemLibrary::User32, "GetDC"};
inline constinit SystemFunction<decltype(::GetFocus)> GetFocus{SystemLibrary::User32, "GetFocus"};
inline constinit SystemFunction<decltype(::GetMessageW)> GetMessageW{SystemLibrary::User32, "GetMessageW"};
inline constinit SystemFunction<decltype(::GetMonitorInfoW)> GetMonitorInfoW{SystemLibrary::User32, "GetMonitorInfoW"};
inline constinit SystemFunction<decltype(::GetSysColor)> GetSysColor{SystemLibrary::User32, "GetSysColor"};
inline constinit SystemFunction<decltype(::GetSystemMetrics)> GetSystemMetrics{SystemLibrary::User32, "GetSystemMetrics"};
inline constinit SystemFunction<decltype(::GetWindowLongW)> GetWindowLongW{SystemLibrary::User32, "GetWindowLongW"};
inline constinit SystemFunction<decltype(::GetWindowRect)> GetWindowRect{SystemLibrary::User32, "GetWindowRect"};
inline constinit SystemFunction<decltype(::InvalidateRect)> InvalidateRect{SystemLibrary::User32, "InvalidateRect"};
inline constinit SystemFunction<decltype(::IsChild)> IsChild{SystemLibrary::User32, "IsChild"};
inline constinit SystemFunction<decltype(::IsDialogMessageW)> IsDialogMessageW{SystemLibrary::User32, "IsDialogMessageW"};
inline constinit SystemFunction<decltype(::IsWindowVisible)> IsWindowVisible{SystemLibrary::User32, "IsWindowVisible"};
inline constinit SystemFunction<decltype(::LoadCursorW)> LoadCursorW{SystemLibrary::User32, "LoadCursorW"};
inline constinit SystemFunction<decltype(::LoadImageW)> LoadImageW{SystemLibrary::User32, "LoadImageW"};
inline constinit SystemFunction<decltype(::MessageBoxW)> MessageBoxW{SystemLibrary::User32, "MessageBoxW"};
inline constinit SystemFunction<decltype(::MonitorFromWindow)> MonitorFromWindow{SystemLibrary::User32, "MonitorFromWindow"};
inline constinit SystemFunction<decltype(::RegisterClassExW)> RegisterClassExW{SystemLibrary::User32, "RegisterClassExW"};
inline constinit SystemFunction<decltype(::ReleaseDC)> ReleaseDC{SystemLibrary::User32, "ReleaseDC"};
inline constinit SystemFunction<decltype(::SendMessageW)> SendMessageW{SystemLibrary::User32, "SendMessageW"};
inline constinit SystemFunction<decltype(::SetFocus)> SetFocus{SystemLibrary::User32, "SetFocus"};
inline constinit SystemFunction<decltype(::SetForegroundWindow)> SetForegroundWindow{SystemLibrary::User32, "SetForegroundWindow"};
inline constinit SystemFunction<decltype(::SetWindowLongW)> SetWindowLongW{SystemLibrary::User32, "SetWindowLongW"};
inline constinit SystemFunction<decltype(::SetWindowPos)> SetWindowPos{SystemLibrary::User32, "SetWindowPos"};
inline constinit SystemFunction<decltype(::SetWindowTextW)> SetWindowTextW{SystemLibrary::User32, "SetWindowTextW"};
inline constinit SystemFunction<decltype(::ShowWindow)> ShowWindow{SystemLibrary::User32, "ShowWindow"};
inline constinit SystemFunction<decltype(::SystemParametersInfoW)> SystemParametersInfoW{SystemLibrary::User32, "SystemParametersInfoW"};
inline constinit SystemFunction<decltype(::TranslateMessage)> TranslateMessage{SystemLibrary::User32, "TranslateMessage"};
inline constinit SystemFunction<decltype(::UpdateWindow)> UpdateWindow{SystemLibrary::User32, "UpdateWindow"};

inline constinit SystemFunction<decltype(::BitBlt)> BitBlt{SystemLibrary::Gdi32, "BitBlt"};
inline constinit SystemFunction<decltype(::CreateBitmap)> CreateBitmap{SystemLibrary::Gdi32, "CreateBitmap"};
inline constinit SystemFunction<decltype(::CreateCompatibleDC)> CreateCompatibleDC{SystemLibrary::Gdi32, "CreateCompatibleDC"};
inline constinit SystemFunction<decltype(::CreateDIBSection)> CreateDIBSection{SystemLibrary::Gdi32, "CreateDIBSection"};
inline constinit SystemFunction<decltype(::CreateFontIndirectW)> CreateFontIndirectW{SystemLibrary::Gdi32, "CreateFontIndirectW"};
inline constinit SystemFunction<decltype(::CreateSolidBrush)> CreateSolidBrush{SystemLibrary::Gdi32, "CreateSolidBrush"};
inline constinit SystemFunction<decltype(::DeleteDC)> DeleteDC{SystemLibrary::Gdi32, "DeleteDC"};
inline constinit SystemFunction<decltype(::DeleteObject)> DeleteObject{SystemLibrary::Gdi32, "DeleteObject"};
inline constinit SystemFunction<decltype(::GetDIBits)> GetDIBits{SystemLibrary::Gdi32, "GetDIBits"};
inline constinit SystemFunction<decltype(::GetDeviceCaps)> GetDeviceCaps{SystemLibrary::Gdi32, "GetDeviceCaps"};
inline constinit SystemFunction<decltype(::GetObjectW)> GetObjectW{SystemLibrary::Gdi32, "GetObjectW"};
inline constinit SystemFunction<decltype(::SelectObject)> SelectObject{SystemLibrary::Gdi32, "SelectObject"};


// Newer than Windows 7: always called through Find(), with a fallback.
inline constinit SystemFunction<BOOL WINAPI(DWORD)> SetDefaultDllDirectories{SystemLibrary::Kernel32, "SetDefaultDllDirectories"};
inline constinit SystemFunction<UINT WINAPI(HWND)> GetDpiForWindow{SystemLibrary::User32, "GetDpiForWindow"};
inline constinit SystemFunction<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)> AdjustWindowRectExForDpi{SystemLibrary::User32, "AdjustWindowRectExForDpi"};
inline constinit SystemFunction<BOOL WINAPI(UINT, UINT, void*, UINT, UINT)> SystemParametersInfoForDpi{SystemLibrary::User32, "SystemParametersInfoForDpi"};

}  // namespace trelvo::win32
