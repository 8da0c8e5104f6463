#include "Commands.h"

#include "FieldNames.h"
#include "Render.h"
#include "Text.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace Commands {
namespace {
constexpr uint32_t kMaxFieldBytes = 63;
constexpr int64_t kBoardDateEpoch = 820454400; // 1996-01-01 00:00 UTC

std::u16string Wide(const std::string& s) {
    return Text::FromUtf8(s);
}

int Usage(const std::string& command, const std::string& problem) {
    std::fprintf(stderr, "orvane %s: %s\n%s", command.c_str(), problem.c_str(),
                 Help(command) ? Help(command) : "");
    return kExitUsage;
}

// Loads the FRUs a command works on: the system, or one configuration file.
bool LoadSource(Session& s, const Options& o) {
    if (!o.file.empty()) {
        if (uint32_t status = LoadConfigurationFromFile(s.Api(), Wide(o.file).c_str());
            status != ORVANE_OK) {
            s.Fail("reading " + o.file, status);
            return false;
        }
        return true; // the file list is selected with the new FRU
    }
    if (!s.LoadSystem())
        return false;
    if (uint32_t status = SelectList(s.Api(), ORVANE_LIST_SYSTEM); status != ORVANE_OK) {
        s.Fail("selecting the system list", status);
        return false;
    }
    return true;
}

// Selects the FRU a command names: the file's FRU, or a FRU of the system.
bool SelectTarget(Session& s, const Options& o, const std::string* designation,
                  uint32_t* position) {
    if (!o.file.empty()) {
        *position = s.Count() - 1;
        return SelectFru(s.Api(), *position) == ORVANE_OK;
    }
    return s.SelectFru(*designation, position);
}

bool SelectArea(Session& s, int32_t area) {
    if (uint32_t status = SelectAreaEnum(s.Api(), area); status != ORVANE_OK) {
        s.Fail("selecting the area", status);
        return false;
    }
    uint32_t count = 0;
    // An absent area selects nothing; the field count then says so.
    if (GetNumberOfFields(s.Api(), &count) == ORVANE_E_NOT_SELECTED) {
        std::fprintf(stderr, "orvane: the FRU has no %s area\n", FieldNames::AreaKey(area));
        return false;
    }
    return true;
}

bool SelectNamedField(Session& s, const FieldNames::Field& field, const std::string& name) {
    if (!SelectArea(s, field.area))
        return false;
    const uint32_t status = field.byEnumerator ? SelectFieldEnum(s.Api(), field.enumerator)
                                               : SelectFieldInteger(s.Api(), field.index);
    if (status != ORVANE_OK) {
        s.Fail("selecting " + name, status);
        return false;
    }
    return true;
}

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

// The bytes a value stands for in a field: hex for the internal use data, a
// date for the board's manufacturing date, a number for the chassis type,
// the text itself otherwise.
bool FieldBytes(const FieldNames::Field& field, uint32_t index, const std::string& value,
                std::vector<uint8_t>* bytes, std::string* problem) {
    if (field.area == ORVANE_AREA_INTERNAL_USE) {
        auto hex = Text::ParseHex(value);
        if (!hex) {
            *problem = "the internal use data is given as hex bytes, e.g. \"01 00 FF\"";
            return false;
        }
        *bytes = *hex;
        return true;
    }
    if (field.area == ORVANE_AREA_BOARD && index == 0) {
        int64_t minutes = 0;
        if (auto n = Text::ParseNumber(value, 0xFFFFFF)) {
            minutes = *n;
        } else {
            std::tm t{};
            if (!strptime(value.c_str(), "%Y-%m-%d %H:%M", &t) &&
                !strptime(value.c_str(), "%Y-%m-%dT%H:%M", &t)) {
                *problem = "the manufacturing date is \"YYYY-MM-DD HH:MM\" (UTC) or minutes "
                           "since 1996-01-01";
                return false;
            }
            minutes = (static_cast<int64_t>(timegm(&t)) - kBoardDateEpoch) / 60;
            if (minutes < 0 || minutes > 0xFFFFFF) {
                *problem = "the manufacturing date lies outside 1996 to 2027";
                return false;
            }
        }
        *bytes = {static_cast<uint8_t>(minutes), static_cast<uint8_t>(minutes >> 8),
                  static_cast<uint8_t>(minutes >> 16)};
        return true;
    }
    if (field.area == ORVANE_AREA_CHASSIS && index == 0) {
        auto n = Text::ParseNumber(value, 0xFF);
        if (!n) {
            *problem = "the chassis type is a number from 0 to 255 (e.g. 0x17 for rack mount)";
            return false;
        }
        *bytes = {static_cast<uint8_t>(*n)};
        return true;
    }
    bytes->assign(value.begin(), value.end());
    return true;
}

// Sets the selected field (or the internal use data) to bytes, after the
// checks that keep a FRU readable. Returns an exit code.
int ApplyValue(Session& s, const Options& o, const FieldNames::Field& field,
               const std::string& name, const std::vector<uint8_t>& bytes) {
    if (field.area == ORVANE_AREA_INTERNAL_USE) {
        uint32_t size = 0;
        GetAreaSize(s.Api(), &size);
        if (bytes.size() != size) {
            std::fprintf(stderr, "orvane: %s takes exactly %u bytes (got %zu)\n", name.c_str(),
                         size, bytes.size());
            return kExitRefused;
        }
        if (uint32_t status = SetAreaData(s.Api(), bytes.data(), size); status != ORVANE_OK)
            return s.Fail("setting " + name, status);
        return kExitOk;
    }
    // Texts (all fields but the date and the chassis type) are type/length coded.
    const uint8_t* current = nullptr;
    uint32_t currentLength = 0;
    GetFieldDataValue(s.Api(), &current, &currentLength);
    const bool text =
        field.index != 0 || (field.area != ORVANE_AREA_BOARD && field.area != ORVANE_AREA_CHASSIS);
    if (text) {
        if (bytes.size() == 1 && !o.force) {
            std::fprintf(stderr,
                         "orvane: a one-byte text is stored with the type/length byte 0xC1, "
                         "which FRU readers take as the end of the area; the fields after it "
                         "would be lost. Use two or more bytes, or --force.\n");
            return kExitRefused;
        }
        uint32_t room = 0;
        GetMaxFieldSize(s.Api(), &room);
        const uint32_t limit = std::min<uint32_t>(kMaxFieldBytes, currentLength + room);
        if (bytes.size() > limit) {
            std::fprintf(stderr,
                         "orvane: %s can take at most %u bytes here (%u now, %u free in the "
                         "area, 63 at most); \"%s\" has %zu\n",
                         name.c_str(), limit, currentLength, room,
                         std::string(bytes.begin(), bytes.end()).c_str(), bytes.size());
            return kExitRefused;
        }
    }
    if (uint32_t status =
            SetFieldDataValue(s.Api(), bytes.data(), static_cast<uint32_t>(bytes.size()));
        status != ORVANE_OK)
        return s.Fail("setting " + name, status);
    return kExitOk;
}

// The space an info area's fields and padding fill: the same for two areas of
// one kind exactly when their lengths are equal.
uint64_t Footprint(const AreaView& area) {
    uint64_t total = area.room;
    for (const auto& f : area.fields)
        total += 1 + f.bytes.size();
    return total;
}

const AreaView* FindArea(const FruView& fru, int32_t kind) {
    for (const auto& a : fru.areas)
        if (a.kind == kind)
            return &a;
    return nullptr;
}

// Why the device's FRU cannot take the file's contents, or "".
std::string RestoreMismatch(const FruView& device, const FruView& file) {
    for (int32_t kind = ORVANE_AREA_INTERNAL_USE; kind <= ORVANE_AREA_MULTIRECORD; ++kind) {
        const AreaView* d = FindArea(device, kind);
        const AreaView* f = FindArea(file, kind);
        const std::string key = FieldNames::AreaKey(kind);
        if (!d != !f)
            return std::string("the ") + (d ? "device" : "file") + " has a " + key +
                   " area and the " + (d ? "file" : "device") + " has none";
        if (!d)
            continue;
        if (d->hasData != f->hasData || d->data.size() != f->data.size())
            return "the " + key + " areas differ in size (" + std::to_string(d->data.size()) +
                   " bytes on the device, " + std::to_string(f->data.size()) + " in the file)";
        if (kind == ORVANE_AREA_INTERNAL_USE || kind == ORVANE_AREA_MULTIRECORD)
            continue;
        if (d->fields.size() != f->fields.size())
            return "the " + key + " areas have different numbers of fields";
        if (Footprint(*d) != Footprint(*f))
            return "the " + key + " areas differ in size";
    }
    return "";
}
} // namespace

int Scan(Session& s, const Options& o) {
    if (!s.LoadSystem())
        return kExitLibrary;
    if (uint32_t status = SelectList(s.Api(), ORVANE_LIST_SYSTEM); status != ORVANE_OK)
        return s.Fail("selecting the system list", status);
    uint32_t present = 0, loaded = 0;
    GetNumberOfFrus(s.Api(), &present, &loaded);
    std::vector<FruView> frus(loaded);
    for (uint32_t i = 0; i < loaded; ++i)
        if (!s.Describe(i, &frus[i]))
            return kExitLibrary;
    if (o.json) {
        Render::Json(stdout, frus);
        return kExitOk;
    }
    std::printf("%u FRU devices found, %u read\n", present, loaded);
    if (present == 0)
        std::fprintf(stderr, "orvane: no FRU device answered; is the driver right (--driver, "
                             "--system, ORVANE_DRIVER)? --debug-level 1 writes the reason to "
                             "DBGLOG.txt\n");
    std::printf("%3s  %-20s %-18s %s\n", "#", "name", "address", "areas");
    for (const auto& fru : frus)
        Render::ScanLine(stdout, fru);
    return kExitOk;
}

int Show(Session& s, const Options& o) {
    if (o.operands.size() > 1 || (!o.file.empty() && !o.operands.empty()))
        return Usage("show", "takes one FRU, or --file CFG");
    if (!LoadSource(s, o))
        return kExitLibrary;
    std::vector<FruView> frus;
    if (!o.file.empty() || !o.operands.empty()) {
        uint32_t position = 0;
        if (!SelectTarget(s, o, o.operands.empty() ? nullptr : &o.operands[0], &position))
            return kExitLibrary;
        frus.resize(1);
        if (!s.Describe(position, &frus[0]))
            return kExitLibrary;
    } else {
        frus.resize(s.Count());
        for (uint32_t i = 0; i < frus.size(); ++i)
            if (!s.Describe(i, &frus[i]))
                return kExitLibrary;
    }
    if (o.json) {
        Render::Json(stdout, frus);
    } else {
        for (size_t i = 0; i < frus.size(); ++i) {
            if (i)
                std::printf("\n");
            Render::Plain(stdout, frus[i]);
        }
    }
    return kExitOk;
}

int Get(Session& s, const Options& o) {
    const size_t need = o.file.empty() ? 2 : 1;
    if (o.operands.size() != need)
        return Usage("get", o.file.empty() ? "takes FRU FIELD" : "takes FIELD with --file");
    const std::string& name = o.operands[need - 1];
    const auto field = FieldNames::Parse(name);
    if (!field)
        return Usage("get", "\"" + name + "\" names no field");
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    if (!SelectTarget(s, o, &o.operands[0], &position) || !SelectNamedField(s, *field, name))
        return kExitLibrary;
    const OrvaneChar* value = nullptr;
    if (uint32_t status = GetFieldStringValue(s.Api(), &value); status != ORVANE_OK)
        return s.Fail("reading " + name, status);
    std::printf("%s\n", Text::ToUtf8(value).c_str());
    return kExitOk;
}

int Set(Session& s, const Options& o) {
    const size_t first = o.file.empty() ? 1 : 0;
    if (o.operands.size() < first + 2 || (o.operands.size() - first) % 2 != 0)
        return Usage("set", "takes FRU FIELD VALUE [FIELD VALUE ...]");
    if (!o.commit && o.save.empty())
        return Usage("set", "needs --commit (to the device) or --save CFG (to a file)");
    if (o.commit && !o.file.empty())
        return Usage("set", "--commit writes a FRU of the system; to write a file's contents "
                            "to its device use orvane restore");
    std::vector<std::pair<FieldNames::Field, std::string>> changes;
    for (size_t i = first; i < o.operands.size(); i += 2) {
        const auto field = FieldNames::Parse(o.operands[i]);
        if (!field)
            return Usage("set", "\"" + o.operands[i] + "\" names no field");
        changes.push_back({*field, o.operands[i]});
    }
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    if (!SelectTarget(s, o, &o.operands[0], &position))
        return kExitLibrary;
    std::string backup;
    if (o.commit && (backup = Backup(s, o)).empty())
        return kExitLibrary;
    for (size_t i = 0; i < changes.size(); ++i) {
        const auto& [field, name] = changes[i];
        if (!SelectNamedField(s, field, name))
            return kExitLibrary;
        std::vector<uint8_t> bytes;
        std::string problem;
        const std::string& value = o.operands[first + 2 * i + 1];
        // The index the enumerator selects decides how the value is read.
        const int32_t firstEnumerator = field.area == ORVANE_AREA_INTERNAL_USE ? 1
                                        : field.area == ORVANE_AREA_CHASSIS    ? 2
                                        : field.area == ORVANE_AREA_BOARD      ? 5
                                                                               : 11;
        const uint32_t index = field.byEnumerator
                                   ? static_cast<uint32_t>(field.enumerator - firstEnumerator)
                                   : field.index;
        if (!FieldBytes(field, index, value, &bytes, &problem)) {
            std::fprintf(stderr, "orvane: %s: %s\n", name.c_str(), problem.c_str());
            return kExitRefused;
        }
        const FieldNames::Field resolved{field.area, index, false, 0};
        if (int code = ApplyValue(s, o, resolved, FieldNames::Name(field.area, index), bytes))
            return code;
    }
    if (!o.save.empty()) {
        if (uint32_t status = SaveConfigurationToFile(s.Api(), Wide(o.save).c_str());
            status != ORVANE_OK)
            return s.Fail("saving " + o.save, status);
        std::printf("saved to %s\n", o.save.c_str());
    }
    return o.commit ? CommitSelected(s, backup) : kExitOk;
}

int Save(Session& s, const Options& o) {
    if (o.operands.size() != 2)
        return Usage("save", "takes FRU CFG");
    if (!LoadSource(s, o))
        return kExitLibrary;
    uint32_t position = 0;
    if (!s.SelectFru(o.operands[0], &position))
        return kExitLibrary;
    if (uint32_t status = SaveConfigurationToFile(s.Api(), Wide(o.operands[1]).c_str());
        status != ORVANE_OK)
        return s.Fail("saving " + o.operands[1], status);
    std::printf("saved FRU %u to %s\n", position, o.operands[1].c_str());
    return kExitOk;
}

int Load(Session& s, const Options& o) {
    if (o.operands.size() != 1)
        return Usage("load", "takes CFG");
    Options file = o;
    file.file = o.operands[0];
    file.operands.clear();
    return Show(s, file);
}

int Restore(Session& s, const Options& o) {
    if (o.operands.size() != 1)
        return Usage("restore", "takes CFG");
    Options fromFile = o;
    fromFile.file = o.operands[0];
    if (!LoadSource(s, fromFile))
        return kExitLibrary;
    FruView saved;
    if (!s.Describe(s.Count() - 1, &saved))
        return kExitLibrary;
    if (!s.LoadSystem())
        return kExitLibrary;
    if (uint32_t status = SelectList(s.Api(), ORVANE_LIST_SYSTEM); status != ORVANE_OK)
        return s.Fail("selecting the system list", status);
    const FruAddress& a = saved.address;
    if (uint32_t status = SelectFruByAddress(s.Api(), a.nvsType, a.lun, a.deviceAddress, a.bus,
                                             a.controller, a.deviceId);
        status != ORVANE_OK)
        return s.Fail("finding the device at " + a.Format(), status);
    uint32_t position = 0;
    for (uint32_t i = 0; i < s.Count(); ++i) {
        FruAddress b;
        if (SelectFru(s.Api(), i) == ORVANE_OK && s.SelectedAddress(&b) && b == a)
            position = i;
    }
    FruView device;
    if (!s.Describe(position, &device))
        return kExitLibrary;
    if (const std::string why = RestoreMismatch(device, saved); !why.empty()) {
        std::fprintf(stderr, "orvane: refusing to restore %s to %s: %s\n", o.operands[0].c_str(),
                     a.Format().c_str(), why.c_str());
        return kExitRefused;
    }
    SelectFru(s.Api(), position);
    const std::string backup = Backup(s, o);
    if (backup.empty())
        return kExitLibrary;
    uint32_t changed = 0;
    for (const AreaView& want : saved.areas) {
        const AreaView& have = *FindArea(device, want.kind);
        if (SelectAreaEnum(s.Api(), want.kind) != ORVANE_OK)
            return s.Fail("selecting the " + want.key + " area", ORVANE_E_NOT_SELECTED);
        if (want.hasData) {
            if (want.data != have.data) {
                if (uint32_t status = SetAreaData(s.Api(), want.data.data(),
                                                  static_cast<uint32_t>(want.data.size()));
                    status != ORVANE_OK)
                    return s.Fail("restoring the " + want.key + " area", status);
                ++changed;
            }
            continue;
        }
        // Fields that shrink first, so the padding they give back lets the
        // others grow.
        for (int pass = 0; pass < 2; ++pass) {
            for (uint32_t i = 0; i < want.fields.size(); ++i) {
                const auto& w = want.fields[i];
                const auto& h = have.fields[i];
                if (w.bytes == h.bytes || (w.bytes.size() > h.bytes.size()) != (pass == 1))
                    continue;
                if (uint32_t status = SelectFieldInteger(s.Api(), i); status != ORVANE_OK)
                    return s.Fail("selecting " + w.key, status);
                if (uint32_t status = SetFieldDataValue(s.Api(), w.bytes.data(),
                                                        static_cast<uint32_t>(w.bytes.size()));
                    status != ORVANE_OK)
                    return s.Fail("restoring " + w.key, status);
                ++changed;
            }
        }
    }
    if (changed == 0) {
        std::printf("the device at %s already holds what %s holds; nothing written\n",
                    a.Format().c_str(), o.operands[0].c_str());
        return kExitOk;
    }
    return CommitSelected(s, backup);
}

int Props(Session& s, const Options& o) {
    // The counts describe the loaded system, so the system is loaded first.
    if (!s.LoadSystem())
        return kExitLibrary;
    if (uint32_t status = LoadPropertiesFromSystem(s.Api()); status != ORVANE_OK)
        return s.Fail("reading the system properties", status);
    uint32_t count = 0;
    GetNumberOfProperties(s.Api(), &count);
    if (o.json)
        std::printf("{\"properties\": [");
    for (uint32_t i = 0; i < count; ++i) {
        const OrvaneChar* title = nullptr;
        const OrvaneChar* value = nullptr;
        SelectProperty(s.Api(), i);
        GetPropertyTitle(s.Api(), &title);
        GetPropertyValue(s.Api(), &value);
        if (o.json)
            std::printf("%s{\"title\": %s, \"value\": %s}", i ? ", " : "",
                        Text::JsonString(Text::ToUtf8(title)).c_str(),
                        Text::JsonString(Text::ToUtf8(value)).c_str());
        else
            std::printf("%s: %s\n", Text::ToUtf8(title).c_str(), Text::ToUtf8(value).c_str());
    }
    if (o.json)
        std::printf("]}\n");
    return kExitOk;
}

int Check(Session& s, const Options& o) {
    if (o.operands.size() != 1)
        return Usage("check", "takes ADDRESS");
    const auto a = FruAddress::Parse(o.operands[0]);
    if (!a)
        return Usage("check", "\"" + o.operands[0] + "\" is not an address T:L:DA:B:CA:ID");
    if (uint32_t status = FindFruAtAddressAndChecksumHeader(
            s.Api(), a->nvsType, a->lun, a->deviceAddress, a->bus, a->controller, a->deviceId);
        status != ORVANE_OK)
        return s.Fail("checking the FRU at " + a->Format(), status);
    std::printf("%s: the common header is a valid IPMI FRU header\n", a->Format().c_str());
    return kExitOk;
}

const char* Help(const std::string& command) {
    if (command.empty())
        return "usage: orvane [options] COMMAND [operands]\n"
               "\n"
               "commands:\n"
               "  scan                     list the FRUs of the system\n"
               "  show [FRU]               every area and field (--file CFG: of a file)\n"
               "  get FRU FIELD            one field's value\n"
               "  set FRU FIELD VALUE ...  change fields; --commit and/or --save CFG\n"
               "  save FRU CFG             save a FRU as a configuration file\n"
               "  load CFG                 read a configuration file and show it\n"
               "  restore CFG              write a saved file back to its device\n"
               "  props                    the system properties\n"
               "  check ADDRESS            check the FRU header at an address\n"
               "\n"
               "FRU: a position (orvane scan), an address T:L:DA:B:CA:ID, or a name.\n"
               "FIELD: board.manufacturer, product.asset_tag, chassis.custom.2, "
               "internal.data, ...\n"
               "       or the field enumerator 1-17.\n"
               "\n"
               "options:\n"
               "  --system FILE        run on the simulated BMC described by FILE\n"
               "  --driver NAME|PATH   driver module (sim, freeipmi or a path)\n"
               "  --host HOST[:PORT]   BMC over the network; --user, --password-file FILE,\n"
               "                       --interface lan|lanplus\n"
               "  --lang L --locale C  catalogue language (e.g. --lang de --locale de)\n"
               "  --debug-level N      write DBGLOG.txt (1 failures, 3 every call)\n"
               "  --backup-dir DIR     where commits save what the device held\n"
               "  --json               JSON output (scan, show, load, props)\n"
               "  --help               this text, or a command's: orvane COMMAND --help\n"
               "\n"
               "exit codes: 0 done, 1 a library call failed, 2 bad command line,\n"
               "            3 refused (size, one-byte text, restore mismatch)\n";
    if (command == "scan")
        return "usage: orvane scan [--json]\n"
               "Scans the SDR repository, reads every FRU device (at most 17) and lists\n"
               "position, name, address and the areas present.\n";
    if (command == "show")
        return "usage: orvane show [FRU] [--json]   or   orvane show --file CFG [--json]\n"
               "Every area and field with title and value as the library renders them;\n"
               "internal use and multi-record areas as hex.\n";
    if (command == "get")
        return "usage: orvane get FRU FIELD   or   orvane get --file CFG FIELD\n";
    if (command == "set")
        return "usage: orvane set FRU FIELD VALUE [FIELD VALUE ...] (--commit | --save CFG)\n"
               "       orvane set --file CFG FIELD VALUE ... --save CFG\n"
               "Texts are stored as 8-bit text. board.mfg_date takes \"YYYY-MM-DD HH:MM\"\n"
               "(UTC), chassis.type a number, internal.data hex bytes of the same length.\n"
               "A one-byte text is refused unless --force (its type/length byte 0xC1 ends\n"
               "the area for every FRU reader). Before --commit the FRU's current contents\n"
               "are saved into the backup folder.\n";
    if (command == "save")
        return "usage: orvane save FRU CFG\n";
    if (command == "load")
        return "usage: orvane load CFG [--json]\n";
    if (command == "restore")
        return "usage: orvane restore CFG\n"
               "Writes a saved file's internal use, multi-record and field contents to the\n"
               "device at the file's address and commits, after saving a backup. Refuses\n"
               "when the device's areas differ in size from the file's.\n";
    if (command == "props")
        return "usage: orvane props [--json]\n";
    if (command == "check")
        return "usage: orvane check ADDRESS   (ADDRESS: T:L:DA:B:CA:ID, e.g. 2:0:20:00:20:00)\n";
    return nullptr;
}
} // namespace Commands
