// The medium checker's system seam on Windows: console output, and pictures
// and icons loaded by the launcher's own host code.
#include <windows.h>

#include <string>

#include "config/Utf8.h"
#include "media/Platform.h"
#include "platform/Win32Host.h"
#include "platform/Win32Imaging.h"

namespace trelvo::media {

void WriteOutput(std::string_view text, bool error)
{
    HANDLE stream = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (stream == nullptr || stream == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    if (GetConsoleMode(stream, &mode)) {
        // A console shows every character of wide text, whatever its code page.
        std::wstring wide = FromUtf8(text);
        for (size_t at = 0; at < wide.size();) {
            DWORD written = 0;
            DWORD piece = DWORD(std::min<size_t>(wide.size() - at, 8192));
            if (!WriteConsoleW(stream, wide.data() + at, piece, &written, nullptr) || written == 0) return;
            at += written;
        }
        return;
    }
    // A pipe or a file receives UTF-8.
    for (size_t at = 0; at < text.size();) {
        DWORD written = 0;
        DWORD piece = DWORD(std::min<size_t>(text.size() - at, 1 << 20));
        if (!WriteFile(stream, text.data() + at, piece, &written, nullptr) || written == 0) return;
        at += written;
    }
}

PictureDecode DecodePictureFile(const std::filesystem::path& file, std::wstring_view shown, const wchar_t* what)
{
    PictureDecode result;
    // A path beyond MAX_PATH goes to the system with the prefix that lifts
    // the limit (the launcher reaches such a file by its shorter relative path).
    std::wstring full = file.wstring();
    if (full.size() >= MAX_PATH && full.rfind(L"\\\\?\\", 0) != 0) full = L"\\\\?\\" + full;
    try {
        win32::Win32Host host(GetModuleHandleW(nullptr));
        if (std::wstring(what) == L"icon") {
            host.LoadIcon(full);
        } else {
            std::unique_ptr<Picture> picture = host.LoadPicture(full);
            const auto& image = static_cast<const win32::DecodedImage&>(*picture);
            result.width = image.image.width;
            result.height = image.image.height;
        }
        result.decoded = true;
    } catch (const UncheckedFailure& failure) {
        // The launcher names the path as its INI gives it.
        result.failure = failure.Message();
        if (size_t at = result.failure.find(full); at != std::wstring::npos)
            result.failure.replace(at, full.size(), shown);
    }
    return result;
}

}  // namespace trelvo::media
