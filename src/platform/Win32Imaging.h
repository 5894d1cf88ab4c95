// Image decoding through the system's GDI+ (BMP, GIF, JPEG, PNG, ICO, TIFF),
// loaded only when a picture is needed, and the bitmaps and icons the window
// draws. The pixel arithmetic itself is window-free (window/PictureMath.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/Host.h"
#include "platform/Win32Handles.h"
#include "window/PictureMath.h"

namespace trelvo::win32 {

// A decoded splash picture.
class DecodedImage final : public Picture {
public:
    PixelImage image;
};

// A window icon: the large and the small image.
class IconPair final : public Icon {
public:
    UniqueIcon large;
    UniqueIcon small;
};

// Decodes an image file; throws UncheckedFailure naming the file and the
// reason. `what` names the use ("picture" or "icon") in the message.
std::unique_ptr<DecodedImage> DecodeImage(const std::wstring& path, const wchar_t* what);

// A 32-bit top-down DIB section, made when the pixel arithmetic asks for its
// memory; null until then, or when the system refused it.
class DibSection final : public PixelTarget {
public:
    std::uint32_t* Pixels(int width, int height) override;
    HBITMAP get() const { return bitmap_.get(); }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    GdiObject<HBITMAP> bitmap_;
    int width_ = 0, height_ = 0;
};

// Builds an icon of the given square size from an image; throws
// UncheckedFailure when the system cannot make it.
UniqueIcon IconFromImage(const PixelImage& image, int size);

}  // namespace trelvo::win32
