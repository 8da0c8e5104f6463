#include "device/Backup.h"
#include "app/Report.h"

#include "api/FruEdit.h"
#include "cmd/CommandSupport.h"
#include "device/RawImage.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace Commands {
namespace {
// Header and area bytes of two layouts agree.
bool SameContents(const FruEdit::CommitLayout& a, const FruEdit::CommitLayout& b) {
    if (a.header != b.header || a.areas.size() != b.areas.size())
        return false;
    for (size_t i = 0; i < a.areas.size(); ++i)
        if (a.areas[i].kind != b.areas[i].kind || a.areas[i].bytes != b.areas[i].bytes)
            return false;
    return true;
}

std::string ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvane-XXXXXX";
    return mkdtemp(pattern.data()) ? pattern : "";
}
} // namespace

std::string BackupFolder(const Options& o) {
    if (!o.backupDir.empty())
        return o.backupDir;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::string(state) + "/orvane/backups";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/state/orvane/backups";
}

PendingBackup::~PendingBackup() {
    if (kept)
        return;
    for (const std::string& path : {cfg, bin})
        if (!path.empty())
            ::unlink(path.c_str());
}

std::string PendingBackup::Describe() const {
    return cfg.empty() ? bin : Text::Format(_("%s and %s"), cfg.c_str(), bin.c_str());
}

int TakeBackup(Session& s, const Options& o, const FruAddress& address, const uint32_t* position,
               PendingBackup* backup) {
    const std::string folder = BackupFolder(o);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        return Report::Fail(_("cannot create the backup folder %s: %s; nothing was "
                              "written\n"),
                            folder.c_str(), ec.message().c_str());
    }
    std::string tag = address.Format();
    for (char& c : tag)
        if (c == ':')
            c = '-';
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::string stem = folder + "/" + stamp + "-" + tag;
    for (int n = 2;
         std::filesystem::exists(stem + ".cfg") || std::filesystem::exists(stem + ".bin"); ++n)
        stem = folder + "/" + stamp + "-" + tag + "-" + std::to_string(n);

    std::string source;
    if (const uint32_t status = RawImage::ReadWholeDevice(address, &backup->raw, &source)) {
        return Report::Fail(_("cannot read the device at %s for its backup (0x%08X); "
                              "nothing was written\n"),
                            address.Format().c_str(), status);
    }
    std::string error;
    if (!RawImage::WriteNewFile(stem + ".bin", backup->raw, &error)) {
        return Report::Fail(_("cannot save the backup: %s; nothing was written\n"), error.c_str());
    }
    backup->bin = stem + ".bin";
    if (!position)
        return kExitOk;
    if (SaveFruVerified(s, stem + ".cfg", ORVANE_LIST_SYSTEM, *position) != kExitOk) {
        return Report::Fail(_("the backup could not be saved; nothing was written\n"));
    }
    backup->cfg = stem + ".cfg";
    return kExitOk;
}

int SaveFruVerified(Session& s, const std::string& path, uint32_t list, uint32_t position) {
    const std::string folder = ScratchFolder();
    if (folder.empty()) {
        const int error = errno;
        return Report::Os(_("cannot create a scratch folder"), error);
    }
    const std::string scratch = folder + "/fru.cfg";
    auto cleanup = [&]() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    };
    FruEdit::CommitLayout saved, reread;
    FruEdit::LayoutCommit(FruEdit::SelectedFru(), &saved);
    if (uint32_t status = SaveConfigurationToFile(s.Api(), Wide(scratch).c_str());
        status != ORVANE_OK) {
        cleanup();
        return s.Fail(Text::Format(_("saving %s"), path.c_str()), status);
    }
    const uint32_t status = LoadConfigurationFromFile(s.Api(), Wide(scratch).c_str());
    const bool same = status == ORVANE_OK &&
                      FruEdit::LayoutCommit(FruEdit::SelectedFru(), &reread) &&
                      SameContents(saved, reread);
    SelectList(s.Api(), list);
    SelectFru(s.Api(), position);
    if (!same) {
        cleanup();
        if (status != ORVANE_OK)
            return s.Fail(
                Text::Format(_("reading back the configuration file saved for %s"), path.c_str()),
                status);
        return Report::Fail(_("the configuration file saved for %s does not read back as "
                              "the FRU; not saved\n"),
                            path.c_str());
    }
    std::vector<uint8_t> bytes;
    std::string error;
    const bool ok = RawImage::ReadFile(scratch, &bytes, &error) &&
                    RawImage::WriteFileSafely(path, bytes, &error);
    cleanup();
    if (!ok) {
        return Report::Fail(_("cannot save %s: %s\n"), path.c_str(), error.c_str());
    }
    return kExitOk;
}
} // namespace Commands
