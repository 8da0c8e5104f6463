#include "device/Backup.h"
#include "app/Report.h"

#include "api/DeviceAccess.h"
#include "api/FruEdit.h"
#include "cmd/CommandSupport.h"
#include "device/RawImage.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace Commands {
namespace {
namespace fs = std::filesystem;

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

std::string Absolute(const std::string& path) {
    std::error_code ec;
    const fs::path p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

// A part of a backup's file name: letters, digits, '.', '+' and '-' kept,
// anything else a '-', at most max characters (the end, where names differ).
std::string NamePart(const std::string& text, size_t max) {
    std::string part;
    for (unsigned char c : text) {
        const char kept = std::isalnum(c) || c == '.' || c == '+' ? static_cast<char>(c) : '-';
        if (kept != '-' || part.empty() || part.back() != '-')
            part += kept;
    }
    const size_t first = part.find_first_not_of('-');
    part = first == std::string::npos ? ""
                                      : part.substr(first, part.find_last_not_of('-') + 1 - first);
    if (part.size() > max)
        part = part.substr(part.size() - max);
    return part.empty() ? "none" : part;
}

// The name of the located device at an address; "" when none has one.
std::string DeviceName(const FruAddress& address) {
    for (const auto& d : DeviceAccess::LocatedDevices())
        if (d.address == address)
            return d.name;
    return "";
}

std::time_t ParseUtc(const std::string& text, const char* format) {
    std::tm utc{};
    const char* end = strptime(text.c_str(), format, &utc);
    return end && *end == '\0' ? timegm(&utc) : 0;
}

// A time as ISO 8601 UTC: 2026-12-08T00:27:00Z.
std::string IsoTime(std::time_t when) {
    char text[32];
    std::tm utc{};
    gmtime_r(&when, &utc);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// A raw backup named the older way: <time>-T-L-DA-B-CA-ID[-n].bin.
std::optional<BackupRecord> OldBackup(const fs::path& bin) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : bin.stem().string() + "-") {
        if (c == '-') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (parts.size() != 7 && parts.size() != 8)
        return std::nullopt;
    const auto address = FruAddress::Parse(parts[1] + ":" + parts[2] + ":" + parts[3] + ":" +
                                           parts[4] + ":" + parts[5] + ":" + parts[6]);
    const std::time_t when = ParseUtc(parts[0], "%Y%m%dT%H%M%SZ");
    if (!address || !when)
        return std::nullopt;
    BackupRecord r;
    r.address = address->Format();
    r.when = when;
    r.time = IsoTime(when);
    r.bin = bin.string();
    std::error_code ec;
    r.size = fs::file_size(bin, ec);
    if (fs::path cfg = fs::path(bin).replace_extension(".cfg"); fs::exists(cfg, ec))
        r.cfg = cfg.string();
    return r;
}

// The second of two reads of the device: the library's bytes where it holds
// them, the device's own elsewhere.
uint32_t SecondRead(const FruAddress& address, const HeldImage* held,
                    const std::vector<uint8_t>& first, std::vector<uint8_t>* second) {
    const uint32_t length = static_cast<uint32_t>(first.size());
    if (!held)
        return ReadFresh(address, 0, length, second);
    second->assign(length, 0);
    for (uint32_t i = 0; i < length;) {
        const bool isHeld = i < held->held.size() && held->held[i];
        uint32_t end = i;
        while (end < length && (end < held->held.size() && held->held[end]) == isHeld)
            ++end;
        if (isHeld) {
            std::copy(held->bytes.begin() + i, held->bytes.begin() + end, second->begin() + i);
        } else {
            std::vector<uint8_t> piece;
            if (const uint32_t status = ReadFresh(address, i, end - i, &piece))
                return status;
            std::copy_n(piece.begin(), std::min<size_t>(piece.size(), end - i),
                        second->begin() + i);
        }
        i = end;
    }
    return 0;
}

// Whether two images differ at an offset the library's FRU holds.
bool DiffersWhereHeld(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                      const HeldImage* held) {
    for (size_t i = 0; held && i < a.size() && i < held->held.size(); ++i)
        if (held->held[i] && a[i] != b[i])
            return true;
    return false;
}

// The device's bytes as two reads agree on them (see TakeBackup). Returns
// 0, or kExitLibrary after a report.
int AgreedRead(const FruAddress& address, const HeldImage* held, std::vector<uint8_t>* agreed) {
    uint32_t length = 0;
    std::string source;
    std::vector<uint8_t> first, second, third;
    uint32_t status = RawImage::DeviceLength(address, &length, &source);
    status = status ? status : ReadFresh(address, 0, length, &first);
    status = status ? status : SecondRead(address, held, first, &second);
    if (!status && first == second) {
        *agreed = std::move(first);
        return kExitOk;
    }
    status = status ? status : ReadFresh(address, 0, length, &third);
    if (status)
        return Report::Fail(_("cannot read the device at %s for its backup (0x%08X); nothing "
                              "was written\n"),
                            address.Format().c_str(), status);
    if (third == second || (third == first && !DiffersWhereHeld(first, second, held))) {
        *agreed = std::move(third);
        return kExitOk;
    }
    if (third == first)
        return Report::Fail(_("the FRU the library read from %s differs from the device at %s "
                              "(two later reads agree); nothing was written; run the command "
                              "again\n"),
                            address.Format().c_str(), RawImage::Differences(first, second).c_str());
    return Report::Fail(_("no two reads of the device at %s agree (the first two differ at %s, "
                          "the third differs from the first at %s); nothing was written\n"),
                        address.Format().c_str(), RawImage::Differences(first, second).c_str(),
                        RawImage::Differences(first, third).c_str());
}

// NAME.json beside the backup: what it is and where it came from.
bool WriteRecord(const std::string& path, const BackupRecord& r, std::string* error) {
    nlohmann::json j = {{"orvane_backup", 1},
                        {"origin", r.origin},
                        {"address", r.address},
                        {"name", r.name},
                        {"time", r.time},
                        {"size", r.size},
                        {"bin", fs::path(r.bin).filename().string()},
                        {"cfg", r.cfg.empty()
                                    ? nlohmann::json()
                                    : nlohmann::json(fs::path(r.cfg).filename().string())}};
    const std::string text = j.dump(2) + "\n";
    return RawImage::WriteNewFile(path, std::vector<uint8_t>(text.begin(), text.end()), error);
}

// The stem of a new backup's files: <UTC time>_<origin>_<address>_<name>,
// numbered when a backup of that second exists already.
std::string NewStem(const std::string& folder, const BackupRecord& r) {
    char stamp[32];
    std::tm utc{};
    gmtime_r(&r.when, &utc);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    const std::string base = folder + "/" + stamp + "_" + NamePart(r.origin, 48) + "_" +
                             NamePart(r.address, 20) + "_" + NamePart(r.name, 32);
    std::string stem = base;
    for (int n = 2;
         fs::exists(stem + ".json") || fs::exists(stem + ".bin") || fs::exists(stem + ".cfg"); ++n)
        stem = base + "_" + std::to_string(n);
    return stem;
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

std::string OriginOf(const Options& o) {
    if (!o.image.empty())
        return Absolute(o.image);
    const char* chosen = std::getenv("ORVANE_DRIVER");
    const std::string driver = chosen && *chosen ? chosen : "freeipmi";
    if (driver == "sim") {
        const char* system = std::getenv("ORVANE_SIM_SYSTEM");
        return "sim:" + Absolute(system ? system : "");
    }
    const char* host = std::getenv("ORVANE_IPMI_HOST");
    const std::string where = host && *host ? host : "in-band";
    return driver == "freeipmi" ? where : driver + ":" + where;
}

bool ReadBackupRecord(const std::string& file, BackupRecord* record) {
    const fs::path stem = fs::path(file).replace_extension();
    const std::string sidecar = stem.string() + ".json";
    std::vector<uint8_t> bytes;
    std::string error;
    if (!RawImage::ReadFile(sidecar, &bytes, &error))
        return false;
    const auto j = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (!j.is_object() || !j.contains("orvane_backup") ||
        !j.value("bin", nlohmann::json()).is_string())
        return false;
    BackupRecord r;
    auto text = [&](const char* key) {
        const auto& v = j.value(key, nlohmann::json());
        return v.is_string() ? v.get<std::string>() : std::string();
    };
    r.origin = text("origin");
    r.address = text("address");
    r.name = text("name");
    r.time = text("time");
    r.when = ParseUtc(r.time, "%Y-%m-%dT%H:%M:%SZ");
    r.size =
        j.value("size", nlohmann::json(0)).is_number_unsigned() ? j["size"].get<uint64_t>() : 0;
    const fs::path folder = stem.parent_path();
    r.bin = (folder / text("bin")).string();
    if (!text("cfg").empty())
        r.cfg = (folder / text("cfg")).string();
    r.sidecar = sidecar;
    *record = r;
    return true;
}

std::optional<FruAddress> BackupAddress(const std::string& file) {
    BackupRecord r;
    if (ReadBackupRecord(file, &r))
        return FruAddress::Parse(r.address);
    if (const auto old = OldBackup(file))
        return FruAddress::Parse(old->address);
    return std::nullopt;
}

std::vector<BackupRecord> ListBackups(const std::string& folder) {
    std::vector<BackupRecord> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const fs::path& p = e.path();
        BackupRecord r;
        if (p.extension() == ".json" && ReadBackupRecord(p.string(), &r))
            found.push_back(r);
        else if (p.extension() == ".bin" && !fs::exists(fs::path(p).replace_extension(".json")))
            if (auto old = OldBackup(p))
                found.push_back(*old);
    }
    std::sort(found.begin(), found.end(), [](const BackupRecord& a, const BackupRecord& b) {
        return a.when != b.when ? a.when > b.when : a.bin > b.bin;
    });
    return found;
}

int CheckBackupOrigin(const Options& o, const std::string& file, const FruAddress& target) {
    BackupRecord r;
    if (!ReadBackupRecord(file, &r))
        return kExitOk;
    const std::string origin = OriginOf(o), address = target.Format();
    if (r.origin == origin && r.address == address)
        return kExitOk;
    if (!o.force)
        return Report::Refused(_("refusing to restore %s: it was taken from %s at %s, and the "
                                 "target is %s at %s; --force restores it all the same; nothing "
                                 "was written\n"),
                               file.c_str(), r.origin.c_str(), r.address.c_str(), origin.c_str(),
                               address.c_str());
    Report::Say(_("warning: %s was taken from %s at %s; restoring it to %s at %s (--force)\n"),
                file.c_str(), r.origin.c_str(), r.address.c_str(), origin.c_str(), address.c_str());
    return kExitOk;
}

PendingBackup::~PendingBackup() {
    if (kept)
        return;
    for (const std::string& path : {cfg, bin, sidecar})
        if (!path.empty())
            ::unlink(path.c_str());
}

std::string PendingBackup::Describe() const {
    return cfg.empty() ? bin : Text::Format(_("%s and %s"), cfg.c_str(), bin.c_str());
}

HeldImage HeldBy(CFru* fru) {
    HeldImage image;
    FruEdit::CommitLayout layout;
    if (!FruEdit::LayoutCommit(fru, &layout))
        return image;
    auto put = [&](uint32_t offset, const std::vector<uint8_t>& bytes) {
        if (image.bytes.size() < offset + bytes.size()) {
            image.bytes.resize(offset + bytes.size(), 0xFF);
            image.held.resize(offset + bytes.size(), false);
        }
        std::copy(bytes.begin(), bytes.end(), image.bytes.begin() + offset);
        std::fill(image.held.begin() + offset, image.held.begin() + offset + bytes.size(), true);
    };
    put(0, layout.header);
    for (const auto& area : layout.areas)
        put(area.headerOffset, area.bytes);
    return image;
}

uint32_t ReadFresh(const FruAddress& address, uint32_t offset, uint32_t count,
                   std::vector<uint8_t>* bytes) {
    DeviceAccess::ForgetCachedReads();
    return DeviceAccess::ReadDevice(address, offset, count, bytes);
}

int TakeBackup(Session& s, const Options& o, const FruAddress& address, const uint32_t* position,
               PendingBackup* backup, const HeldImage* held) {
    const std::string given = BackupFolder(o);
    std::error_code ec;
    std::filesystem::create_directories(given, ec);
    if (ec) {
        return Report::Fail(_("cannot create the backup folder %s: %s; nothing was "
                              "written\n"),
                            given.c_str(), ec.message().c_str());
    }
    // Absolute, so that the .cfg's _LF_NAME and the messages name the files
    // wherever the command ran.
    const std::string folder = Absolute(given);
    if (int code = AgreedRead(address, held, &backup->raw))
        return code;
    BackupRecord record;
    record.origin = OriginOf(o);
    record.address = address.Format();
    record.name = DeviceName(address);
    record.when = std::time(nullptr);
    record.time = IsoTime(record.when);
    record.size = backup->raw.size();
    const std::string stem = NewStem(folder, record);

    // The raw image is what restores the device byte for byte: it must be saved.
    std::string error;
    if (!RawImage::WriteNewFile(stem + ".bin", backup->raw, &error)) {
        return Report::Fail(_("cannot save the backup: %s; nothing was written\n"), error.c_str());
    }
    backup->bin = record.bin = stem + ".bin";
    if (position) {
        if (const std::string why = SaveFruChecked(s, stem + ".cfg", ORVANE_LIST_SYSTEM, *position);
            why.empty())
            backup->cfg = record.cfg = stem + ".cfg";
        else
            Report::Say(_("no configuration file was kept beside %s (%s); the raw backup "
                          "holds the device\n"),
                        backup->bin.c_str(), why.c_str());
    }
    if (!WriteRecord(stem + ".json", record, &error)) {
        return Report::Fail(_("cannot save the backup: %s; nothing was written\n"), error.c_str());
    }
    backup->sidecar = stem + ".json";
    return kExitOk;
}

std::string SaveFruChecked(Session& s, const std::string& path, uint32_t list, uint32_t position) {
    const std::string folder = ScratchFolder();
    if (folder.empty())
        return Text::Format(_("cannot create a scratch folder: %s"), std::strerror(errno));
    const std::string scratch = folder + "/fru.cfg";
    struct Cleanup {
        std::string folder;
        ~Cleanup() {
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        }
    } cleanup{folder};
    auto failed = [&](const std::string& what, uint32_t status) {
        const OrvaneChar* message = nullptr;
        GetLastErrorMessage(s.Api(), &message);
        return message && *message ? Text::Format(_("%s failed (0x%08X): %s"), what.c_str(), status,
                                                  Text::ToUtf8(message).c_str())
                                   : Text::Format(_("%s failed (0x%08X)"), what.c_str(), status);
    };
    FruEdit::CommitLayout saved, reread;
    FruEdit::LayoutCommit(FruEdit::SelectedFru(), &saved);
    if (uint32_t status = SaveConfigurationToFile(s.Api(), Wide(scratch).c_str());
        status != ORVANE_OK)
        return failed(Text::Format(_("saving %s"), path.c_str()), status);
    // The file names itself: its first line is _LF_NAME and the path it was
    // written to, which is to be its final path, not the scratch one.
    std::vector<uint8_t> bytes;
    std::string error;
    if (!RawImage::ReadFile(scratch, &bytes, &error))
        return error;
    const std::string wrote = "_LF_NAME\t'" + scratch + "'", final = "_LF_NAME\t'" + path + "'";
    if (bytes.size() >= wrote.size() && std::equal(wrote.begin(), wrote.end(), bytes.begin())) {
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(wrote.size()));
        bytes.insert(bytes.begin(), final.begin(), final.end());
        if (!RawImage::WriteFileSafely(scratch, bytes, &error))
            return error;
    }
    const uint32_t status = LoadConfigurationFromFile(s.Api(), Wide(scratch).c_str());
    const bool same = status == ORVANE_OK &&
                      FruEdit::LayoutCommit(FruEdit::SelectedFru(), &reread) &&
                      SameContents(saved, reread);
    const std::string why =
        status != ORVANE_OK
            ? failed(
                  Text::Format(_("reading back the configuration file saved for %s"), path.c_str()),
                  status)
            : _("the configuration file does not read back as the FRU");
    SelectList(s.Api(), list);
    SelectFru(s.Api(), position);
    if (!same)
        return why;
    if (!RawImage::WriteFileSafely(path, bytes, &error))
        return Text::Format(_("cannot save %s: %s"), path.c_str(), error.c_str());
    return "";
}

int SaveFruVerified(Session& s, const std::string& path, uint32_t list, uint32_t position) {
    if (const std::string why = SaveFruChecked(s, path, list, position); !why.empty())
        return Report::Fail(_("%s; not saved\n"), why.c_str());
    return kExitOk;
}
} // namespace Commands
