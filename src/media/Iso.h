// Building the disc image of a medium with xorriso, and reading it back
// through its Joliet tree, as Windows will, before calling it done.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace trelvo::media {

struct IsoRequest {
    std::filesystem::path medium;  // the folder that becomes the disc's root
    std::filesystem::path output;  // the image file to write
    std::string launcher;          // the launcher's file name on the medium, e.g. setup.exe
    std::string label;             // the volume label, before it is made valid
    bool progress = false;         // show xorriso's progress lines (on a terminal)
};

struct IsoResult {
    bool written = false;                // written and verified
    std::string error;                   // why not, when not
    std::vector<std::string> notes;      // what had to change (volume IDs, label)
    std::vector<std::string> nameErrors; // names the image cannot hold, one a line
    std::uintmax_t imageBytes = 0;
    std::size_t fileCount = 0;
    std::string volumeId;
    bool autorunAdded = false;
};

using LinePrinter = std::function<void(const std::string&)>;

// Writes request.output, or leaves no file there. SOURCE_DATE_EPOCH, when
// set, fixes every date in the image, so the same medium gives the same bytes.
IsoResult BuildIso(const IsoRequest& request, const LinePrinter& progress);

}  // namespace trelvo::media
