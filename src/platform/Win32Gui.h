// The window system's functions (user32 and gdi32), bound on first use
// instead of imported: silent mode and the start-up checks never load the
// window system, and when it is loaded, it comes from the system directory
// only, after the DLL search has been restricted. Calls inside trelvo::win32
// read like ordinary Win32 calls and reach these.
#pragma once

#include <windows.h>

#include <utility>

namespace trelvo::win32 {

enum class GuiLibrary { User32, Gdi32 };

// The library's module, loaded on first use; null if it cannot be loaded.
HMODULE GuiModule(GuiLibrary library);

// Ends the process with the launcher's failure status when a function of
// the window system cannot be found (a damaged system).
[[noreturn]] void MissingGuiFunction(const char* name);

// One function of the window system. Signature is the function's own type
// (with its calling convention), taken from the system headers.
template <typename Signature>
class GuiFunction {
public:
    constexpr GuiFunction(GuiLibrary library, const char* name) : library_(library), name_(name) {}

    template <typename... Args>
    auto operator()(Args&&... args) const
    {
        return Address()(std::forward<Args>(args)...);
    }

    Signature* Address() const
    {
        HMODULE module = GuiModule(library_);
        void* address = module ? reinterpret_cast<void*>(GetProcAddress(module, name_)) : nullptr;
        if (!address) MissingGuiFunction(name_);
        return reinterpret_cast<Signature*>(address);
    }

private:
    GuiLibrary library_;
    const char* name_;
};

inline constexpr GuiFunction<decltype(::AdjustWindowRectEx)> AdjustWindowRectEx{GuiLibrary::User32, "AdjustWindowRectEx"};
inline constexpr GuiFunction<decltype(::BeginPaint)> BeginPaint{GuiLibrary::User32, "BeginPaint"};
inline constexpr GuiFunction<decltype(::CreateIconIndirect)> CreateIconIndirect{GuiLibrary::User32, "CreateIconIndirect"};
inline constexpr GuiFunction<decltype(::CreateWindowExW)> CreateWindowExW{GuiLibrary::User32, "CreateWindowExW"};
inline constexpr GuiFunction<decltype(::DefWindowProcW)> DefWindowProcW{GuiLibrary::User32, "DefWindowProcW"};
inline constexpr GuiFunction<decltype(::DestroyIcon)> DestroyIcon{GuiLibrary::User32, "DestroyIcon"};
inline constexpr GuiFunction<decltype(::DestroyWindow)> DestroyWindow{GuiLibrary::User32, "DestroyWindow"};
inline constexpr GuiFunction<decltype(::DispatchMessageW)> DispatchMessageW{GuiLibrary::User32, "DispatchMessageW"};
inline constexpr GuiFunction<decltype(::EndPaint)> EndPaint{GuiLibrary::User32, "EndPaint"};
inline constexpr GuiFunction<decltype(::FillRect)> FillRect{GuiLibrary::User32, "FillRect"};
inline constexpr GuiFunction<decltype(::GetClientRect)> GetClientRect{GuiLibrary::User32, "GetClientRect"};
inline constexpr GuiFunction<decltype(::GetDC)> GetDC{GuiLibrary::User32, "GetDC"};
inline constexpr GuiFunction<decltype(::GetFocus)> GetFocus{GuiLibrary::User32, "GetFocus"};
inline constexpr GuiFunction<decltype(::GetMessageW)> GetMessageW{GuiLibrary::User32, "GetMessageW"};
inline constexpr GuiFunction<decltype(::GetMonitorInfoW)> GetMonitorInfoW{GuiLibrary::User32, "GetMonitorInfoW"};
inline constexpr GuiFunction<decltype(::GetSysColor)> GetSysColor{GuiLibrary::User32, "GetSysColor"};
inline constexpr GuiFunction<decltype(::GetSystemMetrics)> GetSystemMetrics{GuiLibrary::User32, "GetSystemMetrics"};
inline constexpr GuiFunction<decltype(::GetWindowLongW)> GetWindowLongW{GuiLibrary::User32, "GetWindowLongW"};
inline constexpr GuiFunction<decltype(::GetWindowRect)> GetWindowRect{GuiLibrary::User32, "GetWindowRect"};
inline constexpr GuiFunction<decltype(::InvalidateRect)> InvalidateRect{GuiLibrary::User32, "InvalidateRect"};
inline constexpr GuiFunction<decltype(::IsChild)> IsChild{GuiLibrary::User32, "IsChild"};
inline constexpr GuiFunction<decltype(::IsDialogMessageW)> IsDialogMessageW{GuiLibrary::User32, "IsDialogMessageW"};
inline constexpr GuiFunction<decltype(::IsWindowVisible)> IsWindowVisible{GuiLibrary::User32, "IsWindowVisible"};
inline constexpr GuiFunction<decltype(::LoadCursorW)> LoadCursorW{GuiLibrary::User32, "LoadCursorW"};
inline constexpr GuiFunction<decltype(::LoadImageW)> LoadImageW{GuiLibrary::User32, "LoadImageW"};
inline constexpr GuiFunction<decltype(::MessageBoxW)> MessageBoxW{GuiLibrary::User32, "MessageBoxW"};
inline constexpr GuiFunction<decltype(::MonitorFromWindow)> MonitorFromWindow{GuiLibrary::User32, "MonitorFromWindow"};
inline constexpr GuiFunction<decltype(::RegisterClassExW)> RegisterClassExW{GuiLibrary::User32, "RegisterClassExW"};
inline constexpr GuiFunction<decltype(::ReleaseDC)> ReleaseDC{GuiLibrary::User32, "ReleaseDC"};
inline constexpr GuiFunction<decltype(::SendMessageW)> SendMessageW{GuiLibrary::User32, "SendMessageW"};
inline constexpr GuiFunction<decltype(::SetFocus)> SetFocus{GuiLibrary::User32, "SetFocus"};
inline constexpr GuiFunction<decltype(::SetForegroundWindow)> SetForegroundWindow{GuiLibrary::User32, "SetForegroundWindow"};
inline constexpr GuiFunction<decltype(::SetWindowLongW)> SetWindowLongW{GuiLibrary::User32, "SetWindowLongW"};
inline constexpr GuiFunction<decltype(::SetWindowPos)> SetWindowPos{GuiLibrary::User32, "SetWindowPos"};
inline constexpr GuiFunction<decltype(::SetWindowTextW)> SetWindowTextW{GuiLibrary::User32, "SetWindowTextW"};
inline constexpr GuiFunction<decltype(::ShowWindow)> ShowWindow{GuiLibrary::User32, "ShowWindow"};
inline constexpr GuiFunction<decltype(::SystemParametersInfoW)> SystemParametersInfoW{GuiLibrary::User32, "SystemParametersInfoW"};
inline constexpr GuiFunction<decltype(::TranslateMessage)> TranslateMessage{GuiLibrary::User32, "TranslateMessage"};
inline constexpr GuiFunction<decltype(::UpdateWindow)> UpdateWindow{GuiLibrary::User32, "UpdateWindow"};

inline constexpr GuiFunction<decltype(::BitBlt)> BitBlt{GuiLibrary::Gdi32, "BitBlt"};
inline constexpr GuiFunction<decltype(::CreateBitmap)> CreateBitmap{GuiLibrary::Gdi32, "CreateBitmap"};
inline constexpr GuiFunction<decltype(::CreateCompatibleDC)> CreateCompatibleDC{GuiLibrary::Gdi32, "CreateCompatibleDC"};
inline constexpr GuiFunction<decltype(::CreateDIBSection)> CreateDIBSection{GuiLibrary::Gdi32, "CreateDIBSection"};
inline constexpr GuiFunction<decltype(::CreateFontIndirectW)> CreateFontIndirectW{GuiLibrary::Gdi32, "CreateFontIndirectW"};
inline constexpr GuiFunction<decltype(::CreateSolidBrush)> CreateSolidBrush{GuiLibrary::Gdi32, "CreateSolidBrush"};
inline constexpr GuiFunction<decltype(::DeleteDC)> DeleteDC{GuiLibrary::Gdi32, "DeleteDC"};
inline constexpr GuiFunction<decltype(::DeleteObject)> DeleteObject{GuiLibrary::Gdi32, "DeleteObject"};
inline constexpr GuiFunction<decltype(::GetDIBits)> GetDIBits{GuiLibrary::Gdi32, "GetDIBits"};
inline constexpr GuiFunction<decltype(::GetDeviceCaps)> GetDeviceCaps{GuiLibrary::Gdi32, "GetDeviceCaps"};
inline constexpr GuiFunction<decltype(::GetObjectW)> GetObjectW{GuiLibrary::Gdi32, "GetObjectW"};
inline constexpr GuiFunction<decltype(::SelectObject)> SelectObject{GuiLibrary::Gdi32, "SelectObject"};

}  // namespace trelvo::win32
