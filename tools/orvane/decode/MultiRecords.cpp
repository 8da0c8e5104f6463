#include "decode/MultiRecords.h"

#include "decode/FruNames.h"
#include "fru/ImageLayout.h"
#include "view/Translate.h"

#include <array>
#include <cstdio>

namespace MultiRecords {
namespace {
constexpr size_t kHeaderBytes = ImageLayout::kRecordHeaderBytes;
constexpr uint8_t kEndOfList = ImageLayout::kRecordEndOfList;
constexpr uint8_t kVersionMask = 0x0F;
constexpr uint8_t kFirstOem = 0xC0;

struct TypeInfo {
    const char* key;
    const char* label;
};
constexpr std::array<TypeInfo, 6> kTypes = {{
    {"power_supply", N_("Power Supply Information")},
    {"dc_output", N_("DC Output")},
    {"dc_load", N_("DC Load")},
    {"management_access", N_("Management Access")},
    {"base_compatibility", N_("Base Compatibility")},
    {"extended_compatibility", N_("Extended Compatibility")},
}};

// Management access sub-record types 01h to 07h.
constexpr std::array<const char*, 8> kAccessKinds = {nullptr,
                                                     N_("System Management URL"),
                                                     N_("System Name"),
                                                     N_("System Ping Address"),
                                                     N_("Component Management URL"),
                                                     N_("Component Name"),
                                                     N_("Component Ping Address"),
                                                     N_("System Unique ID")};

// Supply voltages of the combined wattage byte.
constexpr std::array<const char*, 4> kCombinedVoltages = {"12 V", "-12 V", "5 V", "3.3 V"};

std::string Format(const char* format, long long a) {
    char text[64];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

std::string Hex(const std::vector<uint8_t>& data, size_t from) {
    std::string out;
    char pair[4];
    for (size_t i = from; i < data.size(); ++i) {
        std::snprintf(pair, sizeof pair, "%02X", data[i]);
        out += (i > from ? " " : "") + std::string(pair);
    }
    return out;
}

// A reader of little-endian values that knows how many bytes there are.
struct Reader {
    const std::vector<uint8_t>& data;
    bool Has(size_t end) const { return end <= data.size(); }
    unsigned U8(size_t at) const { return data[at]; }
    unsigned U16(size_t at) const { return data[at] | data[at + 1] << 8; }
    int S16(size_t at) const { return static_cast<int16_t>(U16(at)); }
    uint32_t U24(size_t at) const {
        return static_cast<uint32_t>(data[at] | data[at + 1] << 8 | data[at + 2] << 16);
    }
};

// Voltages in units of 10 mV as volts: "90 V", "3.3 V", "-12 V".
std::string Volts(int tensOfMillivolts) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", tensOfMillivolts / 100.0);
    std::string v = text;
    while (v.back() == '0')
        v.pop_back();
    if (v.back() == '.')
        v.pop_back();
    return v + " V";
}

std::string Manufacturer(uint32_t iana) {
    const char* name = FruNames::Manufacturer(iana);
    char number[32];
    std::snprintf(number, sizeof number, "%u (%06Xh)", iana, iana);
    return name ? std::string(name) + ", " + number : number;
}

void PowerSupply(const Reader& r, std::vector<Item>& out) {
    const unsigned capacity = r.U16(0) & 0x0FFF;
    out.push_back({"capacity", N_("Overall capacity"), Format("%lld W", capacity)});
    const unsigned peakVa = r.U16(2);
    out.push_back({"peak_va", N_("Peak VA"),
                   peakVa == 0xFFFF ? _("unspecified") : Format("%lld VA", peakVa)});
    out.push_back({"inrush_current", N_("Inrush current"),
                   r.U8(4) == 0xFF ? _("unspecified") : Format("%lld A", r.U8(4))});
    out.push_back({"inrush_interval", N_("Inrush interval"), Format("%lld ms", r.U8(5))});
    out.push_back({"input_voltage_1", N_("Input voltage range 1"),
                   Volts(static_cast<int>(r.U16(6))) + std::string(" ") + _("to") + " " +
                       Volts(static_cast<int>(r.U16(8)))});
    out.push_back({"input_voltage_2", N_("Input voltage range 2"),
                   r.U16(10) == 0 && r.U16(12) == 0
                       ? _("none")
                       : Volts(static_cast<int>(r.U16(10))) + std::string(" ") + _("to") + " " +
                             Volts(static_cast<int>(r.U16(12)))});
    out.push_back({"input_frequency", N_("Input frequency range"),
                   Format("%lld", r.U8(14)) + std::string(" ") + _("to") + " " +
                       Format("%lld Hz", r.U8(15))});
    out.push_back(
        {"ac_dropout_tolerance", N_("AC dropout tolerance"), Format("%lld ms", r.U8(16))});
    const unsigned flags = r.U8(17);
    static constexpr const char* kFlags[] = {N_("predictive fail pin"),
                                             N_("power factor correction"), N_("autoswitch"),
                                             N_("hot swap"), N_("tachometer")};
    std::string set;
    for (unsigned bit = 0; bit < 5; ++bit)
        if (flags & (1u << bit))
            set += (set.empty() ? "" : ", ") + std::string(_(kFlags[bit]));
    out.push_back({"flags", N_("Flags"), set.empty() ? _("none") : set});
    const unsigned peak = r.U16(18);
    out.push_back({"peak_wattage", N_("Peak wattage"),
                   Format("%lld W", peak & 0x0FFF) + " " + std::string(_("for")) +
                       Format(" %lld s", peak >> 12)});
    const unsigned voltages = r.U8(20);
    const auto voltage = [](unsigned code) {
        return code < kCombinedVoltages.size() ? std::string(kCombinedVoltages[code])
                                               : Format(_("voltage code %lld"), code);
    };
    out.push_back({"combined_wattage", N_("Combined wattage"),
                   voltage(voltages >> 4) + " " + std::string(_("and")) + " " +
                       voltage(voltages & 0x0F) + ": " + Format("%lld W", r.U16(21))});
    out.push_back({"tachometer_threshold", N_("Predictive fail tachometer lower threshold"),
                   Format("%lld RPS", r.U8(23))});
}

void DcOutput(const Reader& r, std::vector<Item>& out) {
    out.push_back({"output_number", N_("Output number"), Format("%lld", r.U8(0) & 0x0F)});
    out.push_back({"standby", N_("Output on standby"), r.U8(0) & 0x80 ? _("yes") : _("no")});
    out.push_back({"nominal_voltage", N_("Nominal voltage"), Format("%lld mV", r.S16(1) * 10LL)});
    out.push_back({"max_negative_deviation", N_("Maximum negative voltage deviation"),
                   Format("%lld mV", r.S16(3) * 10LL)});
    out.push_back({"max_positive_deviation", N_("Maximum positive voltage deviation"),
                   Format("%lld mV", r.S16(5) * 10LL)});
    out.push_back({"ripple_noise", N_("Ripple and noise pk-pk"), Format("%lld mV", r.U16(7))});
    out.push_back({"min_current", N_("Minimum current draw"), Format("%lld mA", r.U16(9))});
    out.push_back({"max_current", N_("Maximum current draw"), Format("%lld mA", r.U16(11))});
}

void DcLoad(const Reader& r, std::vector<Item>& out) {
    out.push_back({"output_number", N_("Output number"), Format("%lld", r.U8(0) & 0x0F)});
    out.push_back({"nominal_voltage", N_("Nominal voltage"), Format("%lld mV", r.S16(1) * 10LL)});
    out.push_back(
        {"min_voltage", N_("Specified minimum voltage"), Format("%lld mV", r.S16(3) * 10LL)});
    out.push_back(
        {"max_voltage", N_("Specified maximum voltage"), Format("%lld mV", r.S16(5) * 10LL)});
    out.push_back(
        {"ripple_noise", N_("Specified ripple and noise pk-pk"), Format("%lld mV", r.U16(7))});
    out.push_back({"min_current", N_("Minimum current load"), Format("%lld mA", r.U16(9))});
    out.push_back({"max_current", N_("Maximum current load"), Format("%lld mA", r.U16(11))});
}

void ManagementAccess(const Reader& r, std::vector<Item>& out) {
    const unsigned kind = r.U8(0);
    out.push_back({"sub_record", N_("Sub-record"),
                   kind < kAccessKinds.size() && kAccessKinds[kind]
                       ? Format("%02llXh ", kind) + kAccessKinds[kind]
                       : Format(_("%02llXh (reserved)"), kind)});
    // The unique ID is 16 binary bytes; the others are texts.
    if (kind == 7)
        out.push_back({"value", N_("Value"), Hex(r.data, 1)});
    else
        out.push_back({"value", N_("Value"), std::string(r.data.begin() + 1, r.data.end())});
}

void Compatibility(const Reader& r, std::vector<Item>& out) {
    out.push_back({"manufacturer", N_("Manufacturer"), Manufacturer(r.U24(0))});
    out.push_back({"entity_id", N_("Entity ID"), Format("%02llXh", r.U8(3))});
    out.push_back({"compatibility_base", N_("Compatibility base"), Format("%02llXh", r.U8(4))});
    out.push_back({"code_start", N_("Compatibility code start"), Format("%02llXh", r.U8(5))});
    out.push_back({"code_mask", N_("Code range mask"), Hex(r.data, 6)});
}

void Oem(const Reader& r, std::vector<Item>& out) {
    out.push_back({"manufacturer", N_("Manufacturer"), Manufacturer(r.U24(0))});
    out.push_back({"data", N_("OEM data"), Hex(r.data, 3)});
}

struct Decoder {
    size_t minimum; // data bytes the decoder reads
    void (*decode)(const Reader&, std::vector<Item>&);
};
constexpr std::array<Decoder, 6> kDecoders = {{{24, PowerSupply},
                                               {13, DcOutput},
                                               {13, DcLoad},
                                               {1, ManagementAccess},
                                               {6, Compatibility},
                                               {6, Compatibility}}};
constexpr Decoder kOemDecoder{3, Oem};
} // namespace

const char* TypeKey(uint8_t type) {
    return type < kTypes.size() ? kTypes[type].key : type >= kFirstOem ? "oem" : "reserved";
}

const char* TypeLabel(uint8_t type) {
    return type < kTypes.size() ? kTypes[type].label
           : type >= kFirstOem  ? N_("OEM")
                                : N_("Reserved");
}

std::vector<Item> Decode(uint8_t type, const std::vector<uint8_t>& data) {
    std::vector<Item> out;
    const Decoder* d = type < kDecoders.size() ? &kDecoders[type]
                       : type >= kFirstOem     ? &kOemDecoder
                                               : nullptr;
    if (!d)
        return out;
    const Reader r{data};
    if (!r.Has(d->minimum)) {
        out.push_back({"short", N_("Problem"),
                       Format(_("%lld data bytes, too few for this record type"),
                              static_cast<long long>(data.size()))});
        return out;
    }
    d->decode(r, out);
    return out;
}

Chain Walk(const uint8_t* bytes, size_t size) {
    Chain chain;
    size_t pos = 0;
    while (pos + kHeaderBytes <= size) {
        Record rec;
        rec.offset = pos;
        rec.type = bytes[pos];
        rec.version = bytes[pos + 1] & kVersionMask;
        rec.endOfList = (bytes[pos + 1] & kEndOfList) != 0;
        rec.length = bytes[pos + 2];
        uint8_t headerSum = 0;
        for (size_t i = 0; i < kHeaderBytes; ++i)
            headerSum = static_cast<uint8_t>(headerSum + bytes[pos + i]);
        rec.headerChecksumOk = headerSum == 0;
        const size_t end = pos + kHeaderBytes + rec.length;
        rec.complete = end <= size;
        rec.bytes.assign(bytes + pos, bytes + std::min(end, size));
        const std::vector<uint8_t> data(rec.bytes.begin() + kHeaderBytes, rec.bytes.end());
        uint8_t dataSum = bytes[pos + 3];
        for (uint8_t b : data)
            dataSum = static_cast<uint8_t>(dataSum + b);
        rec.dataChecksumOk = rec.complete && dataSum == 0;
        rec.items = Decode(rec.type, data);
        chain.records.push_back(std::move(rec));
        pos = std::min(end, size);
        // A broken header says nothing reliable about where the next record starts.
        if (chain.records.back().endOfList || !chain.records.back().headerChecksumOk) {
            chain.endOfListSeen = chain.records.back().endOfList;
            break;
        }
    }
    chain.length = pos;
    return chain;
}
} // namespace MultiRecords
