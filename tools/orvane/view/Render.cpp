#include "view/Render.h"

#include "decode/FieldEncoding.h"
#include "decode/FruNames.h"
#include "decode/MultiRecords.h"
#include "view/FieldNames.h"
#include "view/FruViews.h"
#include "view/JsonWriter.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <cwchar>

#include <string>

namespace Render {
namespace {
std::string AreaList(const FruView& fru) {
    std::string list;
    for (const auto& a : fru.image.areas)
        list += (list.empty() ? "" : ",") + std::string(FieldNames::AreaKey(a.kind));
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

// One line for each thing wrong with a damaged image or area.
void ProblemLines(std::FILE* out, const char* indent, const std::vector<Salvage::Problem>& list) {
    for (const auto& p : list)
        std::fprintf(out, "%s%s: %s\n", indent, _("problem"), p.text.c_str());
}

void AreaHeading(std::FILE* out, const FruView& fru, const ImageModel::AreaImage& area) {
    std::fprintf(out, "  %s", FruViews::Utf8(area.name).c_str());
    const std::string problem = FruViews::ProblemText(area);
    if (FruViews::Info(area) && problem.empty())
        std::fprintf(out, _(" (%u bytes free)"), FruViews::Room(area));
    if (!FruViews::Info(area))
        std::fprintf(out, _(" (%zu bytes)"), area.bytes.size());
    std::fprintf(out, _(" at offset %u"), area.offset);
    if (const int version = FruViews::FormatVersion(area); version >= 0)
        std::fprintf(out, _(", format %d"), version);
    if (const int language = FruViews::LanguageCode(area); language >= 0)
        std::fprintf(out, ", %s %s", _("language"), Language(language).c_str());
    std::fprintf(out, "\n");
    if (!problem.empty())
        std::fprintf(out, "    %s: %s\n", _("DAMAGED"), problem.c_str());
    ProblemLines(out, "    ", FruViews::Problems(fru, area));
}

// One line a field: name, title, value as its encoding means it, and for a
// packed or binary field its encoding and the library's own text.
void FieldLine(std::FILE* out, const ImageModel::AreaImage& area, size_t index) {
    const ImageModel::FieldImage& f = area.fields[index];
    const std::string encoding = FruViews::Encoding(f), decoded = FruViews::Decoded(area, index);
    const std::string value = FruViews::Utf8(f.value);
    std::string line = "    " + Text::Padded(FruViews::Key(area, index), 24) + " " +
                       Text::Padded(FruViews::Utf8(f.title), 28) + " " + Visible(decoded);
    std::string notes;
    if (!encoding.empty() && encoding != "8bit_text")
        notes = EncodingLabel(encoding);
    if (value != decoded && (!encoding.empty() && encoding != "8bit_text"))
        notes += std::string("; ") + _("library text") + " \"" + Visible(value) + "\"";
    if (FruViews::Salvaged(area))
        notes += (notes.empty() ? "" : "; ") + std::string(_("salvaged"));
    if (!notes.empty())
        line += "  [" + notes + "]";
    std::fprintf(out, "%s\n", line.c_str());
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
    if (!fru.image.accepted)
        std::fprintf(out, "  %s\n", _("damaged: shown from its raw bytes, not editable"));
    if (fru.withoutRecord)
        std::fprintf(out, "  %s\n", _("found without an SDR record"));
    if (const std::string problem = FruViews::Problem(fru); !problem.empty())
        std::fprintf(out, "  %s\n", problem.c_str());
    ProblemLines(out, "  ", fru.headerProblems);
    const auto& header = fru.image.header;
    if (!header.empty())
        std::fprintf(out, "  %s: %s\n", _("common header"),
                     Text::Hex(header.data(), header.size()).c_str());
    for (const auto& area : fru.image.areas) {
        AreaHeading(out, fru, area);
        if (area.kind == ORVANE_AREA_MULTIRECORD) {
            Records(out, area.bytes);
            continue;
        }
        if (area.fields.empty() && !FruViews::Info(area))
            std::fprintf(out, "    %s\n", Text::Hex(area.bytes.data(), area.bytes.size()).c_str());
        for (size_t i = 0; i < area.fields.size(); ++i)
            FieldLine(out, area, i);
    }
}

namespace {
using JsonWriter::Value;

// What is wrong with a damaged image or area, one object each.
Value JsonProblems(const std::vector<Salvage::Problem>& problems) {
    Value list = Value::array();
    for (const auto& p : problems)
        list.push_back({{"code", Salvage::Key(p.code)}, {"text", p.text}});
    return list;
}

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

Value JsonArea(const FruView& fru, const ImageModel::AreaImage& area) {
    Value a = {{"kind", FieldNames::AreaKey(area.kind)}, {"name", FruViews::Utf8(area.name)}};
    if (!FruViews::Info(area))
        a["hex"] = Text::Hex(area.bytes.data(), area.bytes.size());
    else
        a["free_bytes"] = FruViews::Room(area);
    a["offset"] = area.offset;
    if (const int version = FruViews::FormatVersion(area); version >= 0)
        a["format_version"] = version;
    if (const int code = FruViews::LanguageCode(area); code >= 0) {
        const char* language = FruNames::Language(static_cast<uint8_t>(code));
        a["language"] = {{"code", code}, {"name", language ? Value(language) : Value(nullptr)}};
    }
    if (const int type = FruViews::ChassisType(area); type >= 0)
        a["chassis_type"] = type;
    if (const std::string problem = FruViews::ProblemText(area); !problem.empty())
        a["problem"] = problem;
    if (const auto& problems = FruViews::Problems(fru, area); !problems.empty())
        a["problems"] = JsonProblems(problems);
    if (area.kind == ORVANE_AREA_MULTIRECORD) {
        JsonRecords(area.bytes, &a);
        return a;
    }
    Value fields = Value::array();
    for (size_t i = 0; i < area.fields.size(); ++i)
        fields.push_back(JsonField(area, i));
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
    f["editable"] = fru.image.accepted;
    if (const std::string problem = FruViews::Problem(fru); !problem.empty())
        f["problem"] = problem;
    if (!fru.headerProblems.empty())
        f["problems"] = JsonProblems(fru.headerProblems);
    f["common_header"] = Text::Hex(fru.image.header.data(), fru.image.header.size());
    Value areas = Value::array();
    for (const auto& area : fru.image.areas)
        areas.push_back(JsonArea(fru, area));
    f["areas"] = std::move(areas);
    return f;
}
} // namespace

// A field as scripts read it: `value` is the text a person reads (dates in
// ISO 8601 UTC), `library_value` the library's own string, `hex` the stored
// bytes and `encoding` how they are stored.
JsonWriter::Value JsonField(const ImageModel::AreaImage& area, size_t index) {
    const ImageModel::FieldImage& field = area.fields[index];
    const std::string iso8601 = FruViews::Iso8601(area, index);
    Value f = {{"name", FruViews::Key(area, index)},
               {"title", FruViews::Utf8(field.title)},
               {"value", iso8601.empty() ? FruViews::Decoded(area, index) : iso8601},
               {"library_value", FruViews::Utf8(field.value)},
               {"hex", Text::Hex(field.data.data(), field.data.size())},
               {"encoding", FruViews::Encoding(area, index)}};
    if (!iso8601.empty())
        f["iso8601"] = iso8601;
    if (FruViews::Salvaged(area))
        f["salvaged"] = true;
    return f;
}

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
    Report::Printed();
}
} // namespace Render
