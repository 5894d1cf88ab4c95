// Window inspection from outside the launcher: its windows, the screen's
// pixels, its message boxes and its splash window against the layout table.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace harness {

// ---------------------------------------------------------------------------
// Windows and the screen

std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);
std::vector<HWND> TopLevelWindows(DWORD processId);
std::vector<HWND> Children(HWND parent);
RECT RectInClient(HWND child, HWND parent);
HWND FocusOf(HWND window);
void PostKey(HWND target, UINT key);

// The pixels of a screen rectangle, row by row.
std::vector<COLORREF> Capture(const RECT& area);
COLORREF ClientPixel(HWND window, int x, int y);
bool Near(COLORREF actual, COLORREF expected, int tolerance);

// ---------------------------------------------------------------------------
// Message boxes

// An expected message box.
struct Box {
    std::wstring exact;                  // the whole text; empty: not compared
    std::vector<std::wstring> contains;  // pieces the text must hold
};

// What a message box shows.
struct SeenBox {
    std::wstring title, text;
    int buttons = 0;          // visible buttons
    std::wstring buttonText;  // the caption of the last visible one
    int redPixels = 0, iconPixels = 0;

    // The stop icon is a red disc: many strongly red pixels, which the
    // information, question and warning icons don't have.
    bool StopIcon() const { return iconPixels > 0 && redPixels * 5 >= iconPixels; }
};

SeenBox ReadBox(HWND box);
void PressOk(HWND box);

// ---------------------------------------------------------------------------
// The splash window

constexpr COLORREF kBack = RGB(47, 31, 107);
constexpr COLORREF kPictureColour = RGB(200, 180, 20);
constexpr COLORREF kIconColour = RGB(255, 0, 255);
// The small splash picture most cases use, drawn at 96 DPI.
constexpr int kPictureWidth = 50, kPictureHeight = 40;

// The design in twips; a length in pixels is twips * DPI / 1440, rounded.
constexpr int kClientWidth = 7215, kClientHeight = 5175;
constexpr int kButtonWidth = 1395, kButtonHeight = 495, kButtonTop = 4560;
constexpr int kFirstButtonId = 101;
// Left edges by the number of buttons shown.
constexpr int kLefts[6][5] = {
    {}, {2910}, {2910, 5790}, {30, 2910, 5790}, {30, 1950, 3870, 5790}, {30, 1470, 2910, 4350, 5790},
};
inline int Pixels(int dpi, int twips) { return MulDiv(twips, dpi, 1440); }

// What the driver does to the shown splash window.
enum class Step {
    Close,     // WM_CLOSE
    CloseBox,  // the system menu's Close (SC_CLOSE), as the close box sends it
    Escape,    // the Escape key on the focused control
    Click,     // BM_CLICK on the kept button `slot`
    TabEnter,  // Tab (at least once) until `slot` has the focus, then Enter
    TabSpace,  // the same, then Space
};

// A pixel of the client area, sampled on the screen.
struct Pixel {
    int x, y;
    COLORREF colour;
    int tolerance;
    const wchar_t* where;
};

struct Splash {
    std::wstring title;
    std::vector<std::wstring> captions;  // the kept buttons' captions, slot by slot
    std::vector<Pixel> pixels;
    bool mediumIcon = false;  // the medium's icon (kIconColour) shows in the title bar
    Step step = Step::Close;
    int slot = 0;
};

// Where the picture and the background meet: the picture at the top left
// at its own size, the background colour right of it and below it.
std::vector<Pixel> AroundPicture(COLORREF back);

// Title, size, buttons, pixels and icon of the shown window against the
// layout table, then the step that closes it or presses a button.
void InspectSplash(HWND splash, const Splash& expected, int dpi);

}  // namespace harness
