// Fuzzes the medium checker over a real folder: the fuzzed bytes become the
// medium's setup.ini, its splash picture and its icon.
//
// Input: the INI file's bytes, then optionally NUL and the picture's bytes
// (written as splash.bmp, whatever they hold), then optionally NUL and the
// icon's bytes (product.ico). Without a NUL there is no picture; without a
// second one, no icon.
//
// Checked: every input ends in a report (never a usage error, a crash or a
// hang); both outputs render and the JSON parses back with the counts it
// states; a launcher that would stop is reported with at least one error,
// and then shows no window; dialog mode without a stop has its window; and
// the medium's files are exactly as they were written (the checker writes
// nothing).
#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "media/Check.h"
#include "media/Report.h"

namespace {

namespace fs = std::filesystem;
using namespace trelvo::media;

const fs::path& Folder()
{
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "trelvo-fuzz-checker.XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        return fs::path(pattern);
    }();
    return folder;
}

void Put(const fs::path& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string Get(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size), ini = rest, picture, icon;
    bool hasPicture = trelvo::fuzz::TakeField(rest, ini);
    bool hasIcon = hasPicture && trelvo::fuzz::TakeField(rest, picture);
    if (hasPicture && !hasIcon) picture = rest;
    if (hasIcon) icon = rest;

    const fs::path& folder = Folder();
    std::error_code ignored;
    for (const char* name : {"splash.bmp", "product.ico"}) fs::remove(folder / name, ignored);
    Put(folder / "setup.ini", ini);
    if (hasPicture) Put(folder / "splash.bmp", picture);
    if (hasIcon) Put(folder / "product.ico", icon);

    CheckOptions options;
    options.medium = folder;
    options.mediumText = L"D:\\";
    options.exe = L"setup.exe";
    CheckOutcome outcome = CheckMedium(options);
    FUZZ_REQUIRE(outcome.report.has_value());
    const CheckReport& report = *outcome.report;

    FUZZ_REQUIRE(!TextReport(report).empty());
    nlohmann::json json = nlohmann::json::parse(JsonReport(report), nullptr, false);
    FUZZ_REQUIRE(!json.is_discarded());
    FUZZ_REQUIRE(json["errors"] == report.Count(Severity::Error));
    FUZZ_REQUIRE(json["findings"].size() == report.findings.size());

    const DryRun& run = report.run;
    if (run.stop) {
        FUZZ_REQUIRE(report.Count(Severity::Error) > 0);
        FUZZ_REQUIRE(!run.window);
    }
    if (run.mode == "dialog" && !run.stop) FUZZ_REQUIRE(run.window.has_value());
    if (run.mode == "silent") FUZZ_REQUIRE(!run.window && (run.start || run.stop));

    // Nothing written: the folder holds exactly what this input put there.
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        (void)entry;
        ++files;
    }
    FUZZ_REQUIRE(files == 1u + hasPicture + hasIcon);
    FUZZ_REQUIRE(Get(folder / "setup.ini") == ini);
    if (hasPicture) FUZZ_REQUIRE(Get(folder / "splash.bmp") == picture);
    if (hasIcon) FUZZ_REQUIRE(Get(folder / "product.ico") == icon);
    return 0;
}
