// What the checker needs from the system it runs on: writing its output and
// decoding pictures. The native build decodes with gdk-pixbuf
// (media/NativePlatform.cpp); the Windows build with the launcher's own
// imaging code (platform/Win32MediaPlatform.cpp).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace trelvo::media {

// Writes UTF-8 text to standard output (error: standard error).
void WriteOutput(std::string_view text, bool error = false);

struct PictureDecode {
    bool decoded = false;
    int width = 0;
    int height = 0;
    std::wstring failure;  // the launcher's message when it is not decoded
};

// Decodes the picture or icon file as the launcher would: its limits and
// header checks, then the decoder. `shown` is the path in the launcher's
// message; `what` is "picture" or "icon".
PictureDecode DecodePictureFile(const std::filesystem::path& file, std::wstring_view shown, const wchar_t* what);

}  // namespace trelvo::media
