#include "media/Discovery.h"

#include "config/ProfileText.h"
#include "config/TextConversions.h"
#include "launch/CommandLine.h"

namespace trelvo::media {
namespace {

bool EndsWithIgnoringCase(std::wstring_view text, std::wstring_view end)
{
    return text.size() >= end.size() && ToLowerCase(text.substr(text.size() - end.size())) == ToLowerCase(end);
}

std::wstring FileName(std::wstring_view path)
{
    size_t cut = path.find_last_of(L"\\/");
    return std::wstring(cut == std::wstring_view::npos ? path : path.substr(cut + 1));
}

std::wstring List(const std::vector<std::wstring>& names)
{
    std::wstring text;
    for (size_t i = 0; i < names.size(); ++i) text += (i ? L", " : L"") + names[i];
    return text;
}

// The program autorun.inf opens ([autorun] open=), read with the profile
// reader the launcher's own INI is read with.
std::optional<std::wstring> AutorunOpen(const Medium& medium)
{
    MediumEntry entry = medium.Find(L"autorun.inf");
    if (entry.kind != EntryKind::File) return std::nullopt;
    FileBytes file = medium.Read(entry, 1 << 20);
    if (!file.read) return std::nullopt;
    wchar_t buffer[1024];
    std::uint32_t length = ReadProfileText(file.bytes, L"autorun", L"open", L"", buffer, 1024);
    if (length == 0) return std::nullopt;
    return std::wstring(buffer, length);
}

}  // namespace

std::wstring BaseName(std::wstring_view fileName)
{
    size_t dot = fileName.rfind(L'.');
    return std::wstring(dot == std::wstring_view::npos ? fileName : fileName.substr(0, dot));
}

Discovery FindLauncher(const Medium& medium, const std::optional<std::wstring>& exeOption)
{
    Discovery discovery;
    std::optional<std::wstring> open = AutorunOpen(medium);
    auto choose = [&](std::wstring exe, std::wstring how) {
        discovery.choice = LauncherChoice{exe, BaseName(exe), std::move(how), open, std::nullopt};
        return discovery;
    };
    if (exeOption) {
        if (exeOption->empty() || exeOption->find_first_of(L"\\/") != std::wstring::npos) {
            discovery.usageError = L"--exe takes the launcher's file name, such as setup.exe";
            return discovery;
        }
        return choose(*exeOption, L"named with --exe");
    }
    if (open) {
        std::wstring program = FileName(SplitCommandLine(*open).program);
        if (!program.empty()) return choose(program, L"opened by autorun.inf");
    }

    std::vector<std::wstring> exes, withIni;
    for (const std::wstring& name : medium.TopFileNames()) {
        if (!EndsWithIgnoringCase(name, L".exe")) continue;
        exes.push_back(name);
        if (medium.Find(BaseName(name) + L".ini").kind == EntryKind::File) withIni.push_back(name);
    }
    if (withIni.size() == 1) return choose(withIni[0], L"the only .exe with an INI of its name");
    if (withIni.empty() && exes.size() == 1) return choose(exes[0], L"the only .exe on the medium");
    if (exes.empty()) {
        discovery.usageError = L"the medium holds no .exe and no autorun.inf names one; name the launcher with --exe";
        std::vector<std::wstring> hints;
        for (const std::wstring& name : medium.TopFileNames())
            if (EndsWithIgnoringCase(name, L".ini")) hints.push_back(L"--exe " + BaseName(name) + L".exe");
        if (!hints.empty()) discovery.usageError += L" (" + List(hints) + L")";
    }
    else if (withIni.size() > 1)
        discovery.usageError = L"several programs have an INI of their name (" + List(withIni) +
                               L"); name the launcher with --exe";
    else
        discovery.usageError = L"several programs and none has an INI of its name (" + List(exes) +
                               L"); name the launcher with --exe";
    return discovery;
}

}  // namespace trelvo::media
