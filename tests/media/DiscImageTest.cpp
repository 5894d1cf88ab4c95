#include <gtest/gtest.h>

#include "media/DiscImage.h"

namespace trelvo::media {
namespace {

TEST(DiscImage, VolumeIdsFromLabels)
{
    const struct {
        std::string label, iso, joliet;
        size_t notes;
    } cases[] = {
        {"AURORA_3", "AURORA_3", "AURORA_3", 0},
        {"Aurora Notes 3", "AURORA_NOTES_3", "AURORA_NOTES_3", 1},
        {"  Déjà -- Vu!  ", "D_J_VU", "D_J_VU", 1},
        {"Aurora Notes 3 Setup Edition 2026", "AURORA_NOTES_3_SETUP_EDITION_202", "AURORA_NOTES_3_S", 2},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ01234_x", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234", "ABCDEFGHIJKLMNOP", 2},
        {"€€€", "CDROM", "CDROM", 1},
        {"", "CDROM", "CDROM", 1},
    };
    for (const auto& c : cases) {
        VolumeIds ids = MakeVolumeIds(c.label);
        EXPECT_EQ(ids.iso, c.iso) << c.label;
        EXPECT_EQ(ids.joliet, c.joliet) << c.label;
        EXPECT_EQ(ids.notes.size(), c.notes) << c.label;
        EXPECT_LE(ids.iso.size(), 32u);
        EXPECT_EQ(ids.iso.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_"), std::string::npos) << c.label;
    }
}

TEST(DiscImage, AutorunInfIsAsciiOrUtf16WithMark)
{
    std::vector<std::string> notes;
    EXPECT_EQ(MakeAutorunInf("setup.exe", "Aurora Notes 3", notes),
              "[autorun]\r\nopen=setup.exe\r\nicon=setup.exe,0\r\nlabel=Aurora Notes 3\r\n");
    EXPECT_TRUE(notes.empty());

    std::string unicode = MakeAutorunInf("setup.exe", "Déjà Vu", notes);
    ASSERT_GE(unicode.size(), 4u);
    EXPECT_EQ(unicode.substr(0, 4), std::string("\xFF\xFE[\0", 4));
    EXPECT_NE(unicode.find(std::string("D\0\xE9\0j\0\xE0\0", 8)), std::string::npos);
    EXPECT_EQ(unicode.size() % 2, 0u);

    // Windows shows 32 characters of the label; a line break cannot end the line early.
    std::string longLabel = MakeAutorunInf("setup.exe", std::string(40, 'x') + "\nopen=evil.exe", notes);
    EXPECT_NE(longLabel.find("label=" + std::string(32, 'x') + "\r\n"), std::string::npos);
    EXPECT_EQ(longLabel.find("evil"), std::string::npos);
    EXPECT_EQ(notes.size(), 1u);
}

TEST(DiscImage, NamesTheJolietTreeCannotHold)
{
    const struct {
        std::string name;
        bool held;
    } cases[] = {
        {"setup.exe", true},
        {"Überblick – Ärger.txt", true},
        {std::string(99, 'a') + ".txt", true},
        {std::string(100, 'a') + ".txt", false},
        {std::string(50, 'a') + "\xC3\xA4" + std::string(52, 'b'), true},  // 103 characters in 104 bytes
        {"what?.txt", false},
        {"a:b", false},
        {"semi;colon", false},
        {"star*", false},
        {"back\\slash", false},
        {"tab\there", false},
        {"emoji \xF0\x9F\x98\x80.txt", false},
        {"broken \xC3.txt", false},
    };
    for (const auto& c : cases) EXPECT_EQ(!JolietNameProblem(c.name).has_value(), c.held) << c.name;
}

}  // namespace
}  // namespace trelvo::media
