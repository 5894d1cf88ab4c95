// Image decoding through the system's GDI+ (BMP, GIF, JPEG, PNG, ICO, TIFF),
// loaded only when a picture is needed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Host.h"
#include "platform/Win32Handles.h"

namespace trelvo::win32 {

// A decoded image: premultiplied BGRA pixels, top row first.
class DecodedImage final : public Picture {
public:
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// An icon pair for the window: the large and the small image.
class IconPair final : public Picture {
public:
    UniqueIcon large;
    UniqueIcon small;
};

// Decodes an image file; throws UncheckedFailure naming the file and the
// reason. `what` names the use ("picture" or "icon") in the message.
std::unique_ptr<DecodedImage> DecodeImage(const std::wstring& path, const wchar_t* what);

// The image resized to width x height with a tent filter whose reach grows
// with the reduction, so both enlarging and reducing stay smooth.
std::unique_ptr<DecodedImage> ResizeImage(const DecodedImage& image, int width, int height);

// A 32-bit top-down DIB section of width x height; its pixels at *bits.
GdiObject<HBITMAP> CreateTopDownDib(int width, int height, std::uint32_t** bits);

// Builds an icon of the given square size from a decoded image.
UniqueIcon IconFromImage(const DecodedImage& image, int size);

}  // namespace trelvo::win32
