#include "Commands.h"

#include "Backup.h"
#include "CommandSupport.h"
#include "RawImage.h"
#include "Render.h"
#include "SafeCommit.h"
#include "Text.h"
#include "Translate.h"
#include "decode/FieldEncoding.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace Commands {
int Set(Session& s, const Options& o) {
    const size_t first = o.SingleFru() ? 0 : 1;
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
    FruView view;
    if (!DescribeTarget(s, o, &o.operands[0], &position, &view))
        return kExitLibrary;
    if (!view.editable) {
        std::fprintf(stderr,
                     _("orvane: the FRU is damaged and shown from its raw bytes; it cannot be "
                       "changed (orvane show names the damaged areas)\n"));
        return kExitRefused;
    }
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
        const FieldView* target = FindField(view, field, name);
        if (!target)
            return kExitLibrary;
        // Custom fields are named in image order; the library reaches them
        // by the index of their value.
        const uint32_t index = target->valueIndex;
        const FieldNames::Field resolved{field.area, index, false, 0};
        if (!SelectNamedField(s, resolved, name))
            return kExitLibrary;
        std::vector<uint8_t> bytes;
        std::string problem;
        const std::string& value = o.operands[first + 2 * i + 1];
        if (!FieldBytes(field, index, value, &bytes, &problem)) {
            std::fprintf(stderr, "orvane: %s: %s\n", name.c_str(), problem.c_str());
            return kExitRefused;
        }
        // A text keeps the packed encoding its field uses when it can be
        // stored there; otherwise it becomes 8-bit text, and the user is told.
        uint8_t typeBits = FieldEncoding::TypeBits(FieldEncoding::Kind::Text);
        if (!target->encoding.empty() && target->encoding != "8bit_text") {
            const auto kind = target->encoding == "6bit_ascii" ? FieldEncoding::Kind::SixBitAscii
                              : target->encoding == "bcd_plus" ? FieldEncoding::Kind::BcdPlus
                                                               : FieldEncoding::Kind::Binary;
            const char* label = _(FieldEncoding::Label(kind));
            if (auto packed = FieldEncoding::Encode(kind, value)) {
                bytes = *packed;
                typeBits = FieldEncoding::TypeBits(kind);
                std::printf(_("%s: stored as %s, like the value it replaces\n"),
                            target->key.c_str(), label);
            } else {
                std::printf(_("%s: stored as 8-bit text; the value it replaces was %s, which "
                              "cannot hold \"%s\"\n"),
                            target->key.c_str(), label, value.c_str());
            }
        }
        if (int code = ApplyValue(s, o, resolved, target->key, bytes, typeBits))
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
