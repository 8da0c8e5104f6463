#include "Render.h"

#include "Text.h"

#include <string>

namespace Render {
namespace {
std::string AreaList(const FruView& fru) {
    std::string list;
    for (const auto& a : fru.areas)
        list += (list.empty() ? "" : ",") + a.key;
    return list.empty() ? "-" : list;
}

// Multi-record records one per line: type, then the record's bytes.
void Records(std::FILE* out, const std::vector<uint8_t>& data) {
    size_t pos = 0;
    while (pos + 5 <= data.size()) {
        const size_t length = data[pos + 2];
        const size_t end = std::min(data.size(), pos + 5 + length);
        std::fprintf(out, "    record type 0x%02X: %s\n", data[pos],
                     Text::Hex(data.data() + pos, end - pos).c_str());
        if (data[pos + 1] & 0x80)
            break;
        pos = end;
    }
}
// The text padded with blanks to a width in characters (not bytes), so
// titles with umlauts line up.
std::string Padded(const std::string& utf8, size_t width) {
    size_t characters = 0;
    for (unsigned char c : utf8)
        characters += (c & 0xC0) != 0x80;
    return characters >= width ? utf8 : utf8 + std::string(width - characters, ' ');
}
} // namespace

void ScanLine(std::FILE* out, const FruView& fru) {
    std::fprintf(out, "%3u  %s %-18s %s\n", fru.position,
                 Padded(fru.name.empty() ? "(no name)" : fru.name, 20).c_str(),
                 fru.address.Format().c_str(), AreaList(fru).c_str());
}

void Plain(std::FILE* out, const FruView& fru) {
    std::fprintf(out, "FRU %u: %s at %s\n", fru.position,
                 fru.name.empty() ? "(no name)" : fru.name.c_str(), fru.address.Format().c_str());
    if (!fru.header.empty())
        std::fprintf(out, "  common header: %s\n",
                     Text::Hex(fru.header.data(), fru.header.size()).c_str());
    for (const auto& area : fru.areas) {
        std::fprintf(out, "  %s", area.name.c_str());
        if (area.kind >= ORVANE_AREA_CHASSIS && area.kind <= ORVANE_AREA_PRODUCT)
            std::fprintf(out, " (%u bytes free)", area.room);
        if (area.hasData)
            std::fprintf(out, " (%zu bytes)", area.data.size());
        std::fprintf(out, "\n");
        if (area.kind == ORVANE_AREA_MULTIRECORD) {
            Records(out, area.data);
            continue;
        }
        for (const auto& f : area.fields)
            std::fprintf(out, "    %-24s %s %s\n", f.key.c_str(), Padded(f.title, 28).c_str(),
                         f.value.c_str());
    }
}

void Json(std::FILE* out, const std::vector<FruView>& frus, const std::string& member) {
    std::fprintf(out, "{\n  \"frus\": [");
    for (size_t i = 0; i < frus.size(); ++i) {
        const FruView& fru = frus[i];
        const FruAddress& a = fru.address;
        std::fprintf(out, "%s\n    {\n", i ? "," : "");
        std::fprintf(out, "      \"position\": %u,\n      \"name\": %s,\n", fru.position,
                     Text::JsonString(fru.name).c_str());
        std::fprintf(out,
                     "      \"address\": {\"text\": \"%s\", \"nvs_type\": %u, \"lun\": %u, "
                     "\"device_address\": %u, \"bus\": %u, \"controller\": %u, "
                     "\"device_id\": %u},\n",
                     a.Format().c_str(), a.nvsType, a.lun, a.deviceAddress, a.bus, a.controller,
                     a.deviceId);
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
