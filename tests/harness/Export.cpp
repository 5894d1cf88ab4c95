#include "Export.h"

namespace harness {
namespace {

std::string JsonText(const std::wstring& text)
{
    std::string out = "\"";
    for (char c : Utf8(text)) {
        if (c == '"' || c == '\\') out += std::string("\\") + c;
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (static_cast<unsigned char>(c) < 0x20) out += "\\u00" + std::string{"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
        else out += c;
    }
    return out + "\"";
}

// A Windows path as this machine's (Unix) path, under Wine; empty elsewhere.
std::wstring UnixPath(const std::wstring& path)
{
    using ToUnix = char*(CDECL*)(const WCHAR*);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unix) return L"";
    std::wstring out = Wide(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return out;
}

// Removes the earlier run's export and kept media. The temporary root is
// named after the process id, which Wine reuses: when the kept media are in
// this run's own fresh root, it is made again, empty.
void ClearExport(const std::wstring& folder, const std::wstring& tempRoot)
{
    if (std::optional<std::string> kept = ReadBytes(folder + L"\\kept-media")) {
        DeleteTree(Wide(*kept));
        if (ToLower(Wide(*kept)) == ToLower(tempRoot)) CreateDirectoryW(tempRoot.c_str(), nullptr);
    }
    DeleteTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
}

void ExportCase(const std::wstring& folder, int index, const Case& c, const Outcome& o, int dpi)
{
    const std::wstring cwd = o.medium.start.empty() ? o.medium.cwd : o.medium.start;
    std::string json = "{\n  \"name\": " + JsonText(c.name) + ",\n  \"cwd\": " + JsonText(cwd) +
                       ",\n  \"cwd_unix\": " + JsonText(UnixPath(cwd)) +
                       ",\n  \"case_root_unix\": " + JsonText(UnixPath(o.medium.caseRoot)) +
                       ",\n  \"exe\": " + JsonText(c.exe) + ",\n  \"dpi\": " + std::to_string(dpi) +
                       ",\n  \"exit_code\": " + (o.ended ? std::to_string(o.exitCode) : std::string("-1")) +
                       ",\n  \"boxes\": [";
    for (size_t i = 0; i < o.boxes.size(); ++i)
        json += std::string(i ? ", " : "") + "{\"title\": " + JsonText(o.boxes[i].title) +
                ", \"text\": " + JsonText(o.boxes[i].text) + "}";
    json += "],\n  \"started\": [";
    for (size_t i = 0; i < o.lines.size(); ++i) json += std::string(i ? ", " : "") + JsonText(Wide(o.lines[i]));
    json += "],\n  \"window\": ";
    if (o.splashShown) {
        json += "{\"title\": " + JsonText(o.splashTitle) + ", \"buttons\": [";
        for (size_t i = 0; i < o.buttons.size(); ++i)
            json += std::string(i ? ", " : "") + "{\"caption\": " + JsonText(o.buttons[i].caption) +
                    ", \"left_px\": " + std::to_string(o.buttons[i].left) + "}";
        json += "]}";
    } else {
        json += "null";
    }
    json += ",\n  \"clicked\": " + (o.clicked ? std::to_string(*o.clicked) : std::string("null")) + "\n}\n";
    std::wstring file = folder + L"\\" + std::to_wstring(index) + L".json";
    Check(WriteBytes(file, json), L"writing " + file);
}

}  // namespace

void BeginExport(Options& options, const Context& context)
{
    if (options.exportTo.empty()) return;
    options.keep = true;  // the agreement test reads the media, then removes them
    ClearExport(options.exportTo, context.tempRoot);
    WriteBytes(options.exportTo + L"\\kept-media", Utf8(context.tempRoot));
}

void ExportCases(const Options& options, const Ran& ran, const Context& context)
{
    if (options.exportTo.empty()) return;
    for (size_t i = 0; i < ran.cases.size(); ++i)
        ExportCase(options.exportTo, int(i) + 1, *ran.cases[i], ran.outcomes[i], context.dpi);
}

}  // namespace harness
