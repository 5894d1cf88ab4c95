// The checker's system seam on Linux: output with stdio, pictures decoded
// by gdk-pixbuf after the launcher's own header checks.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "media/Medium.h"
#include "media/Platform.h"
#include "window/ImageChecks.h"

namespace trelvo::media {
namespace {

// gdk-pixbuf's name of the loader for each format the launcher reads; the
// loader is chosen by the format the bytes announce, so nothing else (SVG,
// TGA, XPM, ...) is ever decoded.
const char* LoaderType(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Bmp: return "bmp";
    case ImageFormat::Gif: return "gif";
    case ImageFormat::Jpeg: return "jpeg";
    case ImageFormat::Png: return "png";
    case ImageFormat::Ico: return "ico";
    case ImageFormat::Tiff: return "tiff";
    case ImageFormat::Unknown: break;
    }
    return nullptr;
}

struct LoaderDeleter {
    void operator()(GdkPixbufLoader* loader) const
    {
        gdk_pixbuf_loader_close(loader, nullptr);  // a no-op when already closed
        g_object_unref(loader);
    }
};

struct ErrorDeleter {
    void operator()(GError* error) const { g_error_free(error); }
};

// The size the decoder found, as soon as it knows it.
struct Prepared {
    bool known = false;
    int width = 0;
    int height = 0;
};

void SizePrepared(GdkPixbufLoader*, int width, int height, gpointer data)
{
    auto* prepared = static_cast<Prepared*>(data);
    *prepared = {true, width < 0 ? 0 : width, height < 0 ? 0 : height};
}

std::optional<std::wstring> Refused(const Prepared& prepared)
{
    if (!prepared.known) return std::nullopt;
    return CheckImageSize(std::uint64_t(prepared.width), std::uint64_t(prepared.height));
}

// gdk-pixbuf shows what it has of a PNG cut short; the system's decoder
// refuses one. A whole PNG's chunks run to its IEND chunk within the file.
bool WholePng(std::string_view bytes)
{
    for (size_t at = 8; at + 12 <= bytes.size();) {
        auto byte = [&](size_t k) { return std::uint64_t(static_cast<unsigned char>(bytes[at + k])); };
        std::uint64_t length = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        if (bytes.substr(at + 4, 4) == "IEND") return true;
        at += 12 + length;
    }
    return false;
}

}  // namespace

void WriteOutput(std::string_view text, bool error)
{
    std::FILE* stream = error ? stderr : stdout;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

PictureDecode DecodePictureFile(const std::filesystem::path& file, std::wstring_view shown, const wchar_t* what)
{
    PictureDecode result;
    auto fail = [&](std::wstring_view reason) {
        result.failure = ImageFailureText(what, shown, reason);
        return result;
    };
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file.c_str(), "rb"), &std::fclose);
    if (!stream) return fail(image_reason::kDenied);
    std::string bytes;
    char chunk[1 << 16];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, stream.get())) > 0;) bytes.append(chunk, got);

    std::string_view head = std::string_view(bytes).substr(0, kImageHeadBytes);
    if (std::optional<std::wstring> reason = CheckImageHead(head, bytes.size())) return fail(*reason);
    ImageFormat format = SniffImageFormat(head);
    const char* type = LoaderType(format);
    // Bytes of no format the launcher reads: the system's decoder calls them
    // damaged or not an image.
    if (!type) return fail(image_reason::kDamaged);
    if (format == ImageFormat::Png && !WholePng(bytes)) return fail(image_reason::kDamaged);

    GError* raw = nullptr;
    std::unique_ptr<GdkPixbufLoader, LoaderDeleter> loader(gdk_pixbuf_loader_new_with_type(type, &raw));
    std::unique_ptr<GError, ErrorDeleter> error(raw);
    if (!loader) return fail(image_reason::kUnsupported);
    Prepared prepared;
    g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(SizePrepared), &prepared);
    // Fed in pieces, so that an image the launcher refuses by its size is
    // left before the decoder takes memory for its pixels.
    bool written = true;
    constexpr size_t kPiece = 1 << 16;
    for (size_t at = 0; written && at < bytes.size() && !Refused(prepared); at += kPiece) {
        written = gdk_pixbuf_loader_write(loader.get(), reinterpret_cast<const guchar*>(bytes.data() + at),
                                          std::min(kPiece, bytes.size() - at), &raw);
        error.reset(raw);
        raw = nullptr;
    }
    if (std::optional<std::wstring> reason = Refused(prepared)) return fail(*reason);
    bool closed = written && gdk_pixbuf_loader_close(loader.get(), &raw);
    error.reset(raw);
    if (std::optional<std::wstring> reason = Refused(prepared)) return fail(*reason);
    GdkPixbuf* pixbuf = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader.get()) : nullptr;
    if (!pixbuf) return fail(image_reason::kDamaged);
    result.width = gdk_pixbuf_get_width(pixbuf);
    result.height = gdk_pixbuf_get_height(pixbuf);
    if (std::optional<std::wstring> reason = CheckImageSize(std::uint64_t(result.width), std::uint64_t(result.height)))
        return fail(*reason);
    result.decoded = true;
    return result;
}

}  // namespace trelvo::media
