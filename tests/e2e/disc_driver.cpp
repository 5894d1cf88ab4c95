// The launcher from a disc: started at the root of a CD-ROM drive, as
// AutoPlay starts it (current directory the drive's root, so the
// configuration file is D:\setup.ini), it shows its splash and a click on
// the first button starts the program on the disc.
//
//   disc_driver <drive root, e.g. D:\> <launcher name> <caption>
//
// The drive is the extracted disc image, mapped by tests/media/disc_tools_test.py.
// Prints one line per failed check and "N passed, N failed".
#include <windows.h>

#include <string>

#include "harness/Launcher.h"
#include "harness/Support.h"

using namespace harness;

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        Print(L"usage: disc_driver <drive root> <launcher name> <caption>");
        return 2;
    }
    const std::wstring root = argv[1], launcher = root + argv[2], caption = argv[3];
    Check(GetDriveTypeW(root.c_str()) == DRIVE_CDROM, L"the disc is a CD-ROM drive: " + root);

    LauncherRun run;
    if (!Check(run.Start(launcher, root), L"the launcher starts from the disc: " + run.error)) return Summary();
    bool splashSeen = false;
    std::wstring unexpected;
    bool ended = run.Watch(60000, [&](HWND window) {
        wchar_t className[64] = {}, title[256] = {};
        GetClassNameW(window, className, 64);
        GetWindowTextW(window, title, 256);
        if (std::wstring(className) == L"TrelvoSplash" && title == caption) {
            splashSeen = true;
            // The first button: its control id is 101.
            PostMessageW(GetDlgItem(window, 101), BM_CLICK, 0, 0);
        } else {
            unexpected = std::wstring(className) + L" \"" + title + L"\"";
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
    });
    Check(splashSeen, L"the splash window \"" + caption + L"\" appears");
    Check(unexpected.empty(), L"no other window: " + unexpected);
    Check(ended, L"the launcher ends after the click");
    CheckEqual(run.ExitCode(), 0, L"the launcher's exit code");
    run.WaitForJob(10000);

    // The probe logs its command line beside its own executable: a log on
    // the disc means the program that ran is the disc's.
    const std::wstring log = root + L"probe.log";
    HANDLE file = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string text;
    if (file != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD read = 0;
        if (ReadFile(file, buffer, sizeof buffer, &read, nullptr)) text.assign(buffer, read);
        CloseHandle(file);
    }
    Check(text.find("probe.exe /from-disc") != std::string::npos,
          L"the button started the disc's probe.exe: log " + Wide(text));
    return Summary();
}
