#include "MultiRecords.h"

#include "FruNames.h"

#include <array>
#include <cstdio>

namespace MultiRecords {
namespace {
constexpr size_t kHeaderBytes = 5;
constexpr uint8_t kEndOfList = 0x80;
constexpr uint8_t kVersionMask = 0x0F;
constexpr uint8_t kFirstOem = 0xC0;

struct TypeInfo {
    const char* key;
    const char* label;
};
constexpr std::array<TypeInfo, 6> kTypes = {{
    {"power_supply", "Power Supply Information"},
    {"dc_output", "DC Output"},
    {"dc_load", "DC Load"},
    {"management_access", "Management Access"},
    {"base_compatibility", "Base Compatibility"},
    {"extended_compatibility", "Extended Compatibility"},
}};

// Management access sub-record types 01h to 07h.
constexpr std::array<const char*, 8> kAccessKinds = {nullptr,
                                                     "System Management URL",
                                                     "System Name",
                                                     "System Ping Address",
                                                     "Component Management URL",
                                                     "Component Name",
                                                     "Component Ping Address",
                                                     "System Unique ID"};

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
    out.push_back({"capacity", "Overall capacity", Format("%lld W", capacity)});
    const unsigned peakVa = r.U16(2);
    out.push_back(
        {"peak_va", "Peak VA", peakVa == 0xFFFF ? "unspecified" : Format("%lld VA", peakVa)});
    out.push_back({"inrush_current", "Inrush current",
                   r.U8(4) == 0xFF ? "unspecified" : Format("%lld A", r.U8(4))});
    out.push_back({"inrush_interval", "Inrush interval", Format("%lld ms", r.U8(5))});
    out.push_back({"input_voltage_1", "Input voltage range 1",
                   Volts(static_cast<int>(r.U16(6))) + " to " + Volts(static_cast<int>(r.U16(8)))});
    out.push_back({"input_voltage_2", "Input voltage range 2",
                   r.U16(10) == 0 && r.U16(12) == 0 ? "none"
                                                    : Volts(static_cast<int>(r.U16(10))) + " to " +
                                                          Volts(static_cast<int>(r.U16(12)))});
    out.push_back({"input_frequency", "Input frequency range",
                   Format("%lld", r.U8(14)) + " to " + Format("%lld Hz", r.U8(15))});
    out.push_back({"ac_dropout_tolerance", "AC dropout tolerance", Format("%lld ms", r.U8(16))});
    const unsigned flags = r.U8(17);
    static constexpr const char* kFlags[] = {"predictive fail pin", "power factor correction",
                                             "autoswitch", "hot swap", "tachometer"};
    std::string set;
    for (unsigned bit = 0; bit < 5; ++bit)
        if (flags & (1u << bit))
            set += (set.empty() ? "" : ", ") + std::string(kFlags[bit]);
    out.push_back({"flags", "Flags", set.empty() ? "none" : set});
    const unsigned peak = r.U16(18);
    out.push_back({"peak_wattage", "Peak wattage",
                   Format("%lld W", peak & 0x0FFF) + Format(" for %lld s", peak >> 12)});
    const unsigned voltages = r.U8(20);
    const auto voltage = [](unsigned code) {
        return code < kCombinedVoltages.size() ? std::string(kCombinedVoltages[code])
                                               : Format("voltage code %lld", code);
    };
    out.push_back({"combined_wattage", "Combined wattage",
                   voltage(voltages >> 4) + " and " + voltage(voltages & 0x0F) + ": " +
                       Format("%lld W", r.U16(21))});
    out.push_back({"tachometer_threshold", "Predictive fail tachometer lower threshold",
                   Format("%lld RPS", r.U8(23))});
}

void DcOutput(const Reader& r, std::vector<Item>& out) {
    out.push_back({"output_number", "Output number", Format("%lld", r.U8(0) & 0x0F)});
    out.push_back({"standby", "Output on standby", r.U8(0) & 0x80 ? "yes" : "no"});
    out.push_back({"nominal_voltage", "Nominal voltage", Format("%lld mV", r.S16(1) * 10LL)});
    out.push_back({"max_negative_deviation", "Maximum negative voltage deviation",
                   Format("%lld mV", r.S16(3) * 10LL)});
    out.push_back({"max_positive_deviation", "Maximum positive voltage deviation",
                   Format("%lld mV", r.S16(5) * 10LL)});
    out.push_back({"ripple_noise", "Ripple and noise pk-pk", Format("%lld mV", r.U16(7))});
    out.push_back({"min_current", "Minimum current draw", Format("%lld mA", r.U16(9))});
    out.push_back({"max_current", "Maximum current draw", Format("%lld mA", r.U16(11))});
}

void DcLoad(const Reader& r, std::vector<Item>& out) {
    out.push_back({"output_number", "Output number", Format("%lld", r.U8(0) & 0x0F)});
    out.push_back({"nominal_voltage", "Nominal voltage", Format("%lld mV", r.S16(1) * 10LL)});
    out.push_back({"min_voltage", "Specified minimum voltage", Format("%lld mV", r.S16(3) * 10LL)});
    out.push_back({"max_voltage", "Specified maximum voltage", Format("%lld mV", r.S16(5) * 10LL)});
    out.push_back(
        {"ripple_noise", "Specified ripple and noise pk-pk", Format("%lld mV", r.U16(7))});
    out.push_back({"min_current", "Minimum current load", Format("%lld mA", r.U16(9))});
    out.push_back({"max_current", "Maximum current load", Format("%lld mA", r.U16(11))});
}

void ManagementAccess(const Reader& r, std::vector<Item>& out) {
    const unsigned kind = r.U8(0);
    out.push_back({"sub_record", "Sub-record",
                   kind < kAccessKinds.size() && kAccessKinds[kind]
                       ? Format("%02llXh ", kind) + kAccessKinds[kind]
                       : Format("%02llXh (reserved)", kind)});
    // The unique ID is 16 binary bytes; the others are texts.
    if (kind == 7)
        out.push_back({"value", "Value", Hex(r.data, 1)});
    else
        out.push_back({"value", "Value", std::string(r.data.begin() + 1, r.data.end())});
}

void Compatibility(const Reader& r, std::vector<Item>& out) {
    out.push_back({"manufacturer", "Manufacturer", Manufacturer(r.U24(0))});
    out.push_back({"entity_id", "Entity ID", Format("%02llXh", r.U8(3))});
    out.push_back({"compatibility_base", "Compatibility base", Format("%02llXh", r.U8(4))});
    out.push_back({"code_start", "Compatibility code start", Format("%02llXh", r.U8(5))});
    out.push_back({"code_mask", "Code range mask", Hex(r.data, 6)});
}

void Oem(const Reader& r, std::vector<Item>& out) {
    out.push_back({"manufacturer", "Manufacturer", Manufacturer(r.U24(0))});
    out.push_back({"data", "OEM data", Hex(r.data, 3)});
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
    return type < kTypes.size() ? kTypes[type].label : type >= kFirstOem ? "OEM" : "Reserved";
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
        out.push_back({"short", "Problem",
                       Format("%lld data bytes, too few for this record type", data.size())});
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
