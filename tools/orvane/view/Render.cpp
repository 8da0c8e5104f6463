#include "view/Render.h"

#include "decode/FieldEncoding.h"
#include "decode/FruNames.h"
#include "decode/MultiRecords.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cwchar>

#include <string>

namespace Render {
namespace {
std::string AreaList(const FruView& fru) {
    std::string list;
    for (const auto& a : fru.areas)
        list += (list.empty() ? "" : ",") + a.key;
    return list.empty() ? "-" : list;
}

// Control characters as \xNN, so a library text of packed bytes cannot
// disturb the terminal.
std::string Visible(const std::string& utf8) {
    std::string out;
    for (unsigned char c : utf8) {
        if (c < 0x20 || c == 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::string EncodingLabel(const std::string& key) {
    for (uint8_t code = 0; code < 4; ++code) {
        const auto kind = static_cast<FieldEncoding::Kind>(code);
        if (key == FieldEncoding::Key(kind))
            return _(FieldEncoding::Label(kind));
    }
    return key;
}

std::string Language(int code) {
    const char* name = FruNames::Language(static_cast<uint8_t>(code));
    return (name ? std::string(_(name)) + " " : std::string()) + "(" + std::to_string(code) + ")";
}

// Each record with its checks, decoded items and bytes.
void Records(std::FILE* out, const std::vector<uint8_t>& data) {
    const auto chain = MultiRecords::Walk(data.data(), data.size());
    for (size_t i = 0; i < chain.records.size(); ++i) {
        const auto& r = chain.records[i];
        std::string checks;
        if (!r.headerChecksumOk)
            checks += std::string(", ") + _("header checksum wrong");
        if (!r.complete)
            checks += std::string(", ") + _("cut off");
        else if (!r.dataChecksumOk)
            checks += std::string(", ") + _("data checksum wrong");
        std::fprintf(out, "    %s %zu: %02Xh %s, %s %u%s%s\n", _("record"), i + 1, r.type,
                     _(MultiRecords::TypeLabel(r.type)), _("version"), r.version,
                     r.endOfList ? (std::string(", ") + _("last")).c_str() : "", checks.c_str());
        size_t width = 0;
        for (const auto& item : r.items)
            width = std::max(width, Text::Width(_(item.label.c_str())));
        for (const auto& item : r.items)
            std::fprintf(out, "      %s %s\n", Text::Padded(_(item.label.c_str()), width).c_str(),
                         item.value.c_str());
        std::fprintf(out, "      %s %s\n", Text::Padded(_("hex"), width).c_str(),
                     Text::Hex(r.bytes.data(), r.bytes.size()).c_str());
    }
    if (!chain.endOfListSeen)
        std::fprintf(out, "    %s\n", _("(no record is marked as the last one)"));
}

void AreaHeading(std::FILE* out, const AreaView& area) {
    std::fprintf(out, "  %s", area.name.c_str());
    if (area.kind >= ORVANE_AREA_CHASSIS && area.kind <= ORVANE_AREA_PRODUCT &&
        area.problem.empty())
        std::fprintf(out, _(" (%u bytes free)"), area.room);
    if (area.hasData)
        std::fprintf(out, _(" (%zu bytes)"), area.data.size());
    std::fprintf(out, _(" at offset %u"), area.offset);
    if (area.formatVersion >= 0)
        std::fprintf(out, _(", format %d"), area.formatVersion);
    if (area.languageCode >= 0)
        std::fprintf(out, ", %s %s", _("language"), Language(area.languageCode).c_str());
    std::fprintf(out, "\n");
    if (!area.problem.empty())
        std::fprintf(out, "    %s: %s\n", _("DAMAGED"), area.problem.c_str());
    for (const auto& p : area.problems)
        std::fprintf(out, "    %s: %s\n", _("problem"), p.text.c_str());
}
} // namespace

void ScanLine(std::FILE* out, const FruView& fru) {
    std::fprintf(out, "%3u  %s %-18s %s\n", fru.position,
                 Text::Padded(fru.name.empty() ? "(no name)" : fru.name, 20).c_str(),
                 fru.address.Format().c_str(), AreaList(fru).c_str());
}

void Plain(std::FILE* out, const FruView& fru) {
    const char* name = fru.name.empty() ? _("(no name)") : fru.name.c_str();
    if (fru.listed)
        std::fprintf(out, _("FRU %u: %s at %s\n"), fru.position, name,
                     fru.address.Format().c_str());
    else
        std::fprintf(out, _("FRU device %s at %s\n"), name, fru.address.Format().c_str());
    if (!fru.editable)
        std::fprintf(out, "  %s\n", _("damaged: shown from its raw bytes, not editable"));
    if (!fru.problem.empty())
        std::fprintf(out, "  %s\n", fru.problem.c_str());
    for (const auto& p : fru.problems)
        std::fprintf(out, "  %s: %s\n", _("problem"), p.text.c_str());
    if (!fru.header.empty())
        std::fprintf(out, "  %s: %s\n", _("common header"),
                     Text::Hex(fru.header.data(), fru.header.size()).c_str());
    for (const auto& area : fru.areas) {
        AreaHeading(out, area);
        if (area.kind == ORVANE_AREA_MULTIRECORD) {
            Records(out, area.data);
            continue;
        }
        if (area.fields.empty() && area.hasData)
            std::fprintf(out, "    %s\n", Text::Hex(area.data.data(), area.data.size()).c_str());
        for (const auto& f : area.fields) {
            std::string line = "    " + Text::Padded(f.key, 24) + " " + Text::Padded(f.title, 28) +
                               " " + Visible(f.decoded);
            std::string notes;
            if (!f.encoding.empty() && f.encoding != "8bit_text")
                notes = EncodingLabel(f.encoding);
            if (f.value != f.decoded && (!f.encoding.empty() && f.encoding != "8bit_text"))
                notes += std::string("; ") + _("library text") + " \"" + Visible(f.value) + "\"";
            if (f.salvaged)
                notes += (notes.empty() ? "" : "; ") + std::string(_("salvaged"));
            if (!notes.empty())
                line += "  [" + notes + "]";
            std::fprintf(out, "%s\n", line.c_str());
        }
    }
}

namespace {
// ", \"problems\": [...]" of a damaged image or area; "" when there are none.
std::string JsonProblems(const std::vector<ProblemView>& problems) {
    if (problems.empty())
        return "";
    std::string text = ", \"problems\": [";
    for (size_t i = 0; i < problems.size(); ++i)
        text += std::string(i ? ", " : "") + "{\"code\": \"" + problems[i].key +
                "\", \"text\": " + Text::JsonString(problems[i].text) + "}";
    return text + "]";
}

// The records one by one, each with its checks, items and bytes.
void JsonRecords(std::FILE* out, const std::vector<uint8_t>& data) {
    const auto chain = MultiRecords::Walk(data.data(), data.size());
    std::fprintf(out, ", \"end_of_list\": %s, \"records\": [",
                 chain.endOfListSeen ? "true" : "false");
    for (size_t i = 0; i < chain.records.size(); ++i) {
        const auto& r = chain.records[i];
        std::fprintf(out,
                     "%s\n          {\"type\": %u, \"type_name\": \"%s\", \"version\": %u, "
                     "\"last\": %s, \"header_checksum_ok\": %s, \"data_checksum_ok\": %s, "
                     "\"complete\": %s, \"hex\": \"%s\", \"fields\": {",
                     i ? "," : "", r.type, MultiRecords::TypeKey(r.type), r.version,
                     r.endOfList ? "true" : "false", r.headerChecksumOk ? "true" : "false",
                     r.dataChecksumOk ? "true" : "false", r.complete ? "true" : "false",
                     Text::Hex(r.bytes.data(), r.bytes.size()).c_str());
        for (size_t k = 0; k < r.items.size(); ++k)
            std::fprintf(out, "%s\"%s\": %s", k ? ", " : "", r.items[k].key.c_str(),
                         Text::JsonString(r.items[k].value).c_str());
        std::fprintf(out, "}}");
    }
    std::fprintf(out, "%s]", chain.records.empty() ? "" : "\n        ");
}
} // namespace

void Json(std::FILE* out, const std::vector<FruView>& frus, const std::string& member) {
    std::fprintf(out, "{\n  \"frus\": [");
    for (size_t i = 0; i < frus.size(); ++i) {
        const FruView& fru = frus[i];
        const FruAddress& a = fru.address;
        std::fprintf(out, "%s\n    {\n", i ? "," : "");
        const std::string position = fru.listed ? std::to_string(fru.position) : "null";
        std::fprintf(out, "      \"position\": %s,\n      \"name\": %s,\n", position.c_str(),
                     Text::JsonString(fru.name).c_str());
        std::fprintf(out,
                     "      \"address\": {\"text\": \"%s\", \"nvs_type\": %u, \"lun\": %u, "
                     "\"device_address\": %u, \"bus\": %u, \"controller\": %u, "
                     "\"device_id\": %u},\n",
                     a.Format().c_str(), a.nvsType, a.lun, a.deviceAddress, a.bus, a.controller,
                     a.deviceId);
        std::fprintf(out, "      \"editable\": %s,\n", fru.editable ? "true" : "false");
        if (!fru.problem.empty())
            std::fprintf(out, "      \"problem\": %s,\n", Text::JsonString(fru.problem).c_str());
        if (!fru.problems.empty())
            std::fprintf(out, "      %s,\n", JsonProblems(fru.problems).substr(2).c_str());
        std::fprintf(out, "      \"common_header\": \"%s\",\n      \"areas\": [",
                     Text::Hex(fru.header.data(), fru.header.size()).c_str());
        for (size_t k = 0; k < fru.areas.size(); ++k) {
            const AreaView& area = fru.areas[k];
            std::fprintf(out, "%s\n        {\"kind\": \"%s\", \"name\": %s", k ? "," : "",
                         area.key.c_str(), Text::JsonString(area.name).c_str());
            if (area.hasData)
                std::fprintf(out, ", \"hex\": \"%s\"",
                             Text::Hex(area.data.data(), area.data.size()).c_str());
            if (area.kind >= ORVANE_AREA_CHASSIS && area.kind <= ORVANE_AREA_PRODUCT)
                std::fprintf(out, ", \"free_bytes\": %u", area.room);
            std::fprintf(out, ", \"offset\": %u", area.offset);
            if (area.formatVersion >= 0)
                std::fprintf(out, ", \"format_version\": %d", area.formatVersion);
            if (area.languageCode >= 0) {
                const char* language = FruNames::Language(static_cast<uint8_t>(area.languageCode));
                std::fprintf(out, ", \"language\": {\"code\": %d, \"name\": %s}", area.languageCode,
                             language ? Text::JsonString(language).c_str() : "null");
            }
            if (area.chassisType >= 0)
                std::fprintf(out, ", \"chassis_type\": %d", area.chassisType);
            if (!area.problem.empty())
                std::fprintf(out, ", \"problem\": %s", Text::JsonString(area.problem).c_str());
            std::fprintf(out, "%s", JsonProblems(area.problems).c_str());
            if (area.kind == ORVANE_AREA_MULTIRECORD)
                JsonRecords(out, area.data);
            if (area.kind != ORVANE_AREA_MULTIRECORD) {
                std::fprintf(out, ", \"fields\": [");
                for (size_t f = 0; f < area.fields.size(); ++f) {
                    const FieldView& field = area.fields[f];
                    std::fprintf(
                        out, "%s\n          {\"name\": \"%s\", \"title\": %s, \"value\": %s",
                        f ? "," : "", field.key.c_str(), Text::JsonString(field.title).c_str(),
                        Text::JsonString(field.value).c_str());
                    if (field.hasBytes)
                        std::fprintf(out, ", \"hex\": \"%s\"",
                                     Text::Hex(field.bytes.data(), field.bytes.size()).c_str());
                    std::fprintf(out, ", \"decoded\": %s", Text::JsonString(field.decoded).c_str());
                    if (!field.encoding.empty())
                        std::fprintf(out, ", \"encoding\": \"%s\"", field.encoding.c_str());
                    if (!field.iso8601.empty())
                        std::fprintf(out, ", \"iso8601\": \"%s\"", field.iso8601.c_str());
                    if (field.salvaged)
                        std::fprintf(out, ", \"salvaged\": true");
                    std::fprintf(out, "}");
                }
                std::fprintf(out, "%s]", area.fields.empty() ? "" : "\n        ");
            }
            std::fprintf(out, "}");
        }
        std::fprintf(out, "%s]\n    }", fru.areas.empty() ? "" : "\n      ");
    }
    std::fprintf(out, "%s]%s%s\n}\n", frus.empty() ? "" : "\n  ", member.empty() ? "" : ",\n  ",
                 member.c_str());
}
} // namespace Render
