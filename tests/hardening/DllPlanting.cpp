// DLL planting: the launcher started from media holding copies of
// planted.dll named like the DLLs that it or the system load on demand (the
// image decoders, the themes, the shell). Windows resolves every library the
// launcher loads, and what those import, from the system folder; so none of
// the planted copies may be loaded: each leaves "<name>.dll.loaded" beside
// itself when it is.
//
//   dll_planting <trelvo.exe> <probe.exe> --planted=<planted.dll> [--verbose] [--only=TEXT]
//
// The cases are run by the harness (tests/harness/Runner.h) like the
// end-to-end cases, so each is also checked for its window, message box,
// exit code and what it started.
//
// Under Wine, Wine's own GDI+ imports windowscodecs.dll, which imports
// propsys.dll, and Wine resolves that import through the application's
// folder: decoding a PNG loads a planted propsys.dll there. The PNG case
// accepts that under Wine only; the planted gdiplus.dll and
// windowscodecs.dll (the launcher's own load and GDI+'s) must stay unloaded
// everywhere.
#include "harness/Runner.h"

namespace {

using namespace harness;

const std::vector<std::wstring> kPlanted = {L"version", L"uxtheme", L"dwmapi",  L"gdiplus", L"windowscodecs",
                                            L"profapi", L"shell32", L"ole32",   L"msimg32", L"propsys"};

std::vector<Case> PlantingCases()
{
    return {
        {.name = L"dialog mode",
         .ini = IniBytes("[DIALOG]\nShow=True\nPicture=splash.bmp\nIcon=icon.bmp\nCaption=Planted\n"
                         "[BUTTON1]\nShow=True\nCaption=Exit\nAction=exit\n"),
         .files = {{Folder::Media, L"splash.bmp", Bmp(2, 2, RGB(0, 0, 0))},
                   {Folder::Media, L"icon.bmp", Bmp(2, 2, RGB(0, 0, 0))}},
         .planted = kPlanted,
         .splash = Splash{.title = L"Planted", .captions = {L"Exit"}}},
        {.name = L"silent mode",
         .ini = IniBytes("[DIALOG]\nShow=False\nDefaultAction=exit\n"),
         .planted = kPlanted},
        {.name = L"failure message",
         .ini = IniBytes("[DIALOG]\nShow=False\nDefaultAction=no-such-program.exe\n"),
         .planted = kPlanted,
         .exitCode = 3,
         .boxes = {{L"", {L"no-such-program.exe", L"{notfound}"}}}},
        // The picture and the icon are PNGs: GDI+ is loaded on demand to
        // decode them; its pixels on the screen prove it was.
        {.name = L"PNG picture and icon: GDI+ loaded on demand",
         .ini = IniBytes("[DIALOG]\nShow=True\nBackColor=47,31,107\nPicture=splash.png\nIcon=product.png\n"
                         "Caption=Planted Png\n[BUTTON1]\nShow=True\nCaption=Exit\nAction=exit\n"),
         .files = {{Folder::Media, L"splash.png", SplashPng()},
                   {Folder::Media, L"product.png", Png(32, 32, kIconColour)}},
         .planted = kPlanted,
         .wineMayLoad = {L"propsys"},
         .splash = Splash{.title = L"Planted Png",
                          .captions = {L"Exit"},
                          .pixels = AroundPicture(kBack),
                          .mediumIcon = true,
                          .step = Step::Click}},
    };
}

// The planted DLL does leave its mark when something loads it.
bool ControlLoad(const Context& context)
{
    report().currentCase = L"control";
    std::wstring own = context.tempRoot + L"\\plantedcontrol.dll";
    if (!Check(CopyFileW(context.planted.c_str(), own.c_str(), FALSE) != 0, L"copying " + context.planted))
        return false;
    HMODULE loaded = LoadLibraryW(own.c_str());
    bool marked = loaded && Exists(own + L".loaded");
    if (loaded) FreeLibrary(loaded);
    return Check(marked, L"a loaded planted DLL leaves its mark");
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    DWORD runStart = GetTickCount();
    Options options = ParseOptions(argc, argv);
    if (options.positional.size() != 2 || options.planted.empty()) {
        Print(L"usage: dll_planting <trelvo.exe> <probe.exe> --planted=<planted.dll> [--verbose] [--only=TEXT]");
        return 2;
    }
    Context context;
    bool ready = SetUp(options, L"trelvo-planting", context) && ControlLoad(context);
    std::vector<Case> cases = PlantingCases();
    size_t ran = ready ? RunCases(cases, context, options).cases.size() : 0;
    return Finish(context, runStart, ran, options.keep);
}
