// The rules of the disc image that are plain text work: the volume IDs made
// from a label, the autorun.inf added to the image, and which file names the
// Joliet tree (the one Windows reads) can hold.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace trelvo::media {

// The ISO 9660 volume ID: at most 32 of A-Z, 0-9 and "_". The Joliet tree
// shows the first 16 characters of it. Notes say what had to change.
struct VolumeIds {
    std::string iso;
    std::string joliet;
    std::vector<std::string> notes;
};
VolumeIds MakeVolumeIds(const std::string& labelUtf8);

// The text of the autorun.inf added when the medium has none: open= and
// icon= name the launcher, label= the label (at most 32 characters, which is
// what Windows shows). Plain ASCII when the label is; otherwise UTF-16 LE
// with a byte-order mark. Notes say what had to change.
std::string MakeAutorunInf(const std::string& launcher, const std::string& labelUtf8,
                           std::vector<std::string>& notes);

// Why a file or folder name cannot stand in the Joliet tree, or nothing when
// it can: at most 103 UTF-16 characters, none outside the Basic Multilingual
// Plane, no control characters and none of * / : ; ? \ (nor invalid UTF-8).
std::optional<std::string> JolietNameProblem(const std::string& nameUtf8);

}  // namespace trelvo::media
