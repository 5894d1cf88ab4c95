// The launcher's own checks of a picture or icon file before any decoder
// takes memory for it: the format from the first bytes, the sizes that BMP,
// PNG and GIF headers claim, the largest image it shows, a BMP whose pixel
// rows are not all in the file, and an empty file. Plain C++, so the Windows
// decoder and the medium checker apply the very same rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trelvo {

enum class ImageFormat { Unknown, Bmp, Gif, Jpeg, Png, Ico, Tiff };

// How many first bytes of the file the checks look at.
constexpr std::size_t kImageHeadBytes = 64;

// Larger images are refused before any pixel memory is taken.
constexpr std::uint64_t kMaxImageSide = 16384;
constexpr std::uint64_t kMaxImagePixels = 64ull * 1024 * 1024;

// The launcher's reasons, as they end its messages.
namespace image_reason {
constexpr wchar_t kEmpty[] = L"the file is empty";
constexpr wchar_t kDamaged[] = L"the file is damaged or is not an image";
constexpr wchar_t kTruncated[] = L"the file is damaged (it is shorter than its pixels)";
constexpr wchar_t kOutOfMemory[] = L"there is not enough memory to decode it (the image may be too large)";
constexpr wchar_t kUnsupported[] = L"its image format is not supported";
constexpr wchar_t kNotFound[] = L"the file cannot be found";
constexpr wchar_t kDenied[] = L"access to the file is denied";
constexpr wchar_t kUnknownFormat[] = L"it is not an image in a format Trelvo reads (BMP, GIF, JPEG, PNG, ICO, TIFF)";
}  // namespace image_reason

// The format the first bytes announce.
ImageFormat SniffImageFormat(std::string_view head);

// The reason the launcher refuses an image of this size, if it does.
std::optional<std::wstring> CheckImageSize(std::uint64_t width, std::uint64_t height);

// The reason the launcher refuses the file from its first bytes (at most
// kImageHeadBytes) and its size, before decoding; none when a decoder may
// try it.
std::optional<std::wstring> CheckImageHead(std::string_view head, std::uint64_t fileSize);

// The launcher's message for an image it cannot load: `what` is "picture"
// or "icon", `path` the path as the INI gives it.
std::wstring ImageFailureText(std::wstring_view what, std::wstring_view path, std::wstring_view reason);

}  // namespace trelvo
