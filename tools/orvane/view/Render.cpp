#include "view/Render.h"

#include "decode/FieldEncoding.h"
#include "decode/FruNames.h"
#include "decode/MultiRecords.h"
#include "view/JsonWriter.h"
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
}
} // namespace

void ScanLine(std::FILE* out, const FruView& fru) {
    const std::string id = Positions::IdName(fru.address);
    std::string areas = AreaList(fru);
    if (!fru.state.empty())
        areas = std::string("[") + (fru.state == "damaged" ? _("damaged") : _("unreadable")) + "]";
    if (fru.withoutRecord)
        areas += std::string("  (") + _("no SDR record") + ")";
    std::fprintf(out, "%3u  %s %s %-18s %s\n", fru.position,
                 Text::Padded(id.empty() ? "-" : id, 6).c_str(),
                 Text::Padded(fru.name.empty() ? "(no name)" : fru.name, 20).c_str(),
                 fru.address.Format().c_str(), areas.c_str());
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
    if (fru.withoutRecord)
        std::fprintf(out, "  %s\n", _("found without an SDR record"));
    if (!fru.problem.empty())
        std::fprintf(out, "  %s\n", fru.problem.c_str());
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
            if (!notes.empty())
                line += "  [" + notes + "]";
            std::fprintf(out, "%s\n", line.c_str());
        }
    }
}

namespace {
using JsonWriter::Value;

// The records one by one, each with its checks, items and bytes.
void JsonRecords(const std::vector<uint8_t>& data, Value* area) {
    const auto chain = MultiRecords::Walk(data.data(), data.size());
    (*area)["end_of_list"] = chain.endOfListSeen;
    Value records = Value::array();
    for (const auto& r : chain.records) {
        Value items = Value::object();
        for (const auto& item : r.items)
            items[item.key] = item.value;
        records.push_back({{"type", r.type},
                           {"type_name", MultiRecords::TypeKey(r.type)},
                           {"version", r.version},
                           {"last", r.endOfList},
                           {"header_checksum_ok", r.headerChecksumOk},
                           {"data_checksum_ok", r.dataChecksumOk},
                           {"complete", r.complete},
                           {"hex", Text::Hex(r.bytes.data(), r.bytes.size())},
                           {"fields", std::move(items)}});
    }
    (*area)["records"] = std::move(records);
}

Value JsonField(const FieldView& field) {
    Value f = {{"name", field.key}, {"title", field.title}, {"value", field.value}};
    if (field.hasBytes)
        f["hex"] = Text::Hex(field.bytes.data(), field.bytes.size());
    f["decoded"] = field.decoded;
    if (!field.encoding.empty())
        f["encoding"] = field.encoding;
    if (!field.iso8601.empty())
        f["iso8601"] = field.iso8601;
    return f;
}

Value JsonArea(const AreaView& area) {
    Value a = {{"kind", area.key}, {"name", area.name}};
    if (area.hasData)
        a["hex"] = Text::Hex(area.data.data(), area.data.size());
    if (area.kind >= ORVANE_AREA_CHASSIS && area.kind <= ORVANE_AREA_PRODUCT)
        a["free_bytes"] = area.room;
    a["offset"] = area.offset;
    if (area.formatVersion >= 0)
        a["format_version"] = area.formatVersion;
    if (area.languageCode >= 0) {
        const char* language = FruNames::Language(static_cast<uint8_t>(area.languageCode));
        a["language"] = {{"code", area.languageCode},
                         {"name", language ? Value(language) : Value(nullptr)}};
    }
    if (area.chassisType >= 0)
        a["chassis_type"] = area.chassisType;
    if (!area.problem.empty())
        a["problem"] = area.problem;
    if (area.kind == ORVANE_AREA_MULTIRECORD) {
        JsonRecords(area.data, &a);
        return a;
    }
    Value fields = Value::array();
    for (const auto& field : area.fields)
        fields.push_back(JsonField(field));
    a["fields"] = std::move(fields);
    return a;
}

Value JsonFru(const FruView& fru) {
    const FruAddress& a = fru.address;
    const std::string id = Positions::IdName(fru.address);
    Value f = {{"position", fru.listed ? Value(fru.position) : Value(nullptr)},
               {"id", id.empty() ? Value(nullptr) : Value(id)},
               {"name", fru.name}};
    if (fru.withoutRecord)
        f["sdr_record"] = false;
    f["address"] = JsonAddress(a);
    f["editable"] = fru.editable;
    if (!fru.problem.empty())
        f["problem"] = fru.problem;
    f["common_header"] = Text::Hex(fru.header.data(), fru.header.size());
    Value areas = Value::array();
    for (const auto& area : fru.areas)
        areas.push_back(JsonArea(area));
    f["areas"] = std::move(areas);
    return f;
}
} // namespace

JsonWriter::Value JsonAddress(const FruAddress& a) {
    return {{"text", a.Format()},     {"nvs_type", a.nvsType},
            {"lun", a.lun},           {"device_address", a.deviceAddress},
            {"bus", a.bus},           {"controller", a.controller},
            {"device_id", a.deviceId}};
}

void Json(std::FILE* out, const std::vector<FruView>& frus, const JsonWriter::Value& members) {
    Value document = {{"frus", Value::array()}};
    for (const auto& fru : frus)
        document["frus"].push_back(JsonFru(fru));
    for (const auto& [key, member] : members.items())
        document[key] = member;
    static const JsonWriter::Layout layout{
        true, {"frus", "areas", "fields", "records"}, {"frus"}, {"unreadable"}};
    std::fputs(JsonWriter::Write(document, layout).c_str(), out);
}
} // namespace Render
