#include "media/Iso.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <system_error>

#include "config/TextConversions.h"
#include "config/Utf8.h"
#include "media/DiscImage.h"
#include "media/Subprocess.h"

namespace fs = std::filesystem;

namespace trelvo::media {
namespace {

// What the image must hold: each file's path (with "/" between folders) and
// where its bytes come from; each folder's path.
struct Tree {
    std::map<std::string, fs::path> files;
    std::set<std::string> folders;
};

std::string Relative(const fs::path& path, const fs::path& root)
{
    return path.lexically_relative(root).generic_string();
}

// Walks the medium without following links, collecting what the image will
// hold and every name it cannot.
Tree CollectTree(const fs::path& medium, IsoResult& result)
{
    Tree tree;
    std::map<std::string, std::map<std::wstring, std::string>> foldedNames;  // folder -> folded name -> name
    std::error_code error;
    fs::recursive_directory_iterator walk(medium, fs::directory_options::none, error), end;
    if (error) {
        result.nameErrors.push_back(medium.string() + ": " + error.message());
        return tree;
    }
    for (; walk != end; walk.increment(error)) {
        if (error) {
            result.nameErrors.push_back(Relative(walk->path(), medium) + ": " + error.message());
            break;
        }
        const fs::path& path = walk->path();
        std::string relative = Relative(path, medium);
        std::string name = path.filename().string();
        if (std::optional<std::string> problem = JolietNameProblem(name))
            result.nameErrors.push_back(relative + ": " + *problem);
        // Windows finds names in any letter case: two that differ only in
        // case would hide one another.
        std::wstring folded = ToLowerCase(FromUtf8(name));
        std::string parent = Relative(path.parent_path(), medium);
        auto [at, fresh] = foldedNames[parent].emplace(folded, name);
        if (!fresh)
            result.nameErrors.push_back(relative + ": differs from \"" + at->second +
                                        "\" only in letter case; Windows would show only one of them");
        fs::file_status status = walk->symlink_status(error);
        if (fs::is_symlink(status)) {
            result.nameErrors.push_back(relative + ": is a symbolic link; the Joliet tree cannot hold links "
                                        "(copy the file itself onto the medium)");
        } else if (fs::is_directory(status)) {
            tree.folders.insert(relative);
        } else if (fs::is_regular_file(status)) {
            tree.files.emplace(relative, path);
        } else {
            result.nameErrors.push_back(relative + ": is not a file or a folder");
        }
    }
    return tree;
}

// A temporary folder removed with everything in it, whatever the modes
// that extraction gave its contents.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const fs::path& near)
    {
        std::string pattern = (near / ".trelvo-media-XXXXXX").string();
        if (char* made = ::mkdtemp(pattern.data())) path_ = made;
    }
    ~TemporaryFolder()
    {
        if (path_.empty()) return;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(path_, error); !error && it != fs::recursive_directory_iterator();
             it.increment(error))
            if (it->is_directory(error)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(path_, error);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

bool SameBytes(const fs::path& a, const fs::path& b)
{
    std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
    if (!first || !second) return false;
    char x[65536], y[65536];
    for (;;) {
        first.read(x, sizeof x);
        second.read(y, sizeof y);
        if (first.gcount() != second.gcount()) return false;
        if (first.gcount() == 0) return true;
        if (std::char_traits<char>::compare(x, y, size_t(first.gcount())) != 0) return false;
    }
}

std::vector<std::string> Xorriso(std::initializer_list<std::string> arguments)
{
    // No start-up file of the user's may change what is written; any
    // problem of SORRY weight or worse fails the run.
    std::vector<std::string> line = {"xorriso", "-no_rc", "-abort_on", "FAILURE", "-return_with", "SORRY", "32"};
    line.insert(line.end(), arguments);
    return line;
}

std::string LastLines(const std::string& output)
{
    std::string text = output;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    size_t at = text.size();
    for (int lines = 0; lines < 4 && at != std::string::npos && at > 0; ++lines) at = text.rfind('\n', at - 1);
    return at == std::string::npos ? text : text.substr(at + 1);
}

// Reads the image back: recorded checksums first, then every file through
// the Joliet names, compared with what should be there.
std::string Verify(const fs::path& image, const Tree& expected, const fs::path& scratch)
{
    RunResult checked = RunProgram(Xorriso({"-report_about", "SORRY", "-md5", "on", "-indev", "stdio:" + image.string(),
                                            "-check_md5_r", "FAILURE", "/", "--"}));
    if (checked.exitStatus != 0) return "the image's recorded checksums do not match:\n" + LastLines(checked.output);

    fs::path readBack = scratch / "joliet";
    RunResult extracted = RunProgram(Xorriso({"-report_about", "SORRY", "-rockridge", "off", "-joliet", "on",
                                              "-osirrox", "on:auto_chmod_on", "-indev", "stdio:" + image.string(),
                                              "-extract", "/", readBack.string()}));
    if (extracted.exitStatus != 0) return "the image cannot be read back:\n" + LastLines(extracted.output);

    std::set<std::string> seenFiles, seenFolders;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(readBack, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        std::string relative = Relative(it->path(), readBack);
        if (it->is_directory(error)) seenFolders.insert(relative);
        else seenFiles.insert(relative);
    }
    if (error) return "the image cannot be read back: " + error.message();
    for (const auto& [relative, source] : expected.files) {
        if (!seenFiles.count(relative)) return relative + " is missing from the image's Joliet tree";
        if (!SameBytes(source, readBack / relative)) return relative + " reads back different from the medium";
    }
    for (const std::string& relative : expected.folders)
        if (!seenFolders.count(relative)) return "the folder " + relative + " is missing from the image's Joliet tree";
    for (const std::string& relative : seenFiles)
        if (!expected.files.count(relative)) return relative + " is in the image but not on the medium";
    return {};
}

}  // namespace

IsoResult BuildIso(const IsoRequest& request, const LinePrinter& progress)
{
    IsoResult result;
    std::error_code error;
    fs::path medium = fs::absolute(request.medium, error).lexically_normal();
    fs::path output = fs::absolute(request.output, error).lexically_normal();
    std::string inside = Relative(output, medium);
    if (!inside.empty() && inside.rfind("..", 0) != 0) {
        result.error = "the image " + request.output.string() + " would be written inside the medium";
        return result;
    }
    if (!ProgramAvailable("xorriso")) {
        result.error = "xorriso is not installed (Debian package xorriso)";
        return result;
    }

    Tree tree = CollectTree(medium, result);
    if (!result.nameErrors.empty()) {
        result.error = "the image cannot hold these names";
        return result;
    }

    fs::path outputFolder = output.parent_path();
    TemporaryFolder scratch(outputFolder);
    if (scratch.path().empty()) {
        result.error = "cannot make a work folder in " + outputFolder.string();
        return result;
    }

    VolumeIds ids = MakeVolumeIds(request.label);
    result.volumeId = ids.iso;
    result.notes = ids.notes;

    std::vector<std::string> line = Xorriso({"-report_about", request.progress ? "UPDATE" : "SORRY"});
    fs::path partial = output;
    partial += ".partial";
    fs::remove(partial, error);
    line.insert(line.end(), {"-outdev", "stdio:" + partial.string(), "-blank", "as_needed", "-volid", ids.iso,
                             "-joliet", "on", "-rockridge", "on", "-compliance",
                             "iso_9660_level=3:joliet_long_names:joliet_long_paths", "-md5", "on",
                             "-map", medium.string(), "/"});
    bool hasAutorun = false;
    for (const auto& [relative, source] : tree.files)
        hasAutorun = hasAutorun || (relative.find('/') == std::string::npos && ToLowerCase(FromUtf8(relative)) == L"autorun.inf");
    if (!hasAutorun) {
        fs::path autorun = scratch.path() / "autorun.inf";
        std::ofstream(autorun, std::ios::binary) << MakeAutorunInf(request.launcher, request.label, result.notes);
        line.insert(line.end(), {"-map", autorun.string(), "/autorun.inf"});
        tree.files.emplace("autorun.inf", autorun);
        result.autorunAdded = true;
    }
    // Owner, group and modes as a disc reader expects them, whoever built it.
    line.insert(line.end(), {"-chown_r", "0", "/", "--", "-chgrp_r", "0", "/", "--", "-chmod_r", "go-w,a+r", "/", "--"});
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch)
        line.insert(line.end(), {"-volume_date", "all_file_dates", std::string("=") + epoch});
    line.push_back("-commit");

    RunOptions options;
    if (request.progress && progress)
        options.onLine = [&](const std::string& text) {
            if (text.find(": UPDATE :") != std::string::npos) progress(text.substr(text.find(": UPDATE :") + 11));
        };
    RunResult written = RunProgram(line, options);
    if (written.exitStatus != 0) {
        fs::remove(partial, error);
        result.error = written.started ? "xorriso failed:\n" + LastLines(written.output) : written.startError;
        return result;
    }

    if (std::string problem = Verify(partial, tree, scratch.path()); !problem.empty()) {
        fs::remove(partial, error);
        result.error = "the image did not read back as the medium: " + problem;
        return result;
    }
    fs::rename(partial, output, error);
    if (error) {
        fs::remove(partial, error);
        result.error = "cannot write " + request.output.string() + ": " + error.message();
        return result;
    }
    result.written = true;
    result.imageBytes = fs::file_size(output, error);
    result.fileCount = tree.files.size();
    return result;
}

}  // namespace trelvo::media
