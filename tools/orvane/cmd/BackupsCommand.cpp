// orvane backups: the backups in the backup folder, newest first, and the
// removal of old ones.
#include "app/Report.h"
#include "cmd/Commands.h"

#include "cmd/CommandSupport.h"
#include "device/Backup.h"
#include "view/Render.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
namespace {
// What names one FRU across backups: where it was and its address.
std::string FruOf(const BackupRecord& r) {
    return r.origin + "\n" + r.address;
}

// A backup's origin as shown: older backups did not record one.
std::string ShownOrigin(const BackupRecord& r) {
    return r.origin.empty() ? _("(unknown)") : r.origin;
}

// A backup's address as every JSON document gives one: the address object.
nlohmann::json JsonAddress(const std::string& text) {
    const auto address = FruAddress::Parse(text);
    return address ? nlohmann::json(Render::JsonAddress(*address)) : nlohmann::json(text);
}

int List(const Options& o, const std::vector<BackupRecord>& backups) {
    if (o.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& r : backups)
            list.push_back(
                {{"origin", r.origin.empty() ? nlohmann::json() : nlohmann::json(r.origin)},
                 {"address", JsonAddress(r.address)},
                 {"name", r.name},
                 {"size", r.size},
                 {"time", r.time},
                 {"bin", r.bin},
                 {"cfg", r.cfg.empty() ? nlohmann::json() : nlohmann::json(r.cfg)}});
        std::printf("%s\n", list.dump(2).c_str());
        return kExitOk;
    }
    size_t originWidth = 0, nameWidth = 0;
    for (const auto& r : backups) {
        originWidth = std::max(originWidth, Text::Width(ShownOrigin(r)));
        nameWidth = std::max(nameWidth, Text::Width(r.name));
    }
    for (const auto& r : backups)
        std::printf("%s  %-15s  %s  %6llu  %s  %s\n",
                    Text::Padded(ShownOrigin(r), originWidth).c_str(), r.address.c_str(),
                    Text::Padded(r.name, nameWidth).c_str(),
                    static_cast<unsigned long long>(r.size), r.time.c_str(), r.bin.c_str());
    std::printf(_("%zu backups in %s\n"), backups.size(), BackupFolder(o).c_str());
    return kExitOk;
}

// Removes a backup's files; false with the reason after a report.
bool Remove(const BackupRecord& r) {
    for (const std::string& path : {r.bin, r.cfg, r.sidecar}) {
        std::error_code ec;
        if (!path.empty() && !std::filesystem::remove(path, ec) && ec) {
            Report::Say(_("cannot remove %s: %s\n"), path.c_str(), ec.message().c_str());
            return false;
        }
    }
    return true;
}

// Keeps the newest `keep` backups and every FRU's newest one; of the rest,
// those older than olderThan days (all when not given) are removed.
int Prune(const Options& o, const std::vector<BackupRecord>& backups) {
    const auto keep = Text::ParseNumber(o.keep, 0xFFFFFFFFu);
    if (o.keep.empty() || !keep)
        return Usage("backups", _("prune takes --keep N (the number of backups to keep)"));
    std::optional<uint32_t> days;
    if (!o.olderThan.empty() && !(days = Text::ParseNumber(o.olderThan, 100000)))
        return Usage("backups", _("--older-than takes a number of days"));
    const std::time_t limit = days ? std::time(nullptr) - std::time_t(*days) * 86400 : 0;
    std::set<std::string> seen; // FRUs whose newest backup is already kept
    size_t kept = 0, removed = 0;
    bool failed = false;
    for (const auto& r : backups) { // newest first
        const bool newestOfFru = seen.insert(FruOf(r)).second;
        if (newestOfFru || kept < *keep || (days && r.when >= limit)) {
            ++kept;
            continue;
        }
        if (Remove(r)) {
            std::printf(_("removed %s (%s, %s)\n"), r.bin.c_str(), r.address.c_str(),
                        r.time.c_str());
            ++removed;
        } else {
            failed = true;
        }
    }
    std::printf(_("%zu backups removed, %zu kept\n"), removed, kept);
    return failed ? kExitLibrary : kExitOk;
}
} // namespace

int Backups(const Options& o) {
    const std::string verb = o.operands.empty() ? "list" : o.operands[0];
    if (verb != "list" && verb != "prune")
        return Usage("backups", Text::Format(_("\"%s\" is neither list nor prune"), verb.c_str()));
    if (verb == "list" && (!o.keep.empty() || !o.olderThan.empty()))
        return Usage("backups", _("--keep and --older-than go with prune"));
    if (verb == "prune" && o.json)
        return Usage("backups", _("--json goes with list"));
    const std::string folder = BackupFolder(o);
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        if (std::filesystem::exists(folder, ec))
            return Report::Fail(_("the backup folder %s is not a folder\n"), folder.c_str());
        return verb == "list" ? List(o, {}) : Prune(o, {});
    }
    const std::vector<BackupRecord> backups = ListBackups(folder);
    return verb == "list" ? List(o, backups) : Prune(o, backups);
}
} // namespace Commands
