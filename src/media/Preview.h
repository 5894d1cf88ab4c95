// Photographing the real launcher on a copy of a medium under Wine: what a
// user sees first, the splash window or the message it stops with.
#pragma once

#include <filesystem>
#include <string>

namespace trelvo::media {

struct PreviewRequest {
    std::filesystem::path medium;    // copied, never changed
    std::filesystem::path launcher;  // the executable to run (the medium's own, or a fresh build)
    std::string launcherName;        // its file name on the medium, e.g. setup.exe
    std::filesystem::path output;    // the PNG to write
    int dpi = 96;
    // What the checker's dry run predicts: the window's caption, or the
    // message's title, so the right window is photographed.
    bool expectMessage = false;
    std::string expectedTitle;
    bool keepOpen = false;           // leave the window up until the user closes it
};

enum class PreviewOutcome { Splash, Message, Failed };

struct PreviewResult {
    PreviewOutcome outcome = PreviewOutcome::Failed;
    std::string title;   // the photographed window's title
    std::string error;   // why it failed (Wine, the display, the launcher)
    int width = 0, height = 0;
};

PreviewResult RunPreview(const PreviewRequest& request);

// The Wine prefix the preview uses (kept between runs): TRELVO_WINEPREFIX,
// else the cache folder's trelvo/wine-preview.
std::filesystem::path PreviewWinePrefix();

}  // namespace trelvo::media
