#include "window/ImageChecks.h"

#include "config/TextConversions.h"

namespace trelvo {
namespace {

std::uint64_t Byte(std::string_view head, std::size_t at) { return std::uint8_t(head[at]); }

std::int32_t Field32(std::string_view head, std::size_t at)
{
    return std::int32_t(std::uint32_t(Byte(head, at) | Byte(head, at + 1) << 8 | Byte(head, at + 2) << 16 |
                                      Byte(head, at + 3) << 24));
}

bool StartsWith(std::string_view head, std::string_view mark) { return head.substr(0, mark.size()) == mark; }

std::optional<std::wstring> CheckBitmapHead(std::string_view head, std::uint64_t fileSize)
{
    if (head.size() < 26) return image_reason::kDamaged;
    bool core = Field32(head, 14) == 12;  // the old header with 16-bit sizes
    std::int64_t width = core ? (Field32(head, 18) & 0xFFFF) : Field32(head, 18);
    std::int64_t height = core ? ((Field32(head, 18) >> 16) & 0xFFFF) : Field32(head, 22);
    std::uint64_t across = std::uint64_t(width < 0 ? -width : width), down = std::uint64_t(height < 0 ? -height : height);
    if (auto reason = CheckImageSize(across, down)) return reason;
    // The pixel rows must all be in the file: the system's loader is not
    // trusted with a truncated one.
    if (!core && head.size() >= 34) {
        std::uint32_t bits = std::uint16_t(Byte(head, 28) | Byte(head, 29) << 8);
        std::uint32_t compression = std::uint32_t(Field32(head, 30));
        std::uint64_t stride = (across * bits + 31) / 32 * 4;
        std::uint64_t needed = std::uint64_t(std::uint32_t(Field32(head, 10))) + stride * down;
        bool plain = compression == 0 || compression == 3;  // BI_RGB, BI_BITFIELDS
        if (bits == 0 || bits > 32 || (plain && needed > fileSize)) return image_reason::kTruncated;
    }
    return std::nullopt;
}

}  // namespace

ImageFormat SniffImageFormat(std::string_view head)
{
    if (StartsWith(head, "BM")) return ImageFormat::Bmp;
    if (StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a")) return ImageFormat::Gif;
    if (StartsWith(head, "\xFF\xD8\xFF")) return ImageFormat::Jpeg;
    if (StartsWith(head, "\x89PNG\r\n\x1A\n")) return ImageFormat::Png;
    if (StartsWith(head, std::string_view("\0\0\1\0", 4)))
        return ImageFormat::Ico;
    if (StartsWith(head, "II*\0") || StartsWith(head, std::string_view("MM\0*", 4))) return ImageFormat::Tiff;
    return ImageFormat::Unknown;
}

std::optional<std::wstring> CheckImageSize(std::uint64_t width, std::uint64_t height)
{
    if (width == 0 || height == 0) return std::wstring(L"the image is empty");
    if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels)
        return L"the image is " + ToDecimalDigits(std::int64_t(width)) + L" x " + ToDecimalDigits(std::int64_t(height)) +
               L" pixels, larger than Trelvo shows (" + ToDecimalDigits(std::int64_t(kMaxImageSide)) +
               L" pixels a side at most)";
    return std::nullopt;
}

std::optional<std::wstring> CheckImageHead(std::string_view head, std::uint64_t fileSize)
{
    if (head.empty()) return image_reason::kEmpty;
    switch (SniffImageFormat(head)) {
    case ImageFormat::Bmp: return CheckBitmapHead(head, fileSize);
    // The sizes that PNG and GIF headers claim are checked before any
    // decoder tries to take memory for them.
    case ImageFormat::Png:
        if (head.size() >= 24)
            return CheckImageSize(Byte(head, 16) << 24 | Byte(head, 17) << 16 | Byte(head, 18) << 8 | Byte(head, 19),
                                  Byte(head, 20) << 24 | Byte(head, 21) << 16 | Byte(head, 22) << 8 | Byte(head, 23));
        return std::nullopt;
    case ImageFormat::Gif:
        if (head.size() >= 10)
            return CheckImageSize(Byte(head, 6) | Byte(head, 7) << 8, Byte(head, 8) | Byte(head, 9) << 8);
        return std::nullopt;
    default: return std::nullopt;
    }
}

std::wstring ImageFailureText(std::wstring_view what, std::wstring_view path, std::wstring_view reason)
{
    return L"Couldn't load the " + std::wstring(what) + L" " + std::wstring(path) + L": " + std::wstring(reason) + L".";
}

}  // namespace trelvo
