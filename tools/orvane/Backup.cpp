#include "Backup.h"

#include "CommandSupport.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {

std::string BackupFolder(const Options& o) {
    if (!o.backupDir.empty())
        return o.backupDir;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::string(state) + "/orvane/backups";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/orvane/backups";
}

// Saves the selected FRU as it is now (what the device holds) into the backup
// folder; the path, or "" after a report.
std::string Backup(Session& s, const Options& o) {
    const std::string folder = BackupFolder(o);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    FruAddress address;
    s.SelectedAddress(&address);
    std::string tag = address.Format();
    for (char& c : tag)
        if (c == ':')
            c = '-';
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::string path = folder + "/" + stamp + "-" + tag + ".cfg";
    for (int n = 2; std::filesystem::exists(path); ++n)
        path = folder + "/" + stamp + "-" + tag + "-" + std::to_string(n) + ".cfg";
    if (uint32_t status = SaveConfigurationToFile(s.Api(), Wide(path).c_str());
        status != ORVANE_OK) {
        s.Fail("saving the backup " + path + " (nothing was committed)", status);
        return "";
    }
    return path;
}

int CommitSelected(Session& s, const std::string& backup) {
    if (uint32_t status = CommitConfigurationToSystem(s.Api()); status != ORVANE_OK) {
        s.Fail("committing the FRU", status);
        std::fprintf(stderr,
                     "orvane: the device may hold part of the change; what it held before is "
                     "in %s (orvane restore %s brings it back)\n",
                     backup.c_str(), backup.c_str());
        return kExitLibrary;
    }
    std::printf("committed; the previous contents are in %s\n", backup.c_str());
    return kExitOk;
}
} // namespace Commands
