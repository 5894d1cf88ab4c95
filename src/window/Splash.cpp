// Dressing the splash window from the DIALOG section, the button layout
// table, and the window's two events.
#include "config/TextConversions.h"
#include "window/Design.h"
#include "window/frmSplash.h"

namespace trelvo {
namespace {

// One cell of the layout table: hidden, shown at its design left edge, or
// moved to a new left edge (twips) and shown.
struct LayoutCell {
    enum Kind { Hidden, Design, Move } kind;
    int left;
};

constexpr LayoutCell H{LayoutCell::Hidden, 0};
constexpr LayoutCell D{LayoutCell::Design, 0};
constexpr LayoutCell At(int left) { return {LayoutCell::Move, left}; }

// Rows by the number of loaded buttons; columns Button(0) to Button(4).
// One button stands in the middle; two in the middle and on the right; three
// left, middle and right; four on a 1920-twip step; five keep the design row.
constexpr LayoutCell kLayout[6][design::kButtonCount] = {
    {H, H, H, H, H},
    {At(2910), H, H, H, H},
    {At(2910), At(5790), H, H, H},
    {D, At(2910), At(5790), H, H},
    {D, At(1950), At(3870), At(5790), H},
    {D, D, D, D, At(5790)},
};

}  // namespace

void frmSplash::ApplyBackColor()
{
    std::wstring text = ReadIniValue(IniFile_, L"DIALOG", L"BackColor", L"");
    std::wstring where = L"The key \"BackColor\" in section [DIALOG] of " + IniFile_ + L" holds \"" + text + L"\".\n\n";
    std::wstring number;
    try {
        number = RgbToHexColor(text);
    } catch (const UncheckedFailure& failure) {
        throw UncheckedFailure(where + failure.Message());
    }
    std::optional<std::int32_t> colour = ParseNumber(number);
    if (!colour)
        throw UncheckedFailure(where + L"\"" + number + L"\" is not a colour: write red,green,blue "
                               L"(for example 47,31,107), &HBBGGRR or a decimal number.");
    Window().SetBackColor(static_cast<std::uint32_t>(*colour));
}

void frmSplash::ApplyPicture()
{
    std::wstring path = ReadIniValue(IniFile_, L"DIALOG", L"Picture", L"");
    if (!host_.FileExists(path)) host_.EndProgram(ExitCode::MissingPicture, L"Couldn't find splash screen picture - " + path);
    Window().SetPicture(host_.LoadPicture(path));
}

void frmSplash::ApplyIcon()
{
    std::wstring path = ReadIniValue(IniFile_, L"DIALOG", L"Icon", L"");
    if (host_.FileExists(path)) Window().SetIcon(host_.LoadIcon(path));
}

void frmSplash::ApplyCaption()
{
    Window().SetCaption(ReadIniValue(IniFile_, L"DIALOG", L"Caption", L""));
}

void frmSplash::LayOutButtons(std::int16_t count)
{
    if (count < 0 || count > kButtons) return;
    SplashWindow& window = Window();
    for (int index = 0; index < kButtons; ++index) {
        const LayoutCell& cell = kLayout[count][index];
        if (cell.kind == LayoutCell::Move) window.SetButtonLeft(index, cell.left);
        window.SetButtonVisible(index, cell.kind != LayoutCell::Hidden);
    }
}

void frmSplash::Button_Click(int index)
{
    if (index < 0 || index >= kButtons) return;
    DoAction(ButtonAction_[size_t(index)]);
}

void frmSplash::Form_Unload()
{
    host_.EndProgram(ExitCode::Success);
}

}  // namespace trelvo
