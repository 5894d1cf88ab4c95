// Small owners of Win32 handles: each closes exactly one kind of handle.
#pragma once

#include <windows.h>

#include "platform/Win32Gui.h"

#include <memory>
#include <type_traits>

namespace trelvo::win32 {

struct HandleCloser {
    void operator()(HANDLE h) const
    {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct GdiObjectDeleter {
    void operator()(HGDIOBJ h) const
    {
        if (h) DeleteObject(h);
    }
};
template <typename T>
using GdiObject = std::unique_ptr<std::remove_pointer_t<T>, GdiObjectDeleter>;

struct IconDestroyer {
    void operator()(HICON h) const
    {
        if (h) DestroyIcon(h);
    }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

struct LibraryFreer {
    void operator()(HMODULE h) const
    {
        if (h) FreeLibrary(h);
    }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

// A memory device context compatible with the screen.
class MemoryDC {
public:
    explicit MemoryDC(HDC reference) : dc_(CreateCompatibleDC(reference)) {}
    ~MemoryDC()
    {
        if (dc_) DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// Selects an object into a device context for one scope.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectScope() { SelectObject(dc_, previous_); }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// The screen's device context for one scope.
class ScreenDC {
public:
    ScreenDC() : dc_(GetDC(nullptr)) {}
    ~ScreenDC() { ReleaseDC(nullptr, dc_); }
    ScreenDC(const ScreenDC&) = delete;
    ScreenDC& operator=(const ScreenDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// Loads a DLL from the system directory only, never from the medium or the
// current directory.
UniqueLibrary LoadSystemLibrary(const wchar_t* name);

// The system's own words for an error code, without the trailing line break;
// a message that names its subject names `subject`.
std::wstring SystemErrorText(DWORD error, const std::wstring& subject = L"");

}  // namespace trelvo::win32
