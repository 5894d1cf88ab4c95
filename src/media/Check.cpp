// The checker: the launcher's own start-up over the medium (the dry run), and
// the findings, each by the launcher's own reading and conversion code.
#include "media/Check.h"

#include <algorithm>
#include <array>

#include "config/CodePage.h"
#include "config/ProfileText.h"
#include "config/TextConversions.h"
#include "config/Utf8.h"
#include "launch/CommandLine.h"
#include "media/Discovery.h"
#include "media/DryRun.h"
#include "media/Medium.h"
#include "window/Design.h"
#include "window/frmSplash.h"

namespace trelvo::media {
namespace {

constexpr int kPictureWidth = 481;   // the client area's width at 96 DPI
constexpr int kPictureHeight = 297;  // down to the buttons' top
constexpr int kClientHeight = design::kClientHeight / 15;
constexpr size_t kLongestValue = 254;
constexpr std::uintmax_t kLargeIni = 1 << 20;

const std::array<const wchar_t*, 6> kDialogKeys = {L"Show", L"DefaultAction", L"BackColor", L"Picture", L"Icon", L"Caption"};
const std::array<const wchar_t*, 3> kButtonKeys = {L"Show", L"Caption", L"Action"};

std::wstring Quote(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }
std::wstring Number(std::int64_t value) { return ToDecimalDigits(value); }

// Case-insensitive edit distance, for did-you-mean suggestions.
size_t Distance(std::wstring_view a, std::wstring_view b)
{
    std::wstring x = ToLowerCase(a), y = ToLowerCase(b);
    std::vector<size_t> row(y.size() + 1);
    for (size_t j = 0; j <= y.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= x.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= y.size(); ++j) {
            size_t next = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = row[j];
            row[j] = next;
        }
    }
    return row[y.size()];
}

// "BUTTONn" with n from 1; 0 for any other name.
int ButtonNumber(std::wstring_view section)
{
    if (section.size() < 7 || !SameProfileName(section.substr(0, 6), L"BUTTON")) return 0;
    int number = 0;
    for (wchar_t c : section.substr(6)) {
        if (c < L'0' || c > L'9' || number > 100000) return 0;
        number = number * 10 + (c - L'0');
    }
    return number;
}

class Analysis {
public:
    Analysis(const CheckOptions& options, const Medium& medium, const LauncherChoice& choice, CheckReport& report)
        : options_(options), medium_(medium), choice_(choice), report_(report),
          host_(medium, DirectoryInTexts(options.mediumText), choice.baseName, options.codePage)
    {
    }

    void Run()
    {
        Autorun();
        iniEntry_ = medium_.Find(report_.ini);
        report_.run = RunLauncher(host_);
        if (!Ini()) return;
        scan_ = &host_.Scan(IniPath());
        Layout();
        Encoding();
        if (!report_.run.mode) ShowValue(L"DIALOG");
        if (report_.run.mode == "silent") Silent();
        if (report_.run.mode == "dialog") Dialog();
    }

private:
    const std::wstring& IniPath() const { return host_.iniFile; }

    void Add(Severity severity, const char* code, std::optional<int> line, std::optional<std::wstring> section,
             std::optional<std::wstring> key, std::wstring message, bool mediumWide = false)
    {
        report_.findings.push_back({severity, code, mediumWide ? std::nullopt : std::optional(report_.ini), line,
                                    std::move(section), std::move(key), std::move(message)});
    }

    // The launcher's own reading of a key (absent and empty read "False").
    std::wstring Read(const wchar_t* section, const wchar_t* key)
    {
        frmSplash form(host_);
        return form.ReadIniValue(IniPath(), section, key, L"");
    }

    std::optional<int> LineOf(std::wstring_view section, std::wstring_view key) const
    {
        if (const ProfileKey* found = FindProfileKey(*scan_, section, key)) return found->line;
        if (const ProfileSection* found = FindProfileSection(*scan_, section)) return found->line;
        return std::nullopt;
    }

    std::wstring Where(std::wstring_view section, std::wstring_view key) const
    {
        std::wstring text = L"[" + std::wstring(section) + L"] " + std::wstring(key);
        if (const ProfileKey* found = FindProfileKey(*scan_, section, key)) text += L" " + Quote(UnquoteProfileValue(found->value));
        return text;
    }

    void Autorun()
    {
        MediumEntry entry = medium_.Find(L"autorun.inf");
        if (entry.kind != EntryKind::File || !choice_.autorunOpen) return;
        FileBytes bytes = medium_.Read(entry, 1 << 20);
        ProfileScan scan = ScanProfile(bytes.bytes, options_.codePage);
        const ProfileKey* open = FindProfileKey(scan, L"autorun", L"open");
        std::optional<int> line = open ? std::optional(open->line) : std::nullopt;
        std::wstring program = SplitCommandLine(*choice_.autorunOpen).program;
        auto add = [&](std::wstring message) {
            report_.findings.push_back({Severity::Warning, "autorun-open", entry.name, line, L"autorun", L"open",
                                        std::move(message)});
        };
        size_t cut = program.find_last_of(L"\\/");
        std::wstring name = cut == std::wstring::npos ? program : program.substr(cut + 1);
        if (ToLowerCase(name) != ToLowerCase(choice_.exe))
            add(L"[autorun] open " + Quote(*choice_.autorunOpen) + L": Windows starts " + Quote(program) +
                L", not the launcher " + choice_.exe + L".");
        else if (medium_.Find(program).kind != EntryKind::File)
            add(L"[autorun] open " + Quote(*choice_.autorunOpen) + L": " + Quote(program) +
                L" is not on the medium.");
        else if (cut != std::wstring::npos)
            add(L"[autorun] open " + Quote(*choice_.autorunOpen) + L": the launcher is in a folder, but Windows "
                L"starts it in the medium's root, so it reads " + report_.ini + L" there.");
    }

    // The INI: there, readable, and how large. False when there is nothing to analyse.
    bool Ini()
    {
        if (iniEntry_.kind != EntryKind::File) {
            std::wstring why = !iniEntry_.outOfReach.empty() ? iniEntry_.outOfReach
                               : iniEntry_.kind == EntryKind::Folder ? report_.ini + L" is a folder"
                                                                     : report_.ini + L" is not on the medium";
            std::wstring text = report_.run.stop ? report_.run.stop->text : L"";
            Add(Severity::Error, "ini-missing", std::nullopt, std::nullopt, std::nullopt,
                text + L" (" + why + L"; the launcher " + choice_.exe + L" reads " + report_.ini +
                    L" from its current directory)");
            return false;
        }
        FileBytes bytes = medium_.Read(iniEntry_, 0);
        if (!bytes.read) {
            Add(Severity::Error, "ini-unreadable", std::nullopt, std::nullopt, std::nullopt,
                report_.ini + L" cannot be read: " + bytes.error +
                    L". The launcher would read every key as absent: silent mode, starting \"false\".");
        }
        if (bytes.size > kLargeIni)
            Add(Severity::Warning, "ini-large", std::nullopt, std::nullopt, std::nullopt,
                report_.ini + L" is " + Number(std::int64_t(bytes.size)) +
                    L" bytes; a launcher's configuration is a few hundred. Windows reads the whole file for each "
                    L"of the launcher's key reads, so start-up slows down. Is it the right file?");
        return true;
    }

    // Sections and keys: unknown, duplicated, near misses, long values.
    void Layout()
    {
        for (const ProfileKey& key : scan_->outside)
            Add(Severity::Warning, "unknown-key", key.line, std::nullopt, key.name,
                Quote(key.name) + L" stands before any section; the launcher never reads it.");
        for (size_t i = 0; i < scan_->sections.size(); ++i) {
            const ProfileSection& section = scan_->sections[i];
            const ProfileSection* first = FindProfileSection(*scan_, section.name);
            if (first != &section) {
                Add(Severity::Warning, "duplicate-section", section.line, section.name, std::nullopt,
                    L"[" + section.name + L"] appears again; the first one (line " + Number(first->line) +
                        L") wins and this one is never read.");
                continue;
            }
            int button = ButtonNumber(section.name);
            bool dialog = SameProfileName(section.name, L"DIALOG");
            // The launcher reads these names only: "BUTTON01" is not BUTTON1.
            bool read = dialog || (button >= 1 && button <= frmSplash::kButtons &&
                                   SameProfileName(section.name, L"BUTTON" + Number(button)));
            if (!read) {
                std::wstring why = button > frmSplash::kButtons ? L": it reads BUTTON1 to BUTTON5 only."
                                   : button > 0 ? L"; did you mean BUTTON" + Number(button) + L"?"
                                                : std::wstring(L".");
                Add(Severity::Warning, "unknown-section", section.line, section.name, std::nullopt,
                    L"[" + section.name + L"] is never read by the launcher" + why);
                continue;
            }
            const wchar_t* const* known = dialog ? kDialogKeys.data() : kButtonKeys.data();
            size_t knownCount = dialog ? kDialogKeys.size() : kButtonKeys.size();
            for (const ProfileKey& key : section.keys) {
                const ProfileKey* winner = FindProfileKey(*scan_, section.name, key.name);
                bool isKnown = std::any_of(known, known + knownCount, [&](const wchar_t* k) { return SameProfileName(k, key.name); });
                if (!isKnown) {
                    Add(Severity::Warning, "unknown-key", key.line, section.name, key.name,
                        L"[" + section.name + L"] " + Quote(key.name) + L" is never read by the launcher" + Suggestion(key.name, dialog));
                    continue;
                }
                if (winner != &key) {
                    Add(Severity::Warning, "duplicate-key", key.line, section.name, key.name,
                        L"[" + section.name + L"] " + key.name + L" appears again; the first one (line " +
                            Number(winner->line) + L", " + Quote(UnquoteProfileValue(winner->value)) + L") wins.");
                    continue;
                }
                if (!key.hasEquals)
                    Add(Severity::Warning, "unknown-key", key.line, section.name, key.name,
                        L"[" + section.name + L"] " + Quote(key.name) + L" has no \"=\": it reads as empty, \"False\".");
                std::wstring_view value = UnquoteProfileValue(key.value);
                if (value.size() > kLongestValue)
                    Add(Severity::Warning, "value-truncated", key.line, section.name, key.name,
                        L"[" + section.name + L"] " + key.name + L" is " + Number(std::int64_t(value.size())) +
                            L" characters long; the launcher reads the first " + Number(kLongestValue) + L": " +
                            Quote(value.substr(0, kLongestValue)) + L".");
            }
        }
    }

    std::wstring Suggestion(std::wstring_view name, bool dialog) const
    {
        std::wstring best;
        size_t bestDistance = 3;
        auto consider = [&](const wchar_t* candidate, const wchar_t* where) {
            size_t distance = Distance(name, candidate);
            if (distance < bestDistance && distance * 2 < name.size()) {
                bestDistance = distance;
                best = std::wstring(L"; did you mean ") + candidate + where + L"?";
            }
        };
        for (const wchar_t* key : dialog ? std::vector(kDialogKeys.begin(), kDialogKeys.end())
                                         : std::vector(kButtonKeys.begin(), kButtonKeys.end()))
            consider(key, L"");
        if (best.empty()) {  // a key of the other kind of section
            for (const wchar_t* key : dialog ? std::vector(kButtonKeys.begin(), kButtonKeys.end())
                                             : std::vector(kDialogKeys.begin(), kDialogKeys.end()))
                if (SameProfileName(key, name))
                    best = std::wstring(L"; ") + key + (dialog ? L" belongs in a BUTTONn section." : L" belongs in [DIALOG].");
        }
        return best.empty() ? L"." : best;
    }

    // How the file's text is read.
    // How the file's text is read, where it holds text outside ASCII that
    // the launcher reads (names and values; comments are never shown).
    void Encoding()
    {
        FileBytes bytes = medium_.Read(iniEntry_, kIniReadLimit);
        size_t nuls = size_t(std::count(bytes.bytes.begin(), bytes.bytes.end(), '\0'));
        if (scan_->encoding == ProfileEncoding::CodePage && nuls * 4 >= bytes.bytes.size() && nuls > 0) {
            Add(Severity::Warning, "ini-encoding", std::nullopt, std::nullopt, std::nullopt,
                L"the file looks like UTF-16 without a byte-order mark, but is read in code page " +
                    Number(options_.codePage) + L": the launcher finds none of its sections. Save it with a "
                                                L"byte-order mark.");
            return;
        }
        std::optional<std::pair<int, std::wstring>> first = FirstNonAscii();
        if (scan_->encoding == ProfileEncoding::CodePage) {
            // Mostly UTF-8, but not throughout: the whole file falls back to
            // the code page, and every UTF-8 character shows as two or three.
            std::wstring asUtf8 = FromUtf8(bytes.bytes);
            size_t bad = asUtf8.find(wchar_t(0xFFFD));
            bool someUtf8 = std::any_of(asUtf8.begin(), asUtf8.end(), [](wchar_t c) { return c >= 0x80 && c != 0xFFFD; });
            if (someUtf8 && bad != std::wstring::npos) {
                int line = 1 + int(std::count(asUtf8.begin(), asUtf8.begin() + std::ptrdiff_t(bad), L'\n'));
                Add(Severity::Warning, "ini-encoding", line, std::nullopt, std::nullopt,
                    L"the file is UTF-8 except here, so all of it is read in code page " + Number(options_.codePage) +
                        (first ? L": the user sees " + Quote(first->second) : std::wstring()) +
                        L". Save it as UTF-8 throughout.");
                return;
            }
        }
        if (!first) return;
        auto [line, text] = *first;
        switch (scan_->encoding) {
        case ProfileEncoding::Utf8Marked:
            Add(Severity::Note, "ini-encoding", line, std::nullopt, std::nullopt,
                L"read as UTF-8 (the file starts with a UTF-8 byte-order mark): " + Quote(text) + L".");
            break;
        case ProfileEncoding::Utf8:
            Add(Severity::Note, "ini-encoding", line, std::nullopt, std::nullopt,
                L"read as UTF-8 (no byte-order mark, but well-formed UTF-8 throughout): " + Quote(text) + L".");
            break;
        case ProfileEncoding::Utf16Le:
        case ProfileEncoding::Utf16Be:
            Add(Severity::Note, "ini-encoding", line, std::nullopt, std::nullopt,
                L"read as UTF-16 (the file starts with a UTF-16 byte-order mark): " + Quote(text) + L".");
            break;
        case ProfileEncoding::CodePage:
            Add(Severity::Note, "ini-encoding", line, std::nullopt, std::nullopt,
                L"text outside ASCII is read in code page " + Number(options_.codePage) + L" (--codepage): " +
                    Quote(text) + L".");
            break;
        }
    }

    // The first line whose section name, key or value holds a character
    // outside ASCII, and that text.
    std::optional<std::pair<int, std::wstring>> FirstNonAscii() const
    {
        auto outside = [](const std::wstring& text) {
            return std::any_of(text.begin(), text.end(), [](wchar_t c) { return c >= 0x80; });
        };
        std::optional<std::pair<int, std::wstring>> first;
        auto consider = [&](int line, const std::wstring& text) {
            if (outside(text) && (!first || line < first->first)) first = {line, text};
        };
        for (const ProfileSection& section : scan_->sections) {
            consider(section.line, section.name);
            for (const ProfileKey& key : section.keys) {
                consider(key.line, key.name);
                consider(key.line, std::wstring(UnquoteProfileValue(key.value)));
            }
        }
        return first;
    }

    void ShowValue(const wchar_t* section)
    {
        std::wstring text = Read(section, L"Show");
        if (!ParseBooleanText(text))
            Add(Severity::Error, "show-not-boolean", LineOf(section, L"Show"), section, L"Show",
                Where(section, L"Show") + L" is not a boolean: use True, False or a number (0 is false). The "
                                          L"launcher stops with a message.");
    }

    // An action as the launcher starts it.
    void Action(const wchar_t* section, const wchar_t* key, const std::wstring& value)
    {
        std::optional<int> line = LineOf(section, key);
        std::wstring command = ToLowerCase(value);
        if (command == L"false") {
            Add(Severity::Error, "action-false", line, section, key,
                L"[" + std::wstring(section) + L"] " + key + L" is absent, empty or False: the launcher tries "
                                                            L"to start a program named \"false\" and stops with a message.");
            return;
        }
        if (command == L"exit") return;
        CommandParts parts = SplitCommandLine(command);
        CommandParts asWritten = SplitCommandLine(value);
        // A URL's path minds letter case too; a program's or a folder's name does not.
        if (parts.parameters != asWritten.parameters || (StartsWithUrlScheme(command) && command != value))
            Add(Severity::Warning, "action-case", line, section, key,
                Where(section, key) + L": the launcher lower-cases the whole action and starts " + Quote(command) +
                    L"; a switch or a URL that minds letter case will not work.");
        ProgramOnMedium(section, key, line, command);
    }

    // An action whose start fails on a machine that has only the medium and
    // the programs every Windows has, decided by the launcher's own action
    // code (a folder or a URL is opened by the shell instead).
    void ProgramOnMedium(const wchar_t* section, const wchar_t* key, std::optional<int> line, const std::wstring& command)
    {
        CommandParts parts = SplitCommandLine(command);
        if (parts.program.empty() || IsAbsoluteWindowsPath(parts.program)) return;
        bool fails = false;
        host_.modelStartFailures = true;
        try {
            frmSplash form(host_);
            form.DoAction(command);
        } catch (const DryRunEnded&) {
        } catch (const UncheckedFailure&) {
            fails = true;
        }
        host_.modelStartFailures = false;
        host_.started.clear();
        if (fails)
            Add(Severity::Warning, "action-program-missing", line, section, key,
                Where(section, key) + L": " + Quote(parts.program) + L" is not on the medium and is not a program "
                                                                    L"every Windows has; unless the user's PATH finds it, the start fails.");
    }

    void Silent()
    {
        ShowValue(L"DIALOG");
        Action(L"DIALOG", L"DefaultAction", Read(L"DIALOG", L"DefaultAction"));
        // What silent mode never reads, in case dialog mode was meant.
        std::wstring unread;
        for (const wchar_t* key : {L"Caption", L"BackColor", L"Picture", L"Icon"})
            if (FindProfileKey(*scan_, L"DIALOG", key)) unread += (unread.empty() ? L"" : L", ") + std::wstring(key);
        for (int n = 1; n <= frmSplash::kButtons; ++n)
            if (FindProfileSection(*scan_, L"BUTTON" + Number(n)))
                unread += (unread.empty() ? L"[" : L", [") + (L"BUTTON" + Number(n)) + L"]";
        if (!unread.empty())
            Add(Severity::Note, "silent-mode-unread", LineOf(L"DIALOG", L"Show"), L"DIALOG", L"Show",
                L"silent mode: the launcher starts DefaultAction at once and never reads " + unread + L".");
    }

    void Dialog()
    {
        // Buttons, in the launcher's reading order.
        int slot = 0;
        for (int n = 1; n <= frmSplash::kButtons; ++n) {
            std::wstring section = L"BUTTON" + Number(n);
            std::optional<bool> show = ParseBooleanText(Read(section.c_str(), L"Show"));
            if (!show) {
                ShowValue(section.c_str());
                continue;
            }
            if (!*show) continue;
            std::wstring caption = Read(section.c_str(), L"Caption");
            if (caption == L"False")
                Add(Severity::Warning, "caption-false", LineOf(section, L"Caption"), section, L"Caption",
                    L"[" + section + L"] Caption is absent, empty or False: the button reads \"False\".");
            Action(section.c_str(), L"Action", Read(section.c_str(), L"Action"));
            if (slot + 1 != n)
                Add(Severity::Note, "button-slots", LineOf(section, L"Show"), section, std::nullopt,
                    L"[" + section + L"] is shown as button " + Number(slot + 1) +
                        L": shown buttons fill the slots from the left.");
            ++slot;
        }
        if (slot == 0)
            Add(Severity::Warning, "no-buttons", LineOf(L"DIALOG", L"Show"), L"DIALOG", std::nullopt,
                L"no button is shown: closing the window is the only way out.");

        if (const ProfileKey* unused = FindProfileKey(*scan_, L"DIALOG", L"DefaultAction"))
            Add(Severity::Note, "default-action-unread", unused->line, L"DIALOG", L"DefaultAction",
                L"[DIALOG] DefaultAction is read in silent mode only; this medium shows its window.");
        BackColor();
        Picture();
        Icon();
        if (Read(L"DIALOG", L"Caption") == L"False")
            Add(Severity::Warning, "caption-false", LineOf(L"DIALOG", L"Caption"), L"DIALOG", L"Caption",
                L"[DIALOG] Caption is absent, empty or False: the window's title reads \"False\".");
    }

    void BackColor()
    {
        std::wstring text = Read(L"DIALOG", L"BackColor");
        std::wstring problem;
        try {
            std::wstring number = frmSplash::RgbToHexColor(text);
            if (!ParseNumber(number))
                problem = Quote(number) + L" is not a colour: write red,green,blue (for example 47,31,107), "
                                          L"&HBBGGRR or a decimal number.";
        } catch (const UncheckedFailure& failure) {
            problem = failure.Message();
        }
        if (!problem.empty())
            Add(Severity::Error, "backcolor-invalid", LineOf(L"DIALOG", L"BackColor"), L"DIALOG", L"BackColor",
                Where(L"DIALOG", L"BackColor") + L": " + problem);
    }

    void Picture()
    {
        std::wstring path = Read(L"DIALOG", L"Picture");
        MediumEntry entry = host_.Resolve(path);
        std::optional<int> line = LineOf(L"DIALOG", L"Picture");
        if (entry.namedOutside) {
            Add(Severity::Warning, "picture-outside", line, L"DIALOG", L"Picture",
                Where(L"DIALOG", L"Picture") + L": " + entry.outOfReach +
                    L"; the checker does not look there. The dry run assumes the launcher finds and decodes it.");
            return;
        }
        if (entry.kind != EntryKind::File) {
            std::wstring why = path == L"False" ? L"[DIALOG] Picture is absent or empty"
                               : !entry.outOfReach.empty() ? Quote(path) + L": " + entry.outOfReach
                               : entry.kind == EntryKind::Folder ? Quote(path) + L" is a folder"
                                                                 : Quote(path) + L" is not on the medium" + SimilarFile(path);
            Add(Severity::Error, "picture-missing", line, L"DIALOG", L"Picture",
                why + L". The launcher stops: \"Couldn't find splash screen picture - " + path + L"\".");
            return;
        }
        const PictureDecode& decoded = host_.Decode(path, L"picture");
        if (!decoded.decoded) {
            Add(Severity::Error, "picture-unreadable", line, L"DIALOG", L"Picture",
                Where(L"DIALOG", L"Picture") + L": the launcher stops: \"" + decoded.failure + L"\"");
            return;
        }
        int w = decoded.width, h = decoded.height;
        if (w == kPictureWidth && h == kPictureHeight) return;
        std::vector<std::wstring> effects;
        if (w > kPictureWidth) effects.push_back(L"it is cut off at the right (" + Number(kPictureWidth) + L" pixels show)");
        if (h > kClientHeight) effects.push_back(L"it is cut off at the bottom (" + Number(kClientHeight) + L" pixels show) and runs under the buttons");
        else if (h > kPictureHeight) effects.push_back(L"its lowest " + Number(h - kPictureHeight) + L" rows run under the buttons");
        if (w < kPictureWidth) effects.push_back(L"the background colour shows to its right");
        if (h < kPictureHeight) effects.push_back(L"the background colour shows below it, above the buttons");
        std::wstring text;
        for (size_t i = 0; i < effects.size(); ++i) text += (i ? L"; " : L"") + effects[i];
        Add(Severity::Warning, "picture-size", line, L"DIALOG", L"Picture",
            Where(L"DIALOG", L"Picture") + L" is " + Number(w) + L" x " + Number(h) + L" pixels, not " +
                Number(kPictureWidth) + L" x " + Number(kPictureHeight) + L": " + text + L" (at 96 DPI).");
    }

    void Icon()
    {
        std::wstring path = Read(L"DIALOG", L"Icon");
        if (path == L"False") return;  // the built-in icon, as meant
        MediumEntry entry = host_.Resolve(path);
        std::optional<int> line = LineOf(L"DIALOG", L"Icon");
        if (entry.namedOutside) {
            Add(Severity::Warning, "icon-outside", line, L"DIALOG", L"Icon",
                Where(L"DIALOG", L"Icon") + L": " + entry.outOfReach +
                    L"; the checker does not look there. The dry run assumes the launcher finds and decodes it.");
            return;
        }
        if (entry.kind != EntryKind::File) {
            std::wstring why = !entry.outOfReach.empty() ? entry.outOfReach
                               : entry.kind == EntryKind::Folder ? L"it is a folder"
                                                                 : L"it is not on the medium" + SimilarFile(path);
            Add(Severity::Warning, "icon-missing", line, L"DIALOG", L"Icon",
                Where(L"DIALOG", L"Icon") + L": " + why + L"; the launcher silently keeps its built-in icon.");
            return;
        }
        const PictureDecode& decoded = host_.Decode(path, L"icon");
        if (!decoded.decoded)
            Add(Severity::Error, "icon-unreadable", line, L"DIALOG", L"Icon",
                Where(L"DIALOG", L"Icon") + L": the launcher stops: \"" + decoded.failure + L"\"");
    }

    // A file on the medium whose name is close to the one asked for.
    std::wstring SimilarFile(const std::wstring& path) const
    {
        std::wstring best;
        size_t bestDistance = 3;
        for (const std::wstring& name : medium_.TopFileNames()) {
            size_t distance = Distance(name, path);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = L" (did you mean " + name + L"?)";
            }
        }
        return best;
    }

    const CheckOptions& options_;
    const Medium& medium_;
    const LauncherChoice& choice_;
    CheckReport& report_;
    DryRunHost host_;
    MediumEntry iniEntry_;
    const ProfileScan* scan_ = nullptr;
};

bool FindingOrder(const Finding& a, const Finding& b)
{
    if (a.file.has_value() != b.file.has_value()) return !a.file.has_value();
    if (a.file != b.file) return a.file < b.file;
    return a.line.value_or(0) < b.line.value_or(0);
}

}  // namespace

CheckOutcome CheckMedium(const CheckOptions& options)
{
    CheckOutcome outcome;
    std::error_code error;
    if (!std::filesystem::exists(options.medium, error)) {
        outcome.usageError = options.mediumText + L": no such folder";
        return outcome;
    }
    if (!std::filesystem::is_directory(options.medium, error)) {
        outcome.usageError = options.mediumText + L": not a folder (MEDIUM is the folder the launcher starts in)";
        return outcome;
    }
    if (!CodePageAvailable(options.codePage)) {
        outcome.usageError = L"code page " + ToDecimalDigits(options.codePage) + L" is not known on this system";
        return outcome;
    }
    Medium medium(options.medium);
    Discovery discovery = FindLauncher(medium, options.exe);
    if (!discovery.choice) {
        outcome.usageError = options.mediumText + L": " + discovery.usageError;
        return outcome;
    }
    CheckReport& report = outcome.report.emplace();
    report.medium = options.mediumText;
    report.launcher = discovery.choice->exe;
    report.launcherHow = discovery.choice->how;
    report.ini = discovery.choice->baseName + L".ini";
    Analysis(options, medium, *discovery.choice, report).Run();
    std::stable_sort(report.findings.begin(), report.findings.end(), FindingOrder);
    return outcome;
}

}  // namespace trelvo::media
