#include "input/FruInput.h"

#include "app/Report.h"
#include "cmd/CommandSupport.h"
#include "fru/ImageLayout.h"
#include "input/DescribedFru.h"
#include "input/EmbeddedSchemas.h"
#include "input/FieldStore.h"
#include "input/JsonSchema.h"
#include "input/Records.h"
#include "view/FieldNames.h"
#include "view/FruViews.h"
#include "view/Text.h"
#include "view/Translate.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

namespace FruInput {
namespace {
using JsonSchema::Member;
using nlohmann::json;

constexpr const char* kHandKeys[] = {"internal", "chassis", "board", "product"};
constexpr uint32_t kUnit = 8;
// What a chassis area built by hand says until its type is given: "Unknown".
constexpr uint8_t kUnknownChassis = 2;

// The refusal of a value: the path first, so a script finds the member.
int Unstorable(const std::string& path, const std::string& problem) {
    return Report::Refused("%s: %s\n", path.c_str(), problem.c_str());
}

int Misfit(const JsonSchema::Problem& p) {
    Report::Say("%s: %s\n", p.path.c_str(), p.message.c_str());
    return kExitUsage;
}

const JsonSchema::Checker& Schemas() {
    static const JsonSchema::Checker checker = [] {
        JsonSchema::Checker c;
        c.Add("show.schema.json", json::parse(EmbeddedSchemas::kShow));
        c.Add("fru-input.schema.json", json::parse(EmbeddedSchemas::kInput));
        return c;
    }();
    return checker;
}

// The text of the file, or of standard input for "-".
bool Slurp(const std::string& file, std::string* text) {
    if (file == "-") {
        text->assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

int32_t KindOf(const std::string& key) {
    for (int32_t kind = ORVANE_AREA_INTERNAL_USE; kind <= ORVANE_AREA_MULTIRECORD; ++kind)
        if (key == FieldNames::AreaKey(kind))
            return kind;
    return 0;
}

// A text member of the short form: "text" or {"value": ..., "encoding": ...}.
Field TextField(const json& member, const std::string& path, int32_t area, uint32_t index) {
    Field f{path, area, index, {}, std::nullopt, 0xC0, std::nullopt};
    if (member.is_string()) {
        f.value = member.get<std::string>();
        return f;
    }
    f.value = member["value"].get<std::string>();
    if (member.contains("encoding"))
        f.encoding = FieldStore::KindOfKey(member["encoding"].get<std::string>());
    return f;
}

// The internal use area of the short form: its bytes (the format version
// byte first, as set takes internal.data), FFh up to whole 8-byte blocks.
int HandInternal(const json& in, const std::string& path, Area* area, Fru* fru) {
    const std::string at = Member(path, "data");
    auto data = Text::ParseHex(in["data"].get<std::string>());
    if (!data || data->empty())
        return Unstorable(at, _("is not a list of hex bytes"));
    if (data->size() > ImageLayout::kMaxAreaBytes)
        return Unstorable(at, Text::Format(_("holds %zu bytes; the internal use area holds at "
                                             "most 512"),
                                           data->size()));
    area->bytes = *data;
    area->bytes.resize((area->bytes.size() + kUnit - 1) / kUnit * kUnit, 0xFF);
    fru->fields.push_back({at, ORVANE_AREA_INTERNAL_USE, 0, Text::Hex(data->data(), data->size()),
                           std::nullopt, 0xC0, std::nullopt});
    return kExitOk;
}

// An info area of the short form: its header bytes, then its fields.
int HandInfo(const json& in, const std::string& path, Area* area, Fru* fru) {
    area->formatVersion = in.value("format_version", uint8_t{1});
    area->language = in.value("language", uint8_t{0});
    area->chassisType = kUnknownChassis;
    area->headerGiven = in.contains("format_version") || in.contains("language");
    const uint32_t fixed = FieldNames::FixedFields(area->kind);
    for (uint32_t i = 0; i < fixed; ++i) {
        const std::string name = FieldNames::Name(area->kind, i);
        const std::string key = name.substr(name.find('.') + 1);
        if (!in.contains(key))
            continue;
        const json& member = in[key];
        // The date and the chassis type are given as numbers or text, and
        // stored as set stores them.
        if (!member.is_object() && !member.is_string())
            fru->fields.push_back({Member(path, key), area->kind, i,
                                   std::to_string(member.get<uint32_t>()), std::nullopt, 0xC0,
                                   std::nullopt});
        else
            fru->fields.push_back(TextField(member, Member(path, key), area->kind, i));
    }
    if (in.contains("custom")) {
        const json& custom = in["custom"];
        area->customFields = static_cast<uint32_t>(custom.size());
        for (uint32_t k = 0; k < custom.size(); ++k)
            fru->fields.push_back(TextField(
                custom[k], JsonSchema::Element(Member(path, "custom"), k), area->kind, fixed + k));
    }
    return kExitOk;
}

int ReadHand(const json& doc, Fru* fru) {
    for (const char* key : kHandKeys) {
        if (!doc.contains(key))
            continue;
        Area area;
        area.kind = KindOf(key);
        area.path = Member("$", key);
        const int code = area.kind == ORVANE_AREA_INTERNAL_USE
                             ? HandInternal(doc[key], area.path, &area, fru)
                             : HandInfo(doc[key], area.path, &area, fru);
        if (code)
            return code;
        fru->areas.push_back(std::move(area));
    }
    if (!doc.contains("multirecord"))
        return kExitOk;
    Area records;
    records.kind = ORVANE_AREA_MULTIRECORD;
    records.path = "$.multirecord";
    std::string path, problem;
    if (!Records::Encode(doc["multirecord"], "$.multirecord", &records.bytes, &path, &problem))
        return Unstorable(path, problem);
    if (!records.bytes.empty())
        fru->areas.push_back(std::move(records));
    return kExitOk;
}
} // namespace

namespace {
// The FRU of a whole show --json document that pick names: its position,
// its name or its address; the only one when pick is empty.
int PickFru(const json& doc, const std::string& pick, size_t* index) {
    const json& frus = doc["frus"];
    for (size_t i = 0; i < frus.size(); ++i) {
        const json& f = frus[i];
        const bool named =
            !pick.empty() && ((f["position"].is_number() && pick == f["position"].dump()) ||
                              pick == f["name"].get<std::string>() ||
                              pick == f["address"]["text"].get<std::string>());
        if (named || (pick.empty() && frus.size() == 1)) {
            *index = i;
            return kExitOk;
        }
    }
    if (pick.empty())
        Report::Say(_("$.frus: the document holds %zu FRUs; --fru N|NAME|ADDRESS picks one\n"),
                    frus.size());
    else
        Report::Say(_("$.frus: no FRU has the position, name or address %s\n"), pick.c_str());
    return kExitUsage;
}
} // namespace

int Read(const std::string& file, const std::string& pick, bool handOnly, Fru* fru) {
    std::string text;
    if (!Slurp(file, &text))
        return Report::Os(Text::Format(_("reading %s"), file.c_str()), errno);
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded() || !doc.is_object()) {
        Report::Say(_("%s: $: not a JSON object\n"), file.c_str());
        return kExitUsage;
    }
    const bool document = doc.contains("frus"), single = doc.contains("areas");
    if (handOnly && (document || single)) {
        Report::Say(_("$: apply takes the short form (areas with fields by name), not what show "
                      "--json prints\n"));
        return kExitUsage;
    }
    const char* ref = document ? "show.schema.json"
                      : single ? "show.schema.json#/$defs/fru"
                               : "fru-input.schema.json#/$defs/hand";
    if (auto p = Schemas().Check(doc, ref))
        return Misfit(*p);
    if (!document && !single)
        return ReadHand(doc, fru);
    if (!document)
        return DescribedFru::Read(doc, "$", fru);
    size_t index = 0;
    if (int code = PickFru(doc, pick, &index))
        return code;
    return DescribedFru::Read(doc["frus"][index], JsonSchema::Element("$.frus", index), fru);
}
} // namespace FruInput
