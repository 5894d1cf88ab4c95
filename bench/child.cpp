// The program the silent-mode runs start: it tells the driver it is running
// by setting the driver's named event, then ends.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    if (HANDLE running = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\TrelvoBenchChild")) {
        SetEvent(running);
        CloseHandle(running);
    }
    return 0;
}
