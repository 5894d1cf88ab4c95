// Baseline: a GUI program that returns at once. Its time to end is the floor
// of a process start on the machine.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return 0;
}
