// The splash window's built-in design, in twips (1/1440 inch; 15 twips make
// one pixel at 96 dots per inch). Only the platform window converts to pixels.
#pragma once

namespace trelvo::design {

constexpr int kClientWidth = 7215;
constexpr int kClientHeight = 5175;

constexpr int kButtonCount = 5;
constexpr int kButtonWidth = 1395;
constexpr int kButtonHeight = 495;
constexpr int kButtonTop = 4560;
constexpr int kButtonLeft[kButtonCount] = {30, 1470, 2910, 4350, 5790};
constexpr wchar_t kButtonCaption[] = L"Command1";

// Control ids of the buttons: Button(k) is kFirstButtonId + k, so tools and
// tests outside the process can find each one.
constexpr int kFirstButtonId = 101;

}  // namespace trelvo::design
