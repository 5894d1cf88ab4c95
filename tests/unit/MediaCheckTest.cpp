#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "media/MediaCases.h"

namespace trelvo {
namespace {

TEST(MediaCheck, TableOfMedia)
{
    for (const auto& c : testing::MediaCases())
        for (const std::string& failure : testing::RunMediaCase(c)) ADD_FAILURE() << failure;
}

}  // namespace
}  // namespace trelvo

namespace trelvo {
namespace {

// MEDIUM given as a drive root ("D:\") keeps its one separator in the
// launcher's texts, and the INI is still found and read.
TEST(MediaCheck, MediumGivenAsADriveRoot)
{
    namespace fs = std::filesystem;
    fs::path root = fs::temp_directory_path() / ("trelvo-media-root-" + std::to_string(std::random_device{}()));
    fs::create_directories(root);
    std::ofstream(root / "setup.ini", std::ios::binary) << "[DIALOG]\r\nShow=Tru\r\n";
    media::CheckOptions options;
    options.medium = root;
    options.mediumText = L"D:\\";
    options.exe = L"setup.exe";
    media::CheckOutcome outcome = media::CheckMedium(options);
    fs::remove_all(root);
    ASSERT_TRUE(outcome.report);
    const media::DryRun& run = outcome.report->run;
    ASSERT_TRUE(run.stop);
    EXPECT_NE(run.stop->text.find(L"of D:\\setup.ini holds \"Tru\""), std::wstring::npos);
    ASSERT_EQ(outcome.report->findings.size(), 1u);
    EXPECT_EQ(outcome.report->findings[0].code, "show-not-boolean");
    EXPECT_EQ(outcome.report->findings[0].line, 2);
}

}  // namespace
}  // namespace trelvo
