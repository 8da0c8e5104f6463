#include "cmd/CommandTable.h"

#include "cmd/Commands.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <iterator>
#include <span>

namespace Commands {
namespace {
// scan, show and inventory over many BMCs.
constexpr uint32_t kFleet = kHosts | kHostsFile | kFanout | kHostTimeout;

const Command kCommands[] = {
    {"scan",
     Scan,
     nullptr,
     {0, 0, N_("takes no operands")},
     0,
     {},
     kJson | kFleet,
     N_("usage: orvane scan [--json]\n"
        "Scans the SDR repository, reads every FRU device (at most 17) and lists\n"
        "position, id:N (the BMC's logical FRU devices), name, address and the areas\n"
        "present. Every located device has a position in SDR order, read or not, so\n"
        "positions do not move when a device fails; one that was not read is marked\n"
        "and listed again with the library's reason: as damaged when its bytes read\n"
        "but the library refuses the image (JSON: \"damaged\"), else as unreadable\n"
        "(JSON: \"unreadable\"); the exit code is then 4. When no SDR record names\n"
        "the BMC's FRU device 0, it is read by its address and, when it answers,\n"
        "listed last as found without an SDR record.\n"),
     Access::kReads},
    {"show",
     Show,
     nullptr,
     {0, 1, N_("takes one FRU, or --file CFG, or --image FILE.bin")},
     kFile | kImage,
     {0, 0, N_("takes one FRU, or --file CFG, or --image FILE.bin")},
     kJson | kStrict | kFile | kImage | kFleet,
     N_("usage: orvane show [FRU] [--json]   or   orvane show --file CFG [--json]\n"
        "Every area and field with title and value as the library renders them;\n"
        "internal use and multi-record areas as hex. A damaged device (or image)\n"
        "is shown from its raw bytes, not editable: each area the library refuses\n"
        "with what is wrong with it (checksums stored and computed, declared and\n"
        "readable length, a missing end marker, an overlap) and every field that\n"
        "can still be read, marked salvaged; --strict shows only what the library\n"
        "accepts. Damaged and unreadable devices are listed at the end, and the exit\n"
        "code is then 4, as it is for a damaged image.\n"),
     Access::kReads},
    {"get",
     Get,
     nullptr,
     {2, 2, N_("takes FRU FIELD")},
     kFile | kImage,
     {1, 1, N_("takes FIELD with --file or --image")},
     kJson | kFile | kImage,
     N_("usage: orvane get FRU FIELD [--json]   or   orvane get --file CFG FIELD [--json]\n"
        "Prints the field's value as show gives it; --json prints the field as\n"
        "show --json does, with the FRU's name and address. A FRU without the\n"
        "field or its area, or with that area damaged, exits 3 saying which.\n"),
     Access::kReads},
    {"set",
     Set,
     nullptr,
     {3, 255, N_("takes FRU FIELD VALUE [FIELD VALUE ...]"), true},
     kFile | kImage,
     {2, 255, N_("takes FRU FIELD VALUE [FIELD VALUE ...]"), true},
     kJson | kCommit | kSave | kForce | kRepack | kGrow | kShrink | kDryRun | kFile | kImage,
     N_("usage: orvane set FRU FIELD VALUE [FIELD VALUE ...] (--commit | --save CFG)\n"
        "       orvane set --file CFG FIELD VALUE ... --save CFG\n"
        "A text keeps its field's encoding when it can be stored in it (6-bit\n"
        "packed ASCII, BCD plus), else it is stored as 8-bit text; set says which.\n"
        "Every value get prints is taken back: board.mfg_date as get prints it, in\n"
        "ISO 8601 (2024-03-15T08:30Z, 2024-03-15 08:30, 2024-03-15; UTC) or in minutes\n"
        "since 1996; chassis.type by name or number; internal.data as hex bytes of the\n"
        "same length. An empty value (\"\") clears a text field.\n"
        "A one-byte text is refused unless --force (its type/length byte 0xC1 ends\n"
        "the area for every FRU reader). Before --commit the FRU's current contents\n"
        "are saved into the backup folder (a .cfg and a raw .bin), and the device\n"
        "is read back after the commit; a difference is rolled back.\n"
        "--commit is refused (exit 3, nothing written) when the common header\n"
        "places an area elsewhere than the commit writes it (the commit packs the\n"
        "areas from offset 8: internal use, chassis, board, product, multi-record)\n"
        "or the image would not fit the device; --repack rewrites the header to\n"
        "the packed layout and writes every area there.\n"
        "--grow gives an area that a value does not fit the fewest 8-byte blocks\n"
        "that hold it; --shrink gives back the blocks of padding it no longer\n"
        "needs. Every area stored behind it moves by as much, in its order and\n"
        "with its gaps, the common header follows, and the image is written raw,\n"
        "backed up and verified (any layout; refused when it would not fit the\n"
        "device).\n"
        "--dry-run shows the fields that would change and, with --commit, the device's\n"
        "bytes that would change (with --grow or --shrink also the old and new layout),\n"
        "after the same checks; nothing is written or saved.\n"
        "--json: standard output holds one object, like apply --json: \"fru\", \"address\",\n"
        "\"changed\", \"dry_run\", \"fields\" (each \"name\", \"old\", \"new\" as get prints\n"
        "them), \"areas\" (written, or that would be), \"committed\", \"saved\" (the CFG\n"
        "or null) and \"backup\" (the raw backup's path or null); set's other lines go\n"
        "to standard error.\n"),
     Access::kWritesWithCommit},
    {"save",
     Save,
     nullptr,
     {2, 2, N_("takes FRU CFG")},
     kImage,
     {1, 1, N_("takes CFG with --image")},
     kFile | kImage,
     N_("usage: orvane save FRU CFG\n"
        "The file is written beside CFG under a temporary name, read back through\n"
        "the library and compared, then renamed over CFG.\n"),
     Access::kReads},
    {"load",
     Load,
     nullptr,
     {1, 1, N_("takes CFG")},
     0,
     {},
     kJson,
     N_("usage: orvane load CFG [--json]\n"),
     Access::kReads},
    {"restore",
     Restore,
     nullptr,
     {1, 2, N_("takes CFG or FILE.bin")},
     0,
     {},
     kRepack | kForce | kDryRun,
     N_("usage: orvane restore CFG   or   orvane restore FILE.bin [FRU]\n"
        "CFG: writes a saved file's internal use, multi-record and field contents to\n"
        "the device at the file's address and commits, guarded, backed up and\n"
        "verified like set --commit. Refuses when the device's areas differ in size\n"
        "from the file's. A device whose image no longer reads gets the file's\n"
        "whole image. --repack as for set --commit.\n"
        "FILE.bin: writes the raw image like orvane write, to FRU or to the device\n"
        "named in the backup's record (FILE.json beside it) or in its older name\n"
        "(<time>-T-L-DA-B-CA-ID.bin), checked like orvane write (--force,\n"
        "--dry-run). A backup whose record names another origin (host, in-band,\n"
        "image file) or address than the target is refused (exit 3) unless --force.\n"),
     Access::kWrites},
    {"dump",
     Dump,
     nullptr,
     {2, 2, N_("takes FRU FILE.bin")},
     kImage,
     {1, 1, N_("takes FILE.bin with --image")},
     kImage,
     N_("usage: orvane dump FRU FILE.bin\n"
        "Saves the device's raw bytes: as many as Get FRU Inventory Area Info says\n"
        "it holds (256 for EEPROMs), else the extent of its image. FRU may name a\n"
        "device that could not be read (by its name or address).\n"),
     Access::kReads},
    {"build",
     Build,
     nullptr,
     {2, 2, N_("takes CFG FILE.bin, or --json IN.json FILE.bin")},
     0,
     {},
     kJson | kFru,
     N_("usage: orvane build CFG FILE.bin   or   orvane build --json IN.json FILE.bin\n"
        "Writes the binary image of a configuration file: the common header and every\n"
        "area at its header offset, gaps filled with FFh.\n"
        "--json: the image of a JSON description (IN.json, or - for standard input),\n"
        "checked against fru-input.schema.json. Either what show --json prints (one\n"
        "FRU, or the whole document with --fru N|NAME|ADDRESS), built byte for byte,\n"
        "a field whose value was edited stored as set would; or the short form\n"
        "{\"board\": {\"manufacturer\": \"Acme\", \"custom\": [\"rev A\"]}, ...}: the areas\n"
        "packed in the order internal, chassis, board, product, multirecord, each as\n"
        "long as its fields need, texts as 8-bit text unless {\"value\": ..., \"encoding\":\n"
        "\"6bit_ascii\"|\"bcd_plus\"|\"8bit_text\"}. Bad input exits 2 (not JSON, not the\n"
        "schema) or 3 (a value no FRU can store) naming its JSON path; no file is written.\n"),
     Access::kReads},
    {"apply",
     Apply,
     nullptr,
     {2, 2, N_("takes FRU DESIRED.json")},
     kImage,
     {1, 1, N_("takes DESIRED.json with --image")},
     kJson | kDryRun | kGrow | kImage | kFleet,
     N_("usage: orvane apply FRU DESIRED.json   or   orvane apply --image FILE.bin DESIRED.json\n"
        "Brings the FRU to the fields DESIRED.json names, in the short form of build\n"
        "--json ({\"product\": {\"asset_tag\": \"X\"}, \"chassis\": {\"serial_number\": ...}}).\n"
        "Each field is compared with the FRU; one that holds the value already is left\n"
        "alone, the others are set as set sets them (a packed encoding is kept when the\n"
        "value fits it) and committed, backed up and verified like set --commit; with\n"
        "--grow areas take the 8-byte blocks a value needs and the image is rebuilt\n"
        "like set --grow. Without --grow a value that does not fit is refused (exit 3,\n"
        "nothing written). Prints each changed field with its old and new value and\n"
        "\"changed: true\" or \"changed: false\" (--json: one object with \"changed\" and\n"
        "\"fields\"); a second run writes nothing. --dry-run: what would change,\n"
        "nothing written. --hosts: every host, one JSON line each, like scan.\n"),
     Access::kWrites},
    {"write",
     Write,
     nullptr,
     {2, 2, N_("takes FRU FILE.bin")},
     0,
     {},
     kForce | kDryRun,
     N_("usage: orvane write FRU FILE.bin\n"
        "Writes a raw image from offset 0, after the backup, and reads it back;\n"
        "a difference is rolled back from the backup. An image without a valid\n"
        "common header, or with a declared area that does not read (as show --image\n"
        "shows it), is refused (exit 3) unless --force. --dry-run lists what the\n"
        "write would change, area by area, and writes nothing. A position whose\n"
        "device was not read is refused; its address or id:N names it on purpose.\n"),
     Access::kWrites},
    {"repair",
     Repair,
     nullptr,
     {1, 1, N_("takes one FRU, or --image FILE.bin")},
     kImage,
     {0, 0, N_("takes one FRU, or --image FILE.bin")},
     kDryRun | kImage,
     N_("usage: orvane repair FRU [--dry-run]   or   orvane repair --image FILE.bin [--dry-run]\n"
        "Makes a damaged FRU image whole again where the fix is unambiguous, and says\n"
        "each fix: the common header's checksum; an info area's checksum when its\n"
        "fields reach the end marker inside the area; an info area's length byte when\n"
        "the end marker and checksum fit fewer 8-byte blocks and the shorter area\n"
        "stays clear of the next area (it is never grown); multi-record header and\n"
        "data checksums and the last record's end-of-list bit when the records chain\n"
        "cleanly. Anything else (no end marker, overlapping areas, an unknown format\n"
        "version, an area past the device) is refused with exit 3 and nothing is\n"
        "written. The repaired image is written like orvane write: backup, the bytes\n"
        "that differ, read back and compared, rolled back on a difference. The field\n"
        "values stay what orvane show read from the damaged bytes. --dry-run prints\n"
        "the fixes and the bytes that would change.\n"),
     Access::kWrites},
    {"props",
     Props,
     nullptr,
     {0, 0, N_("takes no operands")},
     0,
     {},
     kJson,
     N_("usage: orvane props [--json]\n"),
     Access::kReads},
    {"check",
     Check,
     nullptr,
     {1, 1, N_("takes ADDRESS")},
     0,
     {},
     kJson,
     N_("usage: orvane check ADDRESS [--json]   (ADDRESS: T:L:DA:B:CA:ID, e.g. "
        "2:0:20:00:20:00)\n"),
     Access::kReads},
    {"inventory",
     nullptr,
     Inventory,
     {0, 0, N_("over --hosts takes no FRU, no operands and no --file")},
     0,
     {},
     kFleet | kOut,
     N_("usage: orvane inventory (--hosts LIST | --hosts-file FILE) [--out FILE.jsonl]\n"
        "           [--fanout N] [--host-timeout S] [--user U --password-file F]\n"
        "Reads every host's FRUs, a worker process per host, and writes one JSON line\n"
        "per host in the order they finish: host, status (ok, partial, failed,\n"
        "timeout), exit_code, error, duration (s) and the FRUs as show --json gives\n"
        "them. --hosts with scan or show does the same for those commands; without\n"
        "--json their text is grouped per host, identical results shown once.\n"
        "Exit code 5 when some host did not answer in full.\n"),
     Access::kReads},
    {"diff",
     nullptr,
     Diff,
     {2, 2, N_("takes OLD.jsonl NEW.jsonl")},
     0,
     {},
     kJson,
     N_("usage: orvane diff OLD.jsonl NEW.jsonl [--json]\n"
        "Per host, the FRUs added and removed (by address) and the fields changed.\n"
        "Exit code 0 no differences, 1 differences, 2 trouble.\n"),
     Access::kReads},
    {"backups",
     nullptr,
     Backups,
     {0, 1, N_("takes list or prune")},
     0,
     {},
     kJson | kKeep | kOlderThan,
     N_("usage: orvane backups [list] [--json]\n"
        "       orvane backups prune --keep N [--older-than DAYS]\n"
        "list: the backups in the backup folder, newest first: origin (the host,\n"
        "in-band, the image file or the simulated system), address, FRU name, size\n"
        "and UTC time, then the raw image's path.\n"
        "prune: keeps the N newest backups and the newest backup of every FRU\n"
        "(origin and address), and removes the others, oldest included; with\n"
        "--older-than only those older than DAYS days.\n"),
     Access::kReads},
    {"__complete",
     Complete,
     nullptr,
     {1, 2, N_("takes frus, or fields FRU")},
     kFile | kImage,
     {1, 1, N_("takes fields with --file or --image")},
     kFile | kImage,
     N_("usage: orvane __complete frus | fields FRU\n"
        "For the shell completion scripts: the names of the system's FRUs, or the\n"
        "field names of a FRU, one a line.\n"),
     Access::kReads},
};

// Every option of the table: its bit, its name and its help line.
struct OptionText {
    Option bit;
    const char* name;
    const char* help; // N_
};
const OptionText kOptions[] = {
    {kJson, "--json", N_("  --json               JSON output\n")},
    {kCommit, "--commit", N_("  --commit             write the change to the device\n")},
    {kSave, "--save", N_("  --save CFG           write the changed FRU to a configuration file\n")},
    {kForce, "--force",
     N_("  --force              all the same: store a one-byte text, write an image\n"
        "                       that does not read, restore another origin's backup\n")},
    {kStrict, "--strict", N_("  --strict             show only what the library accepts\n")},
    {kRepack, "--repack",
     N_("  --repack             move the areas to where the commit writes them and\n"
        "                       rewrite the header to match\n")},
    {kGrow, "--grow", N_("  --grow               give an area the 8-byte blocks a value needs\n")},
    {kShrink, "--shrink", N_("  --shrink             give back an area's unused 8-byte blocks\n")},
    {kDryRun, "--dry-run",
     N_("  --dry-run            show the fields and bytes that would change, write\n"
        "                       nothing (set, write, restore FILE.bin, repair, apply)\n")},
    {kFile, "--file", N_("  --file CFG           the FRU of a configuration file\n")},
    {kImage, "--image", N_("  --image FILE.bin     a raw FRU image file as the one FRU\n")},
    {kHosts, "--hosts", N_("  --hosts LIST         many BMCs: bmc[01-64].net,10.1.2.3\n")},
    {kHostsFile, "--hosts-file",
     N_("  --hosts-file FILE    a host a line: HOST[:PORT] [USER PASSWORD-FILE\n"
        "                       [CIPHER-SUITE [KG-FILE]]] (\"-\": the shared one)\n")},
    {kFanout, "--fanout", N_("  --fanout N           BMCs read at once (default 32)\n")},
    {kHostTimeout, "--host-timeout",
     N_("  --host-timeout S     seconds one BMC may take (default 60)\n")},
    {kOut, "--out", N_("  --out FILE           write the JSON lines to FILE\n")},
    {kKeep, "--keep", N_("  --keep N             backups prune: keep the N newest backups\n")},
    {kOlderThan, "--older-than",
     N_("  --older-than DAYS    backups prune: remove only backups older than DAYS\n")},
    {kFru, "--fru", N_("  --fru N|NAME|ADDRESS the FRU of a whole show --json document\n")},
};

// Every command takes these.
const char* const kGlobal[] = {"--driver",          "--system",     "--host",      "--user",
                               "--password-file",   "--interface",  "--lang",      "--locale",
                               "--debug-level",     "--backup-dir", "--help",      "--cipher-suite",
                               "--kg-file",         "--privilege",  "--auth-type", "--insecure",
                               "--password-prompt", "--progress",   "--quiet",     "--version"};
constexpr const char* kGlobalHelp =
    N_("global options:\n"
       "  --system FILE        run on the simulated BMC described by FILE\n"
       "  --driver NAME|PATH   driver module (sim, freeipmi or a path)\n"
       "  --host HOST[:PORT]   BMC over the network; --user, --password-file FILE,\n"
       "                       --interface lan|lanplus\n"
       "  --lang L --locale C  catalogue language (e.g. --lang de --locale de)\n"
       "  --debug-level N      write DBGLOG.txt (1 failures, 3 every call)\n"
       "  --backup-dir DIR     where commits save what the device held\n"
       "  --progress           progress on standard error even when it is no terminal\n"
       "  --quiet              nothing but results and errors\n"
       "  --version, -V        the command's and the library's versions\n"
       "  --help, -h           this text\n");
// Every command takes these too: the BMC session's security.
constexpr const char* kSessionHelp =
    N_("BMC session options:\n"
       "  --password-prompt    ask for the password (no echo); else ORVANE_PASSWORD\n"
       "  --cipher-suite N     LAN+ cipher suite (default: the strongest the BMC offers)\n"
       "  --kg-file FILE       the BMC key K_g, as text or 0x hex\n"
       "  --privilege LEVEL    user, operator or admin (default: what the command needs)\n"
       "  --auth-type TYPE     --interface lan: md5 (default), md2, straight, none\n"
       "  --insecure           allow weak suites and auth types, open credential files\n");

bool Takes(const Command& command, const std::string& option) {
    for (const char* name : kGlobal)
        if (option == name)
            return true;
    for (const OptionText& o : kOptions)
        if (option == o.name)
            return (command.options & o.bit) != 0;
    return false;
}

bool Given(const Options& o, uint32_t bits) {
    for (const std::string& option : o.given)
        for (const OptionText& known : kOptions)
            if ((bits & known.bit) && option == known.name)
                return true;
    return false;
}
} // namespace

const Command* Find(const std::string& name) {
    for (const Command& c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const Command& c : kCommands)
        if (!Hidden(c))
            names.push_back(c.name);
    return names;
}

// The overview's commands and names, and what writes do and the exit codes.
constexpr const char* kOverviewCommands =
    N_("usage: orvane [options] COMMAND [operands]\n"
       "\n"
       "commands:\n"
       "  scan                     list the FRUs of the system\n"
       "  show [FRU]               every area and field (--file CFG: of a file)\n"
       "  get FRU FIELD            one field's value\n"
       "  set FRU FIELD VALUE ...  change fields; --commit and/or --save CFG\n"
       "  save FRU CFG             save a FRU as a configuration file\n"
       "  load CFG                 read a configuration file and show it\n"
       "  restore CFG|FILE.bin     write a backup back to its device\n"
       "  dump FRU FILE.bin        save the device's raw bytes\n"
       "  build CFG FILE.bin       write the binary image of a configuration file\n"
       "  build --json IN FILE.bin the image of a JSON FRU (show --json or by hand)\n"
       "  write FRU FILE.bin       write a raw image to the device\n"
       "  apply FRU DESIRED.json   bring fields to a desired state; tells \"changed\"\n"
       "  repair FRU               fix the checksums and lengths of a damaged FRU\n"
       "  props                    the system properties\n"
       "  check ADDRESS            check the FRU header at an address\n"
       "  inventory --hosts LIST   every host's FRUs as JSON Lines (--out FILE)\n"
       "  diff OLD NEW             what changed between two inventories\n"
       "  backups [list|prune]     the backups, newest first; prune --keep N\n"
       "\n"
       "FRU: a position (orvane scan; every located device has one), id:N (the BMC's\n"
       "     FRU device N), an address T:L:DA:B:CA:ID, or a name.\n"
       "FIELD: board.manufacturer, product.asset_tag, chassis.custom.2, internal.data, ...\n"
       "       or the field enumerator 1-17.\n"
       "\n");
constexpr const char* kOverviewClosing =
    N_("Every write (set --commit, restore, write) first reads the device twice\n"
       "(the reads must agree) and saves it as a raw image, with its origin,\n"
       "address, name and time, and as a configuration file where one can hold\n"
       "it, into the backup folder; it reads the device back afterwards and,\n"
       "when a written byte differs, writes the backup's bytes back there.\n"
       "\n"
       "exit codes: 0 done; 1 a library, driver or system call failed (the reason\n"
       "            on standard error); 2 bad command line; 3 refused by the\n"
       "            command's checks (layout, size, one-byte text, restore\n"
       "            mismatch, a repair that would guess), or the FRU has no\n"
       "            such field or area, or that area is damaged; nothing\n"
       "            written; 4 partial: scan or show listed FRU devices that are\n"
       "            damaged or could not be read, or show --image read a damaged\n"
       "            image; 5 over --hosts: some hosts failed (the others' results\n"
       "            are given)\n"
       "With --json a failure prints {\"error\", \"status\", \"exit_code\"} on\n"
       "standard output; JSON is English and UTF-8 whatever the locale.\n");

std::span<const Command> All() {
    return kCommands;
}

std::vector<std::string> OptionNames(const Command& command) {
    std::vector<std::string> names;
    for (const OptionText& o : kOptions)
        if (command.options & o.bit)
            names.push_back(o.name);
    names.insert(names.end(), std::begin(kGlobal), std::end(kGlobal));
    return names;
}

OverviewText OverviewParts() {
    std::string options = _("options:\n");
    for (const OptionText& o : kOptions)
        options += _(o.help);
    options += _(kGlobalHelp);
    options += _(kSessionHelp);
    return {_(kOverviewCommands), options, _(kOverviewClosing)};
}

// The overview: the commands, then every option once, from the option table
// and the global options' block that each command's help prints too.
std::string Overview() {
    const OverviewText parts = OverviewParts();
    return parts.commands + parts.options + "\n" + parts.closing;
}

std::string Help(const Command& command, bool withGlobal) {
    std::string text = _(command.help);
    if (command.options) {
        text += _("options:\n");
        for (const OptionText& o : kOptions)
            if (command.options & o.bit)
                text += _(o.help);
    }
    return withGlobal ? text + _(kGlobalHelp) + _(kSessionHelp) : text;
}

std::string OptionMisfit(const Command& command, const Options& o) {
    for (const std::string& option : o.given)
        if (!Takes(command, option))
            return Text::Format(_("takes no option %s"), option.c_str());
    return "";
}

const char* LeastPrivilege(const Command& command, const Options& o) {
    const bool writes = command.access == Access::kWrites ||
                        (command.access == Access::kWritesWithCommit && o.commit);
    return writes ? "operator" : "user";
}

std::string OperandMisfit(const Command& command, const Options& o) {
    const Operands& counts =
        command.namedBy && Given(o, command.namedBy) ? command.named : command.operands;
    const size_t n = o.operands.size();
    if (n < counts.min || n > counts.max || (counts.pairs && (n - counts.min) % 2 != 0))
        return _(counts.problem);
    return "";
}
} // namespace Commands
