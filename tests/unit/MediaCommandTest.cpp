// trelvo-media as a product team runs it: arguments, bad input, exit
// statuses, the JSON document's shape, and that it writes nothing.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "media/MediaCases.h"

namespace trelvo {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;  // standard output and standard error
};

Result RunChecker(const std::string& arguments)
{
    Result result;
    std::string command = std::string(TRELVO_MEDIA_EXE) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer;
    for (size_t got; (got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) result.out.append(buffer.data(), got);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class Folder {
public:
    Folder() : path_(fs::temp_directory_path() / ("trelvo-media-cmd-" + std::to_string(std::random_device{}()))) { fs::create_directories(path_); }
    ~Folder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    std::string arg() const { return "'" + path_.string() + "'"; }
    void Put(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path_ / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }

private:
    fs::path path_;
};

const std::string kSound = "[DIALOG]\r\nShow=1\r\nCaption=Product Setup\r\nPicture=splash.bmp\r\n"
                           "[BUTTON1]\r\nShow=1\r\nCaption=&Install\r\nAction=setup.exe /s\r\n";

TEST(MediaCommand, BadInputGivesAClearMessageAndStatus)
{
    Folder medium;
    medium.Put("setup.exe", "MZ");
    medium.Put("setup.ini", kSound);
    medium.Put("a.txt", "text");
    fs::create_directory(medium.path() / "splash.bmp");  // the picture is a folder
    Folder empty;
    Folder two;
    two.Put("one.exe", "MZ");
    two.Put("two.exe", "MZ");
    const struct {
        const char* name;
        std::string arguments;
        int status;
        const char* says;
    } cases[] = {
        {"no arguments", "", 2, "A subcommand is required"},
        {"no MEDIUM", "check", 2, "MEDIUM is required"},
        {"unknown option", "check " + medium.arg() + " --colour", 2, "--colour"},
        {"missing folder", "check " + medium.arg() + "/nothing", 2, "no such folder"},
        {"a file as MEDIUM", "check " + medium.arg() + "/a.txt", 2, "not a folder"},
        {"no launcher", "check " + empty.arg(), 2, "holds no .exe"},
        {"two programs", "check " + two.arg(), 2, "one.exe, two.exe"},
        {"--exe with a folder", "check " + medium.arg() + " --exe bin/setup.exe", 2, "file name"},
        {"code page out of range", "check " + medium.arg() + " --codepage 70000", 2, "--codepage"},
        {"code page unknown", "check " + medium.arg() + " --codepage 4242", 2, "code page 4242"},
        {"picture that is a folder", "check " + medium.arg(), 1, "setup.ini:4: error: \"splash.bmp\" is a folder"},
        {"help", "check --help", 0, "--strict"},
    };
    for (const auto& c : cases) {
        Result result = RunChecker(c.arguments);
        EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.out;
        EXPECT_NE(result.out.find(c.says), std::string::npos) << c.name << "\n" << result.out;
    }
}

TEST(MediaCommand, IniThatCannotBeRead)
{
    Folder outside;
    outside.Put("secret.ini", "[DIALOG]\r\nShow=0\r\nDefaultAction=exit\r\n");
    Folder medium;
    medium.Put("setup.exe", "MZ");
    // A link out of the medium is never followed; a FIFO is never opened.
    fs::create_symlink(outside.path() / "secret.ini", medium.path() / "setup.ini");
    Result link = RunChecker("check " + medium.arg());
    EXPECT_EQ(link.status, 1) << link.out;
    EXPECT_NE(link.out.find("link that leads out of the medium"), std::string::npos) << link.out;

    fs::remove(medium.path() / "setup.ini");
    ASSERT_EQ(mkfifo((medium.path() / "setup.ini").c_str(), 0600), 0);
    Result fifo = RunChecker("check " + medium.arg());
    EXPECT_EQ(fifo.status, 1) << fifo.out;
    EXPECT_NE(fifo.out.find("[ini-missing]"), std::string::npos) << fifo.out;

    fs::remove(medium.path() / "setup.ini");
    medium.Put("setup.ini", kSound);
    fs::permissions(medium.path() / "setup.ini", fs::perms::none);
    if (access((medium.path() / "setup.ini").c_str(), R_OK) != 0) {  // not when run as root
        Result denied = RunChecker("check " + medium.arg());
        EXPECT_EQ(denied.status, 1) << denied.out;
        EXPECT_NE(denied.out.find("[ini-unreadable]"), std::string::npos) << denied.out;
    }
}

TEST(MediaCommand, LargeIniAndPicture)
{
    Folder medium;
    medium.Put("setup.exe", "MZ");
    std::string ini = kSound;
    while (ini.size() < 5u << 20) ini += "; filler comment line of a generated file, repeated many times over\r\n";
    medium.Put("setup.ini", ini);
    medium.Put("splash.bmp", testing::Bmp(1600, 1200));  // about 5.8 MB
    Result result = RunChecker("check " + medium.arg());
    EXPECT_EQ(result.status, 0) << result.out;
    EXPECT_NE(result.out.find("[ini-large]"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("1600 x 1200"), std::string::npos) << result.out;
}

TEST(MediaCommand, JsonShapeStrictAndNothingWritten)
{
    Folder medium;
    medium.Put("setup.exe", "MZ");
    medium.Put("setup.ini", kSound + "Colour=red\r\n");
    medium.Put("splash.bmp", testing::Bmp(481, 297));
    auto snapshot = [&] {
        std::map<std::string, std::pair<std::uintmax_t, fs::file_time_type>> files;
        for (const auto& entry : fs::recursive_directory_iterator(medium.path()))
            files[entry.path().string()] = {entry.is_regular_file() ? entry.file_size() : 0, entry.last_write_time()};
        return files;
    };
    auto before = snapshot();

    Result result = RunChecker("check " + medium.arg() + " --json");
    EXPECT_EQ(result.status, 0) << result.out;
    nlohmann::ordered_json doc = nlohmann::ordered_json::parse(result.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << result.out;
    std::vector<std::string> keys;
    for (const auto& item : doc.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"medium", "launcher", "ini", "errors", "warnings", "findings", "run"}));
    EXPECT_EQ(doc["launcher"], "setup.exe");
    EXPECT_EQ(doc["warnings"], 1);
    ASSERT_EQ(doc["findings"].size(), 1u);
    const auto& finding = doc["findings"][0];
    EXPECT_EQ(finding["code"], "unknown-key");
    EXPECT_EQ(finding["severity"], "warning");
    EXPECT_EQ(finding["file"], "setup.ini");
    EXPECT_EQ(finding["line"], 9);
    EXPECT_EQ(finding["section"], "BUTTON1");
    EXPECT_EQ(finding["key"], "Colour");
    const auto& run = doc["run"];
    EXPECT_EQ(run["mode"], "dialog");
    EXPECT_TRUE(run["stop"].is_null());
    EXPECT_TRUE(run["start"].is_null());
    EXPECT_EQ(run["window"]["back_color"], "0x00000000");
    EXPECT_TRUE(run["window"]["icon"].is_null());
    EXPECT_EQ(run["window"]["picture"], (nlohmann::ordered_json{{"path", "splash.bmp"}, {"width", 481}, {"height", 297}}));
    EXPECT_EQ(run["window"]["buttons"][0],
              (nlohmann::ordered_json{{"slot", 0}, {"section", "BUTTON1"}, {"caption", "&Install"}, {"action", "setup.exe /s"},
                                      {"left_twips", 2910}, {"left_px", 194}}));

    EXPECT_EQ(RunChecker("check " + medium.arg() + " --strict").status, 1);
    EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace trelvo
