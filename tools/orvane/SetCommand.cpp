#include "Commands.h"

#include "Backup.h"
#include "CommandSupport.h"
#include "RawImage.h"
#include "Render.h"
#include "SafeCommit.h"
#include "Text.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
int Set(Session& s, const Options& o) {
    const size_t first = o.file.empty() ? 1 : 0;
    if (o.operands.size() < first + 2 || (o.operands.size() - first) % 2 != 0)
        return Usage("set", "takes FRU FIELD VALUE [FIELD VALUE ...]");
    if (!o.commit && o.save.empty())
        return Usage("set", "needs --commit (to the device) or --save CFG (to a file)");
    if (o.repack && !o.commit)
        return Usage("set", "--repack moves the areas on the device; it needs --commit");
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
    FruAddress address;
    s.SelectedAddress(&address);
    // A gap layout is refused before anything is saved; a refusal after the
    // backup removes it again (PendingBackup).
    PendingBackup backup;
    if (o.commit && !o.repack)
        if (int code = SafeCommit::GuardLayout(address, 0))
            return code;
    if (o.commit)
        if (int code = TakeBackup(s, o, address, &position, &backup))
            return code;
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
    if (o.repack && !CoreAccess::RepackSelected()) {
        std::fprintf(stderr, "orvane: the areas do not fit a common header when packed from "
                             "offset 8; nothing was written\n");
        return kExitRefused;
    }
    if (o.commit)
        if (int code = SafeCommit::GuardLayout(address, RawImage::KnownDeviceSize(address)))
            return code;
    if (!o.save.empty()) {
        const uint32_t list = o.file.empty() ? ORVANE_LIST_SYSTEM : ORVANE_LIST_FILE;
        if (int code = SaveFruVerified(s, o.save, list, position))
            return code;
        std::printf("saved to %s\n", o.save.c_str());
    }
    return o.commit ? SafeCommit::Commit(s, address, backup) : kExitOk;
}
} // namespace Commands
