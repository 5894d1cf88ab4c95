// The start-up sequence: find the configuration file, then either run the
// default action (silent mode) or load and dress the splash window.
#include "window/frmSplash.h"

namespace trelvo {

StartupResult frmSplash::Form_Initialize()
{
    // The configuration file is the current directory's file named after the
    // executable. A drive root already ends in a separator; no second one.
    std::wstring directory = host_.CurrentDirectory();
    if (directory.empty() || directory.back() != L'\\') directory += L'\\';
    IniFile_ = directory + host_.ExecutableBaseName() + L".ini";

    if (!host_.FileExists(IniFile_))
        host_.EndProgram(ExitCode::MissingConfiguration,
                         IniFile_ + L" doesn't exist. INI filename must be the same as EXE filename.");

    if (!ReadIniBoolean(L"DIALOG", L"Show")) DoAction(ReadIniValue(IniFile_, L"DIALOG", L"DefaultAction", L""));

    ButtonCount_ = LoadButtons();
    ApplyBackColor();
    ApplyPicture();
    ApplyIcon();
    ApplyCaption();
    LayOutButtons(ButtonCount_);
    return StartupResult::ShowWindow;
}

}  // namespace trelvo
