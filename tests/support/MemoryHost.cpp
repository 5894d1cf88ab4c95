#include "support/MemoryHost.h"

#include "config/ProfileText.h"
#include "config/TextConversions.h"

#include <vector>

namespace trelvo {

MemoryWindow::MemoryWindow()
{
    for (auto& button : buttons) button.caption = L"Command1";
    const int designLeft[5] = {30, 1470, 2910, 4350, 5790};
    for (int i = 0; i < 5; ++i) buttons[i].left = designLeft[i];
}

void MemoryWindow::SetCaption(const std::wstring& text)
{
    caption = text;
    log.push_back(L"caption " + text);
}

void MemoryWindow::SetBackColor(std::uint32_t colour)
{
    backColor = colour;
    log.push_back(L"backcolor " + std::to_wstring(colour));
}

void MemoryWindow::SetPicture(std::unique_ptr<Picture> p)
{
    picture = static_cast<MemoryPicture&>(*p).path;
    log.push_back(L"picture " + picture);
}

void MemoryWindow::SetIcon(std::unique_ptr<Icon> p)
{
    icon = static_cast<MemoryIcon&>(*p).path;
    log.push_back(L"icon " + icon);
}

void MemoryWindow::SetButtonCaption(int index, const std::wstring& text)
{
    buttons[index].caption = text;
    log.push_back(L"button " + std::to_wstring(index) + L" caption " + text);
}

void MemoryWindow::SetButtonLeft(int index, int twips)
{
    buttons[index].left = twips;
    log.push_back(L"button " + std::to_wstring(index) + L" left " + std::to_wstring(twips));
}

void MemoryWindow::SetButtonVisible(int index, bool visible)
{
    buttons[index].visible = visible;
    log.push_back(L"button " + std::to_wstring(index) + (visible ? L" shown" : L" hidden"));
}

std::wstring MemoryHost::FullPath(const std::wstring& path) const
{
    std::wstring text = ToLowerCase(path);  // file names match in any letter case
    for (wchar_t& c : text)
        if (c == L'/') c = L'\\';
    const std::wstring current = ToLowerCase(currentDirectory);
    std::wstring joined;
    if (text.size() >= 2 && text[1] == L':') joined = text;                           // "x:\..."
    else if (!text.empty() && text[0] == L'\\') joined = current.substr(0, 2) + text;  // rooted
    else joined = current + L"\\" + text;

    // Segments after the drive, with "." dropped and ".." taking one back.
    std::vector<std::wstring> segments;
    size_t at = 2;
    while (at <= joined.size()) {
        size_t next = joined.find(L'\\', at);
        if (next == std::wstring::npos) next = joined.size();
        std::wstring segment = joined.substr(at, next - at);
        if (segment == L"..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != L".") {
            segments.push_back(segment);
        }
        at = next + 1;
    }
    std::wstring full = joined.substr(0, 2);
    for (const std::wstring& segment : segments) full += L"\\" + segment;
    if (segments.empty()) full += L'\\';
    return full;
}

void MemoryHost::AddFile(const std::wstring& path, std::string bytes)
{
    const std::wstring full = FullPath(path);
    folders.erase(full);
    files[full] = std::move(bytes);
}

void MemoryHost::AddFolder(const std::wstring& path)
{
    const std::wstring full = FullPath(path);
    files.erase(full);
    folders.insert(full);
}

bool MemoryHost::IsFolder(const std::wstring& path) const
{
    const std::wstring full = FullPath(path);
    if (folders.count(full)) return true;
    const std::wstring inside = full.back() == L'\\' ? full : full + L'\\';
    auto holds = [&](const std::wstring& other) { return other.compare(0, inside.size(), inside) == 0; };
    if (holds(FullPath(currentDirectory) + L'\\')) return true;  // the current directory or a parent
    auto file = files.lower_bound(inside);
    if (file != files.end() && holds(file->first)) return true;
    auto folder = folders.lower_bound(inside);
    return folder != folders.end() && holds(*folder);
}

const std::string* MemoryHost::FileBytes(const std::wstring& path) const
{
    if (IsFolder(path)) return nullptr;
    auto it = files.find(FullPath(path));
    return it == files.end() ? nullptr : &it->second;
}

bool MemoryHost::FileExists(const std::wstring& path)
{
    return FileBytes(path) != nullptr;
}

std::uint32_t MemoryHost::ReadProfileString(const std::wstring& section, const std::wstring& key,
                                            const std::wstring& fallback, wchar_t* buffer,
                                            std::uint32_t size, const std::wstring& file)
{
    reads.push_back(section + L"/" + key);
    const std::string* bytes = FileBytes(file);
    return ReadProfileText(bytes ? *bytes : std::string(), section, key, fallback, buffer, size);
}

void MemoryHost::WriteProfileString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& value, const std::wstring& file)
{
    const std::string* bytes = FileBytes(file);
    AddFile(file, WriteProfileText(bytes ? *bytes : std::string(), section, key, value));
}

std::unique_ptr<Picture> MemoryHost::LoadPicture(const std::wstring& path)
{
    if (unreadableImages.count(FullPath(path)))
        throw UncheckedFailure(L"Couldn't load the picture " + path + L": not an image.");
    return std::make_unique<MemoryPicture>(path);
}

std::unique_ptr<Icon> MemoryHost::LoadIcon(const std::wstring& path)
{
    if (unreadableImages.count(FullPath(path)))
        throw UncheckedFailure(L"Couldn't load the icon " + path + L": not an image.");
    return std::make_unique<MemoryIcon>(path);
}

SplashWindow& MemoryHost::Window(WindowEvents&)
{
    if (!window) window.emplace();
    return *window;
}

StartOutcome MemoryHost::StartProcess(const std::wstring& commandLine)
{
    auto it = startOutcomes.find(commandLine);
    StartOutcome outcome = it == startOutcomes.end() ? StartOutcome{} : it->second;
    if (outcome.error == 0) started.push_back(commandLine);
    return outcome;
}

StartOutcome MemoryHost::StartElevated(const std::wstring& program, const std::wstring& parameters)
{
    StartOutcome outcome = elevatedOutcome.value_or(StartOutcome{});
    if (outcome.error == 0) elevated.push_back(program + L"|" + parameters);
    return outcome;
}

StartOutcome MemoryHost::OpenThroughShell(const std::wstring& file, const std::wstring& parameters,
                                          const std::wstring& directory)
{
    StartOutcome outcome = shellOutcome.value_or(StartOutcome{});
    if (outcome.error == 0) opened.push_back(file + L"|" + parameters + L"|" + directory);
    return outcome;
}

void MemoryHost::EndProcess(ExitCode code, std::wstring_view message)
{
    if (!message.empty()) messages.emplace_back(message);
    exitCode = code;
    throw ProgramEnded{code};
}

}  // namespace trelvo
