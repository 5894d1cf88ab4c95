// End-to-end tests of trelvo.exe, run under Wine (or Windows).
//
//   e2e_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT]
//   e2e_driver <trelvo.exe> <probe.exe> --dpi=144
//
// The second form sets the system DPI (LogPixels) to 144, runs the one window
// case at that DPI in a second instance of the driver, which reads the new
// value as it starts, and restores the old value afterwards.
//
// The cases below are run by the harness (tests/harness/Runner.h): a fresh
// medium folder per case with the INI, the pictures and the launcher copied
// under the case's name, plus probe.exe (it logs every command line it is
// started with); the launcher runs in a job object and is watched from
// outside: its message boxes, the splash window's geometry and colours, what
// it started, its exit code.
//
// Prints one line per failed check and finally "N passed, N failed".
// Exit code 0 only when no check failed.
#include "harness/Export.h"
#include "harness/Runner.h"

namespace {

using namespace harness;

// ---------------------------------------------------------------------------
// The cases: INI texts are written with CR LF line ends.

// The [DIALOG] section of a shown window with the small picture.
std::string Dialog(const char* show, const std::string& more = "")
{
    return std::string("[DIALOG]\nShow=") + show + "\nPicture=splash.bmp\n" + more;
}

// Missing INI, where it is looked for, and the executable's name.
std::vector<Case> StartupCases()
{
    const std::string toProbe = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /media-ini\n";
    return {
        {.name = L"missing INI", .exitCode = 1, .boxes = {{kMissingIni}}},
        {.name = L"INI beside the exe, current directory elsewhere",
         .cwd = Cwd::Other,
         .files = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
        {.name = L"INI read from the current directory, not the exe's",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /From-Current-Dir\n",
         .cwd = Cwd::Other,
         .files = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .started = {"probe.exe /from-current-dir"}},
        {.name = L"renamed exe looks for its own INI",
         .exe = L"install.exe",
         .files = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
        {.name = L"renamed exe reads its own INI",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Autorun\n",
         .exe = L"autorun.exe",
         .files = {{Folder::Media, L"setup.ini", IniBytes(toProbe)}},
         .started = {"probe.exe /autorun"}},
        {.name = L"exe name with a space and a dot",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Dotted\n",
         .exe = L"Disc Setup.v2.exe",
         .started = {"probe.exe /dotted"}},
        {.name = L"missing INI in a drive root",
         .exe = L"trelvo-e2e-nothing-here.exe",
         .cwd = Cwd::DriveRoot,
         .exitCode = 1,
         .boxes = {{kMissingIni}}},
        {.name = L"Cyrillic and Greek folder: silent exit",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=exit\n",
         .folder = L"Установка Σετ"},
        {.name = L"Cyrillic and Greek folder: missing INI",
         .folder = L"Установка Σετ",
         .exitCode = 1,
         .boxes = {{kMissingIni, {L"Установка Σετ\\setup.ini"}}}},
        {.name = L"Cyrillic and Greek folder: command started",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /From-Unicode-Folder\n",
         .folder = L"Установка Σετ",
         .started = {"probe.exe /from-unicode-folder"}},
    };
}

// Silent mode: the default action.
std::vector<Case> SilentCases()
{
    return {
        {.name = L"silent exit", .ini = "[DIALOG]\nShow=False\nDefaultAction=exit\n"},
        {.name = L"silent EXIT", .ini = "[DIALOG]\nShow=False\nDefaultAction=EXIT\n"},
        {.name = L"silent Exit", .ini = "[DIALOG]\nShow=False\nDefaultAction=Exit\n"},
        {.name = L"Show key absent is silent", .ini = "[DIALOG]\nDefaultAction=exit\n"},
        {.name = L"command with arguments lower-cased",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.EXE /Lang=DE\n",
         .started = {"probe.exe /lang=de"}},
        {.name = L"quoted program name with a space",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=\"Probe Tool.EXE\" /Mode=Quiet\n",
         .probes = {L"probe.exe", L"Probe Tool.exe"},
         .started = {"\"probe tool.exe\" /mode=quiet"}},
        {.name = L"program that isn't there",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=No-Such-Tool.EXE /Q\n",
         .exitCode = 3,
         .boxes = {{L"", {L"no-such-tool.exe /q", L"{notfound}"}}}},
        {.name = L"empty INI tries to start false",
         .ini = "",
         .exitCode = 3,
         .boxes = {{L"", {L"false", L"{notfound}"}}}},
        {.name = L"DIALOG without DefaultAction tries to start false",
         .ini = "[DIALOG]\nShow=False\nCaption=Nothing to do\n",
         .exitCode = 3,
         .boxes = {{L"", {L"false", L"{notfound}"}}}},
    };
}

// [DIALOG] Show as a boolean text. The dialog-mode values are covered by the
// layout table (True, 1, -1, TRUE, tRuE, 7).
std::vector<Case> ShowValueCases()
{
    const std::string buttons = Button(1, "True", "One", "Probe.exe /one");
    return {
        {.name = L"Show=0 is silent",
         .ini = "[DIALOG]\nShow=0\nDefaultAction=Probe.exe /Zero\n" + buttons,
         .started = {"probe.exe /zero"}},
        {.name = L"Show=False is silent",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Word\n" + buttons,
         .started = {"probe.exe /word"}},
        {.name = L"Show=fALSE is silent",
         .ini = "[DIALOG]\nShow=fALSE\nDefaultAction=Probe.exe /Mixed\n" + buttons,
         .started = {"probe.exe /mixed"}},
        {.name = L"Show=Maybe is an error",
         .ini = "[DIALOG]\nShow=Maybe\nDefaultAction=Probe.exe /never\nPicture=splash.bmp\n" + buttons,
         .files = {SplashBmp()},
         .exitCode = 3,
         .boxes = {{L"", {L"Show", L"DIALOG", L"{ini}", L"Maybe"}}}},
        {.name = L"button Show=Yes is an error",
         .ini = Dialog("True") + Button(1, "True", "One", "Probe.exe /one") + Button(2, "0", "Two", "x") +
                Button(3, "Yes", "Three", "Probe.exe /three"),
         .files = {SplashBmp()},
         .exitCode = 3,
         .boxes = {{L"", {L"Show", L"BUTTON3", L"{ini}", L"Yes"}}}},
    };
}

// Every row of the layout, with a different way out of each window.
std::vector<Case> LayoutCases()
{
    return {
        {.name = L"layout of 0 buttons, Escape",
         .ini = Dialog("True", "Caption=No Buttons\n") + Button(1, "False", "One", "Probe.exe /one") +
                Button(2, "0", "Two", "Probe.exe /two") + Button(3, nullptr, "Three", "Probe.exe /three") +
                Button(6, "True", "Six", "Probe.exe /six"),
         .files = {SplashBmp()},
         .splash = Splash{.title = L"No Buttons", .captions = {}, .step = Step::Escape}},
        {.name = L"layout of 1 button, click",
         .ini = Dialog("1", "Caption=One Button\n") + Button(1, "1", "&Install", "Probe.EXE /Slot=One"),
         .files = {SplashBmp()},
         .started = {"probe.exe /slot=one"},
         .splash = Splash{.title = L"One Button", .captions = {L"&Install"}, .step = Step::Click, .slot = 0}},
        {.name = L"layout of 2 buttons, WM_CLOSE",
         .ini = Dialog("-1", "Caption=Two Buttons\n") + Button(1, "True", "Read Me", "Probe.exe /readme") +
                Button(2, "True", "Browse", "Probe.exe /browse"),
         .files = {SplashBmp()},
         .splash = Splash{.title = L"Two Buttons", .captions = {L"Read Me", L"Browse"}, .step = Step::Close}},
        {.name = L"layout of 3 buttons, exit button",
         .ini = Dialog("TRUE", "Caption=Three Buttons\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "True", "Two", "Probe.exe /two") + Button(3, "True", "E&xit", "Exit"),
         .files = {SplashBmp()},
         .splash = Splash{.title = L"Three Buttons",
                          .captions = {L"One", L"Two", L"E&xit"},
                          .step = Step::Click,
                          .slot = 2}},
        {.name = L"layout of 4 buttons, Escape",
         .ini = Dialog("tRuE", "Caption=Four Buttons\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "True", "Two", "Probe.exe /two") + Button(3, "True", "Three", "Probe.exe /three") +
                Button(4, "True", "Four", "Probe.exe /four"),
         .files = {SplashBmp()},
         .splash = Splash{.title = L"Four Buttons",
                          .captions = {L"One", L"Two", L"Three", L"Four"},
                          .step = Step::Escape}},
        {.name = L"layout of 5 buttons, click the last",
         .ini = Dialog("7", "Caption=Five Buttons\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "1", "Two", "Probe.exe /two") + Button(3, "-1", "Three", "Probe.exe /three") +
                Button(4, "TRUE", "Four", "Probe.exe /four") + Button(5, "true", "Five", "Probe.EXE /Five") +
                Button(6, "True", "Six", "Probe.exe /six"),
         .files = {SplashBmp()},
         .started = {"probe.exe /five"},
         .splash = Splash{.title = L"Five Buttons",
                          .captions = {L"One", L"Two", L"Three", L"Four", L"Five"},
                          .step = Step::Click,
                          .slot = 4}},
    };
}

// Kept sections are packed into the first slots; defaults of absent keys.
std::vector<Case> PackingCases()
{
    return {
        {.name = L"BUTTON2 and BUTTON4 packed into slots 0 and 1",
         .ini = Dialog("True", "Caption=Packed\n") + Button(1, "False", "First", "Probe.exe /first") +
                Button(2, "True", "Second", "Probe.exe /second") + Button(4, "1", "Fourth", "Probe.exe /Fourth") +
                Button(5, "0", "Fifth", "Probe.exe /fifth") + Button(6, "True", "Sixth", "Probe.exe /sixth"),
         .files = {SplashBmp()},
         .started = {"probe.exe /fourth"},
         .splash = Splash{.title = L"Packed", .captions = {L"Second", L"Fourth"}, .step = Step::Click, .slot = 1}},
        {.name = L"absent Caption and Action keys",
         .ini = Dialog("True") + Button(1, "True", "Alpha", "Probe.exe /alpha") +
                Button(2, "True", nullptr, "Probe.exe /two") + Button(3, "True", "Gamma", nullptr),
         .files = {SplashBmp()},
         .exitCode = 3,
         .boxes = {{L"", {L"false", L"{notfound}"}}},
         .splash = Splash{.title = L"False",
                          .captions = {L"Alpha", L"False", L"Gamma"},
                          .step = Step::Click,
                          .slot = 2}},
    };
}

// Keyboard: Tab among the visible buttons, Enter and Space press the focused one.
std::vector<Case> KeyboardCases()
{
    return {
        {.name = L"Tab to the third button, Enter",
         .ini = Dialog("True", "Caption=Keys\n") + Button(1, "True", "One", "Probe.exe /one") +
                Button(2, "True", "Two", "Probe.exe /two") + Button(3, "True", "Three", "Probe.exe /Three"),
         .files = {SplashBmp()},
         .started = {"probe.exe /three"},
         .splash = Splash{.title = L"Keys",
                          .captions = {L"One", L"Two", L"Three"},
                          .step = Step::TabEnter,
                          .slot = 2}},
        {.name = L"Tab wraps past hidden buttons, Space",
         .ini = Dialog("True", "Caption=Wrap\n") + Button(1, "False", "One", "Probe.exe /one") +
                Button(3, "True", "Three", "Probe.exe /Three") + Button(5, "True", "Five", "Probe.exe /Five"),
         .files = {SplashBmp()},
         .started = {"probe.exe /three"},
         .splash = Splash{.title = L"Wrap", .captions = {L"Three", L"Five"}, .step = Step::TabSpace, .slot = 0}},
    };
}

// The picture: it must exist.
std::vector<Case> PictureCases()
{
    const std::string buttons = Button(1, "True", "One", "Probe.exe /one");
    return {
        {.name = L"missing picture file",
         .ini = "[DIALOG]\nShow=True\nPicture=missing.bmp\nDefaultAction=Probe.exe /never\n" + buttons,
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - missing.bmp"}}},
        {.name = L"missing picture keeps the path as written",
         .ini = "[DIALOG]\nShow=True\nPicture=Art\\Missing.BMP\n" + buttons,
         .files = {{Folder::Media, L"Art", "", true}},
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - Art\\Missing.BMP"}}},
        {.name = L"no Picture key",
         .ini = "[DIALOG]\nShow=True\nCaption=No Picture\n" + buttons,
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - False"}}},
        {.name = L"Picture naming a folder",
         .ini = "[DIALOG]\nShow=True\nPicture=pictures\n" + buttons,
         .files = {{Folder::Media, L"pictures", "", true}},
         .exitCode = 2,
         .boxes = {{L"Couldn't find splash screen picture - pictures"}}},
    };
}

// Background colour in its three notations, its default, and a PNG blended over it.
std::vector<Case> ColourCases()
{
    // PNG 40 x 30: left half opaque picture colour, right half white at alpha
    // 128; the lowest 10 rows fully transparent red.
    auto png = Png(40, 30, [](int x, int y) -> Rgba {
        if (y >= 20) return {255, 0, 0, 0};
        if (x < 20) return {GetRValue(kPictureColour), GetGValue(kPictureColour), GetBValue(kPictureColour), 255};
        return {255, 255, 255, 128};
    });
    auto blend = [](int over, int back) { return (over * 128 + back * 127 + 127) / 255; };
    COLORREF halfWhite = RGB(blend(255, GetRValue(kBack)), blend(255, GetGValue(kBack)), blend(255, GetBValue(kBack)));

    return {
        {.name = L"BackColor r,g,b",
         .ini = Dialog("True", "BackColor=47,31,107\nCaption=Colour\n") + Button(1, "True", "One", "Probe.exe /one"),
         .files = {SplashBmp()},
         .splash = Splash{.title = L"Colour", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"BackColor &H hex, picture by full path",
         .ini = "[DIALOG]\nShow=True\nBackColor=&H6B1F2F\nCaption=Colour\nPicture={media}\\art\\Splash.bmp\n" +
                Button(1, "True", "One", "Probe.exe /one"),
         .files = {{Folder::Media, L"art", "", true}, SplashBmp(Folder::Media, L"art\\Splash.bmp")},
         .splash = Splash{.title = L"Colour", .captions = {L"One"}, .pixels = AroundPicture(kBack)}},
        {.name = L"BackColor decimal",
         .ini = Dialog("True", "BackColor=7020335\nCaption=Colour\n") + Button(1, "True", "One", "Probe.exe /one"),
         .files = {SplashBmp()},
         .splash = Splash{.title = L"Colour",
                          .captions = {L"One"},
                          .pixels = AroundPicture(kBack),
                          .step = Step::CloseBox}},
        {.name = L"no BackColor key is black",
         .ini = Dialog("True", "Caption=Colour\n") + Button(1, "True", "One", "Probe.exe /one"),
         .files = {SplashBmp()},
         .splash = Splash{.title = L"Colour", .captions = {L"One"}, .pixels = AroundPicture(RGB(0, 0, 0))}},
        {.name = L"PNG transparency over the background",
         .ini = "[DIALOG]\nShow=True\nBackColor=47,31,107\nCaption=Alpha\nPicture=splash.png\n",
         .files = {{Folder::Media, L"splash.png", png}},
         .splash = Splash{.title = L"Alpha",
                          .captions = {},
                          .pixels = {{5, 5, kPictureColour, 3, L"opaque part"},
                                     {30, 10, halfWhite, 6, L"half transparent white"},
                                     {10, 25, kBack, 3, L"fully transparent part"},
                                     {40, 10, kBack, 2, L"right of the picture"},
                                     {10, 30, kBack, 2, L"below the picture"}}}},
    };
}

// The window's icon and title.
std::vector<Case> IconCases()
{
    return {
        {.name = L"missing icon keeps the built-in one",
         .ini = Dialog("True", "Icon=nothere.ico\nCaption=Icon Missing\n") + Button(1, "True", "One", "Probe.exe /1"),
         .files = {SplashBmp()},
         .splash = Splash{.title = L"Icon Missing", .captions = {L"One"}}},
        {.name = L"icon from the medium",
         .ini = Dialog("True", "Icon=product.ico\nCaption=Icon Given\n") + Button(1, "True", "One", "Probe.exe /1"),
         .files = {SplashBmp(), {Folder::Media, L"product.ico", Ico(kIconColour)}},
         .splash = Splash{.title = L"Icon Given", .captions = {L"One"}, .mediumIcon = true}},
    };
}

// The INI file's encoding: UTF-8 with or without its mark, a Windows-1252
// file that is not UTF-8, and UTF-16 show the same caption.
std::vector<Case> EncodingCases()
{
    const std::wstring title = L"D\u00E9j\u00E0 Vu \u2013 Setup";
    const std::string utf8 = Dialog("True", "Caption=D\xC3\xA9j\xC3\xA0 Vu \xE2\x80\x93 Setup\n") +
                             Button(1, "True", "\xC3\x9C" "ber", "Probe.exe /1");
    return {
        {.name = L"UTF-8 INI with its mark",
         .ini = "\xEF\xBB\xBF" + utf8,
         .files = {SplashBmp()},
         .splash = Splash{.title = title, .captions = {L"\u00DCber"}}},
        {.name = L"UTF-8 INI without a mark",
         .ini = utf8,
         .files = {SplashBmp()},
         .splash = Splash{.title = title, .captions = {L"\u00DCber"}}},
        // The mark stands before the first section, which must still be found.
        {.name = L"UTF-8 INI with its mark, silent",
         .ini = "\xEF\xBB\xBF[DIALOG]\nShow=False\nDefaultAction=Probe.exe /Marked\n",
         .started = {"probe.exe /marked"}},
        {.name = L"Windows-1252 INI that is not UTF-8",
         .ini = Dialog("True", "Caption=D\xE9j\xE0 Vu \x96 Setup\n") + Button(1, "True", "\xDC" "ber", "Probe.exe /1"),
         .files = {SplashBmp()},
         .splash = Splash{.title = title, .captions = {L"\u00DCber"}}},
        {.name = L"UTF-16 INI",
         .files = {SplashBmp(),
                    {Folder::Media, L"setup.ini",
                     Utf16Ini(L"[DIALOG]\nShow=True\nPicture=splash.bmp\nCaption=" + title +
                              L"\n[BUTTON1]\nShow=True\nCaption=\u00DCber\nAction=Probe.exe /1\n")}},
         .splash = Splash{.title = title, .captions = {L"\u00DCber"}}},
    };
}

// ---------------------------------------------------------------------------
// Documents and URLs opened through the shell (the probe is their opener:
// Case::shellTypes)

std::vector<Case> ShellCases()
{
    const std::string openedBy = "\"{media}\\probe.exe\" ";
    return {
        {.name = L"button opens a document",
         .ini = Dialog("True", "Caption=Documents\n") + Button(1, "True", "Read Me", "ReadMe.TrelvoDoc"),
         .files = {SplashBmp(), {Folder::Media, L"ReadMe.trelvodoc", "the manual"}},
         .started = {openedBy + "/opened \"{media}\\readme.trelvodoc\" "},
         .splash = Splash{.title = L"Documents", .captions = {L"Read Me"}, .step = Step::Click, .slot = 0},
         .shellTypes = true},
        {.name = L"button opens a URL",
         .ini = Dialog("True", "Caption=Web\n") + Button(1, "True", "Support", "Trelvo-E2E://Example/Support?Page=2"),
         .files = {SplashBmp()},
         .started = {openedBy + "/url \"trelvo-e2e://example/support?page=2\""},
         .splash = Splash{.title = L"Web", .captions = {L"Support"}, .step = Step::Click, .slot = 0},
         .shellTypes = true},
        {.name = L"silent mode opens a document with arguments",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Guide.TrelvoDoc /Page=2\n",
         .files = {{Folder::Media, L"guide.trelvodoc", "the guide"}},
         .started = {openedBy + "/opened \"{media}\\guide.trelvodoc\" /page=2"},
         .shellTypes = true},
        {.name = L"button opens a folder",
         .ini = Dialog("True", "Caption=Browse\n") + Button(1, "True", "Extras", "Extras"),
         .files = {SplashBmp(), {Folder::Media, L"Extras", "", true}},
         .started = {openedBy + "/folder \"extras\""},
         .splash = Splash{.title = L"Browse", .captions = {L"Extras"}, .step = Step::Click, .slot = 0},
         .shellTypes = true},
        {.name = L"silent mode opens the medium's own folder",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=.\n",
         .started = {openedBy + "/folder \"{media}\""},  // the shell names "." in full
         .shellTypes = true},
        {.name = L"missing document: one message, nothing started",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Missing.TrelvoDoc\n",
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't start the command line", L"missing.trelvodoc", L"{notfound}"}}},
         .shellTypes = true},
        {.name = L"a program still starts as a process, not through the shell",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Probe.exe /As-Process\n",
         .started = {"probe.exe /as-process"},
         .shellTypes = true},
        {.name = L"a document type no program opens: one message",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Notes.TrelvoNone\n",
         .files = {{Folder::Media, L"notes.trelvonone", "notes"}},
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't open", L"notes.trelvonone"}}},
         .shellTypes = true},
        {.name = L"a URL scheme nobody handles: one message",
         .ini = "[DIALOG]\nShow=False\nDefaultAction=Nobody-E2E:Page\n",
         .exitCode = 3,
         .boxes = {{L"", {L"Couldn't open", L"nobody-e2e:page"}}},
         .shellTypes = true},
    };
}

// ---------------------------------------------------------------------------
// 144 DPI

// The window at another DPI: every length is twips * DPI / 1440 (at 144: the
// client area 722 x 518, buttons 140 x 50 at top 456, lefts 3, 147, 291, 435,
// 579), and the 481 x 297 picture, scaled by DPI / 96 (to 722 x 446 at 144),
// still fills the area above the buttons.
Case DpiCase(int dpi)
{
    int width = MulDiv(481, dpi, 96), height = MulDiv(297, dpi, 96), buttonTop = Pixels(dpi, kButtonTop);
    return {.name = std::to_wstring(dpi) + L" DPI: five buttons and a 481 x 297 picture",
            .ini = Dialog("True", "BackColor=47,31,107\nCaption=At " + std::to_string(dpi) + " DPI\n") +
                   Button(1, "True", "One", "Probe.exe /one") + Button(2, "True", "Two", "Probe.exe /two") +
                   Button(3, "True", "Three", "Probe.exe /three") + Button(4, "True", "Four", "Probe.exe /four") +
                   Button(5, "True", "Five", "Probe.exe /Five-At-Dpi"),
            .files = {{Folder::Media, L"splash.bmp", Bmp(481, 297, kPictureColour)}},
            .started = {"probe.exe /five-at-dpi"},
            .splash = Splash{.title = L"At " + std::to_wstring(dpi) + L" DPI",
                             .captions = {L"One", L"Two", L"Three", L"Four", L"Five"},
                             .pixels = {{5, 5, kPictureColour, 3, L"picture, top left"},
                                        {width - 7, height - 6, kPictureColour, 3, L"picture, near its bottom right"},
                                        {width - 1, height - 1, kPictureColour, 3, L"picture, its last pixel"},
                                        {width - 1, height, kBack, 2, L"just below the scaled picture"},
                                        {width - 7, height + 4, kBack, 2, L"below the picture, above the buttons"},
                                        {width / 2, (height + buttonTop) / 2, kBack, 2,
                                         L"between the picture and the buttons"}},
                             .step = Step::Click,
                             .slot = 4}};
}

// Windows (and Wine) read the system DPI from this value when a program starts.
const wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
const wchar_t kLogPixels[] = L"LogPixels";
// Where the value to restore is kept while a run has changed it, so that a
// run that was killed is repaired by the next one.
const wchar_t kSavedKey[] = L"Software\\Trelvo\\e2e";
const wchar_t kSavedLogPixels[] = L"SavedLogPixels";
constexpr DWORD kNoValue = 0xFFFFFFFF;  // saved: LogPixels was absent

std::optional<DWORD> ReadDword(const wchar_t* keyName, const wchar_t* name)
{
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, keyName, name, RRF_RT_REG_DWORD, &type, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool WriteDword(const wchar_t* keyName, const wchar_t* name, DWORD value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

bool DeleteValue(const wchar_t* keyName, const wchar_t* name)
{
    LSTATUS status = RegDeleteKeyValueW(HKEY_CURRENT_USER, keyName, name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// Puts back the LogPixels value a run saved; true when nothing was left to do
// or it was put back.
bool RestoreLogPixels()
{
    std::optional<DWORD> saved = ReadDword(kSavedKey, kSavedLogPixels);
    if (!saved) return true;
    bool ok = *saved == kNoValue ? DeleteValue(kDesktopKey, kLogPixels) : WriteDword(kDesktopKey, kLogPixels, *saved);
    ok = ok && DeleteValue(kSavedKey, kSavedLogPixels);
    if (ok) RegDeleteKeyW(HKEY_CURRENT_USER, kSavedKey);  // ours alone; gone when empty
    return ok;
}

// Sets LogPixels, runs this driver again (a program started now reads the new
// DPI) for the case at that DPI, and restores the old value, whatever the
// child did.
int RunAtDpi(int dpi, const std::wstring& launcher, const std::wstring& probe)
{
    report().currentCase = L"LogPixels=" + std::to_wstring(dpi);
    std::optional<DWORD> old = ReadDword(kDesktopKey, kLogPixels);
    if (!Check(WriteDword(kSavedKey, kSavedLogPixels, old ? *old : kNoValue), L"saving the old LogPixels value") ||
        !Check(WriteDword(kDesktopKey, kLogPixels, DWORD(dpi)), L"setting LogPixels")) {
        RestoreLogPixels();
        return 1;
    }
    struct Restore {
        ~Restore() { Check(RestoreLogPixels(), L"restoring LogPixels"); }
    } restore;

    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), DWORD(self.size())));
    std::wstring commandLine = L"\"" + self + L"\" \"" + launcher + L"\" \"" + probe + L"\" --at-dpi=" +
                               std::to_wstring(dpi) + (report().verbose ? L" --verbose" : L"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    if (!Check(CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                              &startup, &child),
               L"starting " + commandLine + L": " + SystemErrorText(GetLastError())))
        return 1;
    bool ended = WaitForSingleObject(child.hProcess, 180000) == WAIT_OBJECT_0;
    if (!Check(ended, L"the driver at " + std::to_wstring(dpi) + L" DPI did not end within 180 s; terminated"))
        TerminateProcess(child.hProcess, 99);
    DWORD code = 1;
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return ended && code == 0 ? 0 : 1;
}

// In the child: the whole process sees the new DPI; it measures the window
// without any scaling by the system.
bool ReadyAtDpi(int dpi)
{
    report().currentCase = L"at " + std::to_wstring(dpi) + L" DPI";
    using SetContext = BOOL(WINAPI*)(HANDLE);
    auto setContext = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then the older per-monitor kind.
    if (!setContext || (!setContext(HANDLE(-4)) && !setContext(HANDLE(-3)))) SetProcessDPIAware();
    int screen = ScreenDpi();
    return Check(screen == dpi, L"the system should read " + std::to_wstring(dpi) + L" DPI after LogPixels=" +
                                    std::to_wstring(dpi) + L", it reads " + std::to_wstring(screen));
}


}  // namespace

int wmain(int argc, wchar_t** argv)
{
    DWORD runStart = GetTickCount();
    Options options = ParseOptions(argc, argv);
    if (options.positional.size() != 2 || options.dpi < 0 || options.atDpi < 0) {
        Print(L"usage: e2e_driver <trelvo.exe> <probe.exe> [--verbose] [--only=TEXT] [--dpi=N]");
        Print(L"  --dpi=N  runs only the window case at N DPI (LogPixels=N, restored afterwards)");
        return 2;
    }
    report().currentCase = L"set-up";
    if (options.atDpi == 0 && ReadDword(kSavedKey, kSavedLogPixels)) {
        Print(L"note: restoring LogPixels left changed by an interrupted run");
        Check(RestoreLogPixels(), L"restoring LogPixels left changed by an interrupted run");
    }
    if (options.dpi > 0) {
        int code = RunAtDpi(options.dpi, WindowsPath(options.positional[0]), WindowsPath(options.positional[1]));
        return Summary() == 0 ? code : 1;
    }

    Context context;
    bool ready = SetUp(options, L"trelvo-e2e", context);
    if (options.atDpi > 0) ready = ReadyAtDpi(options.atDpi) && ready;
    std::vector<Case> cases;
    if (options.atDpi > 0) {
        cases = {DpiCase(options.atDpi)};
    } else {
        for (auto table : {StartupCases, SilentCases, ShowValueCases, LayoutCases, PackingCases, KeyboardCases,
                           PictureCases, ColourCases, IconCases, ShellCases, EncodingCases})
            for (Case& c : table()) cases.push_back(std::move(c));
    }
    for (Case& c : cases)
        if (c.ini) c.ini = IniBytes(*c.ini);
    BeginExport(options, context);
    Ran ran = ready ? RunCases(cases, context, options) : Ran{};
    ExportCases(options, ran, context);
    return Finish(context, runStart, ran.cases.size(), options.keep);
}
