// The media tool's Linux-only commands, which drive Debian's tools: preview
// (the real launcher under Wine), iso (xorriso) and sign (osslsigncode).
#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace trelvo::media {

struct DiscCommands {
    CLI::App* preview = nullptr;
    CLI::App* iso = nullptr;
    CLI::App* sign = nullptr;

    std::string medium, output, exe, launcher, label;
    int dpi = 96;
    bool keepOpen = false, force = false;
    std::string executable, pfx, passwordFile, trustedCa, name, url, timestamp;
};

void AddDiscCommands(CLI::App& app, DiscCommands& commands);

// The exit status of the command that was parsed, or nothing when none of
// these was.
std::optional<int> RunDiscCommand(const DiscCommands& commands);

}  // namespace trelvo::media
