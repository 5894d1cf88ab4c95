// The launcher's one window object. Its event procedures and operations carry
// all of the launcher's logic; their code is grouped by concern:
//   src/config  - ReadIniValue, WriteIniValue, RgbToHexColor (ConfigFile.cpp, Colour.cpp)
//   src/launch  - Form_Initialize, LoadButtons, DoAction      (Startup.cpp, Buttons.cpp, Action.cpp)
//   src/window  - the dressing steps, the layout, Button_Click, Form_Unload (Splash.cpp)
// The host (src/platform) is the only way out to the machine.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Host.h"

namespace trelvo {

// What start-up tells the platform to do next. Every other way out of
// start-up ends the program inside it.
enum class StartupResult {
    ShowWindow,  // dialog mode: the window is dressed; show it and run its event loop
    Ended,       // start-up did not finish (only where ending the program comes back: the tests)
};

class frmSplash final : public WindowEvents {
public:
    static constexpr int kButtons = 5;

    explicit frmSplash(Host& host) : host_(host) {}
    frmSplash(const frmSplash&) = delete;
    frmSplash& operator=(const frmSplash&) = delete;

    // Event procedures. The platform reaches them through Start() and the
    // WindowEvents callbacks, which apply the rule for unchecked failures.
    StartupResult Form_Initialize();
    void Button_Click(int index);
    void Form_Unload();

    // Runs one event procedure; an unchecked failure inside it is reported in
    // one stop-icon message box and ends the process (RunChecked).
    template <typename Event>
    void Run(Event&& event)
    {
        RunChecked(host_, event);
    }

    // Runs start-up (Form_Initialize) and says what comes next.
    StartupResult Start()
    {
        StartupResult next = StartupResult::Ended;
        Run([&] { next = Form_Initialize(); });
        return next;
    }

    // Read access for the tests and the platform.
    const std::wstring& IniFile() const { return IniFile_; }
    const std::wstring& ButtonAction(int index) const { return ButtonAction_.at(size_t(index)); }
    std::int16_t ButtonCount() const { return ButtonCount_; }

    // Operations (public so that tests can drive each one alone).
    std::wstring ReadIniValue(const std::wstring& file, const std::wstring& section,
                              const std::wstring& key, const std::wstring& fallback);
    void WriteIniValue(const std::wstring& file, const std::wstring& section,
                       const std::wstring& key, const std::wstring& value);
    static std::wstring RgbToHexColor(const std::wstring& text);
    std::int16_t LoadButtons();
    [[noreturn]] void DoAction(const std::wstring& action);

private:
    void ButtonClicked(int index) override { Run([&] { Button_Click(index); }); }
    void WindowClosing() override { Run([&] { Form_Unload(); }); }

    // A "Show" key converted as a boolean text; a failure names where it stood.
    bool ReadIniBoolean(const std::wstring& section, const std::wstring& key);
    void ApplyBackColor();
    void ApplyPicture();
    void ApplyIcon();
    void ApplyCaption();
    void LayOutButtons(std::int16_t count);
    SplashWindow& Window() { return host_.Window(*this); }

    Host& host_;
    std::wstring IniFile_;
    std::array<std::wstring, kButtons> ButtonAction_{};
    std::int16_t ButtonCount_ = 0;
};

}  // namespace trelvo
