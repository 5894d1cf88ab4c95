#include "media/Check.h"

#include "media/Discovery.h"
#include "media/Medium.h"

namespace trelvo::media {

CheckOutcome CheckMedium(const CheckOptions& options)
{
    CheckOutcome outcome;
    std::error_code error;
    if (!std::filesystem::exists(options.medium, error)) {
        outcome.usageError = options.mediumText + L": no such folder";
        return outcome;
    }
    if (!std::filesystem::is_directory(options.medium, error)) {
        outcome.usageError = options.mediumText + L": not a folder (MEDIUM is the folder the launcher starts in)";
        return outcome;
    }
    Medium medium(options.medium);
    Discovery discovery = FindLauncher(medium, options.exe);
    if (!discovery.choice) {
        outcome.usageError = options.mediumText + L": " + discovery.usageError;
        return outcome;
    }
    CheckReport& report = outcome.report.emplace();
    report.medium = options.mediumText;
    report.launcher = discovery.choice->exe;
    report.launcherHow = discovery.choice->how;
    report.ini = discovery.choice->baseName + L".ini";
    MediumEntry ini = medium.Find(report.ini);
    if (ini.kind != EntryKind::File)
        report.findings.push_back({Severity::Error, "ini-missing", std::nullopt, std::nullopt, std::nullopt,
                                   std::nullopt, report.ini + L" is not on the medium"});
    return outcome;
}

}  // namespace trelvo::media
