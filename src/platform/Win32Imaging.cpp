#include "platform/Win32Imaging.h"

#include <algorithm>

#include "config/TextConversions.h"
#include "platform/Win32System.h"
#include "window/ImageChecks.h"

#include <string>

namespace trelvo::win32 {
namespace {

// The GDI+ flat API, declared here so no GDI+ header is needed.
using GpStatus = int;
struct GpBitmap;
struct GpStartupInput {
    UINT32 version = 1;
    void* debugCallback = nullptr;
    BOOL suppressBackgroundThread = TRUE;  // the launcher keeps one thread
    BOOL suppressExternalCodecs = TRUE;
};
struct GpRect {
    INT x, y, width, height;
};
struct GpBitmapData {
    UINT width, height;
    INT stride;
    INT pixelFormat;
    void* scan0;
    UINT_PTR reserved;
};
constexpr INT kPixelFormat32bppPARGB = 0x000E200B;
constexpr UINT kLockRead = 1, kLockUserBuffer = 4;

using GdiplusStartupFn = GpStatus WINAPI(ULONG_PTR*, const GpStartupInput*, void*);
using CreateFromFileFn = GpStatus WINAPI(const WCHAR*, GpBitmap**);
using GetSizeFn = GpStatus WINAPI(GpBitmap*, UINT*);
using LockBitsFn = GpStatus WINAPI(GpBitmap*, const GpRect*, UINT, INT, GpBitmapData*);
using UnlockBitsFn = GpStatus WINAPI(GpBitmap*, GpBitmapData*);
using DisposeFn = GpStatus WINAPI(GpBitmap*);

inline constinit SystemFunction<GdiplusStartupFn> GdiplusStartup{SystemLibrary::Gdiplus, "GdiplusStartup"};
inline constinit SystemFunction<CreateFromFileFn> GdipCreateBitmapFromFile{SystemLibrary::Gdiplus, "GdipCreateBitmapFromFile"};
inline constinit SystemFunction<GetSizeFn> GdipGetImageWidth{SystemLibrary::Gdiplus, "GdipGetImageWidth"};
inline constinit SystemFunction<GetSizeFn> GdipGetImageHeight{SystemLibrary::Gdiplus, "GdipGetImageHeight"};
inline constinit SystemFunction<LockBitsFn> GdipBitmapLockBits{SystemLibrary::Gdiplus, "GdipBitmapLockBits"};
inline constinit SystemFunction<UnlockBitsFn> GdipBitmapUnlockBits{SystemLibrary::Gdiplus, "GdipBitmapUnlockBits"};
inline constinit SystemFunction<DisposeFn> GdipDisposeImage{SystemLibrary::Gdiplus, "GdipDisposeImage"};

// GDI+ started once, on the first image that needs it; false when the system
// lacks it or any function the decoding uses.
bool GdiplusReady()
{
    static const bool ready = [] {
        if (!GdiplusStartup.Find() || !GdipCreateBitmapFromFile.Find() || !GdipGetImageWidth.Find() ||
            !GdipGetImageHeight.Find() || !GdipBitmapLockBits.Find() || !GdipBitmapUnlockBits.Find() ||
            !GdipDisposeImage.Find())
            return false;
        ULONG_PTR token = 0;  // kept: GDI+ stays up until the process ends
        GpStartupInput input;
        void* hooks[2] = {};
        return GdiplusStartup(&token, &input, hooks) == 0;
    }();
    return ready;
}

std::wstring StatusText(GpStatus status)
{
    switch (status) {
    case 1:
    case 2: return image_reason::kDamaged;
    case 3: return image_reason::kOutOfMemory;
    case 6: return image_reason::kUnsupported;
    case 10: return image_reason::kNotFound;
    case 12: return image_reason::kDenied;
    case 13: return image_reason::kUnknownFormat;
    default: return L"the image cannot be decoded (GDI+ status " + ToDecimalDigits(status) + L")";
    }
}

[[noreturn]] void Fail(const wchar_t* what, const std::wstring& path, const std::wstring& reason)
{
    throw UncheckedFailure(ImageFailureText(what, path, reason));
}

struct BitmapOwner {
    GpBitmap* bitmap = nullptr;
    BitmapOwner() = default;
    BitmapOwner(const BitmapOwner&) = delete;
    BitmapOwner& operator=(const BitmapOwner&) = delete;
    ~BitmapOwner()
    {
        if (bitmap) GdipDisposeImage(bitmap);
    }
};

// The first bytes of the file, to pick the decoder, and the file's size.
std::string FileHead(const std::wstring& path, DWORD bytes, UINT64& fileSize)
{
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    fileSize = 0;
    if (file.get() == INVALID_HANDLE_VALUE) return {};
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size)) fileSize = UINT64(size.QuadPart);
    std::string head(bytes, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), head.data(), bytes, &read, nullptr)) read = 0;
    head.resize(read);
    return head;
}

void CheckSize(const wchar_t* what, const std::wstring& path, UINT64 width, UINT64 height)
{
    if (std::optional<std::wstring> reason = CheckImageSize(width, height)) Fail(what, path, *reason);
}

// BMP files are decoded by the system's own bitmap loader (after the header
// checks): no imaging library is loaded for them. Null when that loader
// cannot open the file (a path longer than it takes): GDI+ then decodes it.
std::unique_ptr<DecodedImage> DecodeBitmap(const std::wstring& path, const wchar_t* what)
{
    GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
        LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
    if (!bitmap) return nullptr;
    BITMAP info{};
    GetObjectW(bitmap.get(), sizeof info, &info);
    auto decoded = std::make_unique<DecodedImage>();
    PixelImage& image = decoded->image;
    image.width = info.bmWidth;
    image.height = info.bmHeight;
    image.pixels.resize(size_t(info.bmWidth) * info.bmHeight);
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    request.bmiHeader.biWidth = info.bmWidth;
    request.bmiHeader.biHeight = -info.bmHeight;  // top row first
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    ScreenDC screen;
    int rows = GetDIBits(screen.get(), bitmap.get(), 0, UINT(info.bmHeight), image.pixels.data(), &request, DIB_RGB_COLORS);
    if (rows != info.bmHeight) Fail(what, path, image_reason::kDamaged);
    for (auto& pixel : image.pixels) pixel |= 0xFF000000u;  // bitmaps are opaque
    return decoded;
}

}  // namespace

std::unique_ptr<DecodedImage> DecodeImage(const std::wstring& path, const wchar_t* what)
{
    UINT64 fileSize = 0;
    std::string head = FileHead(path, DWORD(kImageHeadBytes), fileSize);
    if (std::optional<std::wstring> reason = CheckImageHead(head, fileSize)) Fail(what, path, *reason);
    if (SniffImageFormat(head) == ImageFormat::Bmp) {
        if (auto image = DecodeBitmap(path, what)) return image;
    }

    if (!GdiplusReady()) Fail(what, path, L"the system's image decoder (GDI+) is not available");

    // The decoder keeps the file open until the bitmap is disposed; the pixels
    // are copied out at once so that no file stays open.
    BitmapOwner owner;
    if (GpStatus status = GdipCreateBitmapFromFile(path.c_str(), &owner.bitmap); status != 0)
        Fail(what, path, StatusText(status));
    UINT width = 0, height = 0;
    GdipGetImageWidth(owner.bitmap, &width);
    GdipGetImageHeight(owner.bitmap, &height);
    CheckSize(what, path, width, height);

    auto decoded = std::make_unique<DecodedImage>();
    PixelImage& image = decoded->image;
    image.width = int(width);
    image.height = int(height);
    image.pixels.resize(size_t(width) * height);
    GpRect rect{0, 0, INT(width), INT(height)};
    GpBitmapData data{width, height, INT(width * 4), kPixelFormat32bppPARGB, image.pixels.data(), 0};
    if (GpStatus status = GdipBitmapLockBits(owner.bitmap, &rect, kLockRead | kLockUserBuffer,
                                             kPixelFormat32bppPARGB, &data);
        status != 0)
        Fail(what, path, StatusText(status));
    GdipBitmapUnlockBits(owner.bitmap, &data);
    return decoded;
}

std::uint32_t* DibSection::Pixels(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* pixels = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    width_ = bitmap_ ? width : 0;
    height_ = bitmap_ ? height : 0;
    return bitmap_ ? static_cast<std::uint32_t*>(pixels) : nullptr;
}

UniqueIcon IconFromImage(const PixelImage& image, int size)
{
    DibSection colour;
    PrepareIcon(image, size, colour);
    // An all-zero AND mask: the alpha channel alone decides what shows.
    std::vector<std::uint8_t> zeros(size_t((size + 15) / 16 * 2) * size, 0);
    GdiObject<HBITMAP> mask(CreateBitmap(size, size, 1, 1, zeros.data()));
    ICONINFO iconInfo{TRUE, 0, 0, mask.get(), colour.get()};
    UniqueIcon icon(mask ? CreateIconIndirect(&iconInfo) : nullptr);
    if (!icon)
        throw UncheckedFailure(L"Couldn't make the window icon of " + ToDecimalDigits(size) + L" x " +
                               ToDecimalDigits(size) + L" pixels: " + SystemErrorText(GetLastError()));
    return icon;
}

}  // namespace trelvo::win32
