#include "drivers/sim/SimSystem.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>

using nlohmann::json;

namespace {

// A description error: the message names the place in the file.
struct Bad : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Hex2(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", v);
    return text;
}

// Refuses keys this system does not know, so a typing error is not silently
// ignored. A "comment" key is allowed in every object.
void CheckKeys(const json& object, std::initializer_list<const char*> known,
               const std::string& where) {
    if (!object.is_object())
        throw Bad(where + " is not an object");
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool found = it.key() == "comment"; // a note for the reader, allowed anywhere
        for (const char* k : known)
            found = found || it.key() == k;
        if (!found)
            throw Bad("unknown key \"" + it.key() + "\" in " + where);
    }
}

// Numbers are JSON numbers or strings in C notation ("0x1F", "31").
uint32_t Number(const json& v, const std::string& what, uint64_t max) {
    uint64_t n = 0;
    if (v.is_number_unsigned()) {
        n = v.get<uint64_t>();
    } else if (v.is_number_integer() || v.is_number_float()) {
        throw Bad(what + " must be a whole number from 0 to " + std::to_string(max));
    } else if (v.is_string()) {
        const std::string& s = v.get_ref<const std::string&>();
        char* end = nullptr;
        errno = 0;
        if (s.empty() || s[0] == '-' || s[0] == '+')
            throw Bad(what + " is not a number: \"" + s + "\"");
        n = std::strtoull(s.c_str(), &end, 0);
        if (errno || *end)
            throw Bad(what + " is not a number: \"" + s + "\"");
    } else {
        throw Bad(what + " must be a number");
    }
    if (n > max)
        throw Bad(what + " is larger than " + std::to_string(max));
    return static_cast<uint32_t>(n);
}

uint32_t NumberOr(const json& object, const char* key, const std::string& where, uint64_t max,
                  uint32_t fallback) {
    if (!object.contains(key))
        return fallback;
    return Number(object[key], where + " " + key, max);
}

bool BoolOr(const json& object, const char* key, const std::string& where, bool fallback) {
    if (!object.contains(key))
        return fallback;
    if (!object[key].is_boolean())
        throw Bad(where + " " + key + " must be true or false");
    return object[key].get<bool>();
}

std::string Text(const json& object, const char* key, const std::string& where) {
    if (!object[key].is_string())
        throw Bad(where + " " + key + " must be a string");
    return object[key].get<std::string>();
}

// Hex bytes: groups of hex digits separated by white space or commas, each
// group an even number of digits ("01 00 FE" or "0100FE").
std::vector<uint8_t> HexBytes(const std::string& text, const std::string& what) {
    std::vector<uint8_t> bytes;
    std::string group;
    auto flush = [&]() {
        if (group.size() % 2)
            throw Bad(what + " has an odd number of hex digits in \"" + group + "\"");
        for (size_t i = 0; i < group.size(); i += 2)
            bytes.push_back(static_cast<uint8_t>(std::stoul(group.substr(i, 2), nullptr, 16)));
        group.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',') {
            flush();
        } else if (std::isxdigit(static_cast<unsigned char>(c))) {
            group += c;
        } else {
            throw Bad(what + " holds a character that is not a hex digit: '" + std::string(1, c) +
                      "'");
        }
    }
    flush();
    return bytes;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path, const std::string& what) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Bad(what + ": cannot read image file " + path.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

// The bytes of a device from "image" (a file, relative to the description's
// folder) or "hex", padded with 0xFF to "size".
SimMemory ReadMemory(const json& object, const std::filesystem::path& folder,
                     const std::string& where, size_t maxSize, bool controllerProtected) {
    SimMemory memory;
    if (object.contains("image") && object.contains("hex"))
        throw Bad(where + " has both image and hex");
    if (object.contains("image")) {
        std::filesystem::path file = Text(object, "image", where);
        if (file.is_relative())
            file = folder / file;
        memory.bytes = ReadFile(file, where);
        memory.file = file.string();
        memory.fileSize = memory.bytes.size();
    } else if (object.contains("hex")) {
        memory.bytes = HexBytes(Text(object, "hex", where), where + " hex");
    } else if (!object.contains("size")) {
        throw Bad(where + " needs an image, hex or size");
    }
    if (object.contains("size")) {
        size_t size = Number(object["size"], where + " size", maxSize);
        if (size < memory.bytes.size())
            throw Bad(where + " size " + std::to_string(size) + " is smaller than its " +
                      std::to_string(memory.bytes.size()) + " bytes");
        memory.bytes.resize(size, 0xFF);
    }
    if (memory.bytes.size() > maxSize)
        throw Bad(where + " holds " + std::to_string(memory.bytes.size()) +
                  " bytes, more than its " + std::to_string(maxSize) + " addressable bytes");
    memory.writeProtected = BoolOr(object, "write_protected", where, controllerProtected);
    return memory;
}

SimController ReadController(const json& c, const std::filesystem::path& folder,
                             uint8_t defaultVersion, size_t index) {
    std::string where = "controller " + std::to_string(index);
    CheckKeys(c,
              {"address", "channel", "ipmi_version", "fru_devices", "i2c_devices", "max_read",
               "oversize_code", "max_write", "write_protected"},
              where);
    SimController controller;
    if (!c.contains("address"))
        throw Bad(where + " has no address");
    controller.address = static_cast<uint8_t>(Number(c["address"], where + " address", 0xFF));
    if (controller.address & 1)
        throw Bad(where + " address " + Hex2(controller.address) +
                  " is odd (slave addresses are 8-bit, bit 0 clear)");
    where = "controller " + Hex2(controller.address);
    controller.channel = static_cast<uint8_t>(NumberOr(c, "channel", where, 0x0F, 0));
    controller.ipmiVersion =
        static_cast<uint8_t>(NumberOr(c, "ipmi_version", where, 0xFF, defaultVersion));
    controller.maxRead = NumberOr(c, "max_read", where, 0xFFFF, 0);
    controller.oversizeCode = static_cast<uint8_t>(NumberOr(c, "oversize_code", where, 0xFF, 0xCA));
    controller.maxWrite = NumberOr(c, "max_write", where, 0xFFFF, 0);
    bool protectedAll = BoolOr(c, "write_protected", where, false);

    if (c.contains("fru_devices")) {
        if (!c["fru_devices"].is_array())
            throw Bad(where + " fru_devices must be a list");
        for (const json& d : c["fru_devices"]) {
            std::string at = where + " FRU device";
            CheckKeys(d, {"id", "image", "hex", "size", "write_protected"}, at);
            if (!d.contains("id"))
                throw Bad(at + " has no id");
            SimFruDevice device;
            device.id = static_cast<uint8_t>(Number(d["id"], at + " id", 0xFF));
            at += " " + std::to_string(device.id);
            for (const SimFruDevice& other : controller.fruDevices)
                if (other.id == device.id)
                    throw Bad(at + " appears twice");
            device.memory = ReadMemory(d, folder, at, 0x10000, protectedAll);
            controller.fruDevices.push_back(std::move(device));
        }
    }
    if (c.contains("i2c_devices")) {
        if (!c["i2c_devices"].is_array())
            throw Bad(where + " i2c_devices must be a list");
        for (const json& d : c["i2c_devices"]) {
            std::string at = where + " I2C device";
            CheckKeys(d, {"bus", "address", "kind", "image", "hex", "size", "write_protected"}, at);
            if (!d.contains("address") || !d.contains("kind"))
                throw Bad(at + " needs an address and a kind");
            SimI2cDevice device;
            device.bus = static_cast<uint8_t>(NumberOr(d, "bus", at, 7, 0));
            device.address = static_cast<uint8_t>(Number(d["address"], at + " address", 0xFE));
            if (device.address & 1)
                throw Bad(at + " address " + Hex2(device.address) + " is odd");
            at += " " + Hex2(device.address) + " on bus " + std::to_string(device.bus);
            std::string kind = Text(d, "kind", at);
            if (kind == "AT24CO2")
                device.kind = SimI2cKind::At24c02;
            else if (kind == "DS1624S")
                device.kind = SimI2cKind::Ds1624s;
            else
                throw Bad(at + " kind \"" + kind + "\" is neither AT24CO2 nor DS1624S");
            for (const SimI2cDevice& other : controller.i2cDevices)
                if (other.bus == device.bus && other.address == device.address)
                    throw Bad(at + " appears twice");
            size_t room = device.kind == SimI2cKind::At24c02 ? 0x10000 : 0x100;
            device.memory = ReadMemory(d, folder, at, room, protectedAll);
            controller.i2cDevices.push_back(std::move(device));
        }
    }
    return controller;
}

// The id string of a locator record: 8-bit ASCII, type/length byte 0xC0 | length.
void AppendName(std::vector<uint8_t>& record, const json& e, const std::string& where) {
    std::string name = e.contains("name") ? Text(e, "name", where) : "";
    if (name.size() > 30)
        throw Bad(where + " name is longer than 30 characters");
    record.push_back(static_cast<uint8_t>(0xC0 | name.size()));
    record.insert(record.end(), name.begin(), name.end());
}

// Encodes a typed SDR entry as an IPMI 1.5 record with the given record id.
std::vector<uint8_t> ReadSdr(const json& e, size_t index) {
    std::string where = "sdr entry " + std::to_string(index);
    if (!e.is_object())
        throw Bad(where + " is not an object");
    if (e.contains("raw")) {
        CheckKeys(e, {"raw"}, where);
        return HexBytes(Text(e, "raw", where), where + " raw");
    }
    if (!e.contains("type"))
        throw Bad(where + " needs a type or raw bytes");
    std::string type = Text(e, "type", where);
    std::vector<uint8_t> r = {static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8), 0x51};
    if (type == "fru_locator") {
        CheckKeys(e,
                  {"type", "access_address", "device", "logical", "lun", "bus", "channel",
                   "device_type", "device_type_modifier", "entity_id", "entity_instance", "name"},
                  where);
        bool logical = BoolOr(e, "logical", where, true);
        uint8_t lun = static_cast<uint8_t>(NumberOr(e, "lun", where, 3, 0));
        uint8_t bus = static_cast<uint8_t>(NumberOr(e, "bus", where, 7, 0));
        r.push_back(0x11);
        r.push_back(0); // record length, set below
        r.push_back(static_cast<uint8_t>(NumberOr(e, "access_address", where, 0xFF, 0x20) & 0xFE));
        // A logical device is named by its FRU id; a device on a private bus
        // by its slave address.
        uint8_t device = static_cast<uint8_t>(NumberOr(e, "device", where, 0xFF, 0));
        r.push_back(logical ? device : static_cast<uint8_t>(device & 0xFE));
        r.push_back(static_cast<uint8_t>((logical ? 0x80 : 0) | (lun << 3) | bus));
        r.push_back(static_cast<uint8_t>(NumberOr(e, "channel", where, 0x0F, 0) << 4));
        r.push_back(0); // reserved
        r.push_back(static_cast<uint8_t>(NumberOr(e, "device_type", where, 0xFF, 0x10)));
        r.push_back(static_cast<uint8_t>(NumberOr(e, "device_type_modifier", where, 0xFF, 0)));
        r.push_back(static_cast<uint8_t>(NumberOr(e, "entity_id", where, 0xFF, 0)));
        r.push_back(static_cast<uint8_t>(NumberOr(e, "entity_instance", where, 0xFF, 0)));
        r.push_back(0); // OEM
    } else if (type == "mc_locator") {
        CheckKeys(
            e,
            {"type", "address", "channel", "capabilities", "entity_id", "entity_instance", "name"},
            where);
        if (!e.contains("address"))
            throw Bad(where + " has no address");
        r.push_back(0x12);
        r.push_back(0);
        r.push_back(static_cast<uint8_t>(Number(e["address"], where + " address", 0xFF) & 0xFE));
        r.push_back(static_cast<uint8_t>(NumberOr(e, "channel", where, 0x0F, 0)));
        r.push_back(0); // power state notification, global initialization
        // Device capabilities: a FRU inventory device by default.
        r.push_back(static_cast<uint8_t>(NumberOr(e, "capabilities", where, 0xFF, 0x08)));
        r.insert(r.end(), {0, 0, 0}); // reserved
        r.push_back(static_cast<uint8_t>(NumberOr(e, "entity_id", where, 0xFF, 0)));
        r.push_back(static_cast<uint8_t>(NumberOr(e, "entity_instance", where, 0xFF, 0)));
        r.push_back(0); // OEM
    } else {
        throw Bad(where + " type \"" + type + "\" is neither fru_locator nor mc_locator");
    }
    AppendName(r, e, where);
    r[4] = static_cast<uint8_t>(r.size() - 5);
    return r;
}

SimFault ReadFault(const json& f, size_t index) {
    std::string where = "fault " + std::to_string(index);
    CheckKeys(f, {"match", "completion_code", "result", "effect", "skip", "times"}, where);
    SimFault fault;
    if (f.contains("match")) {
        const json& m = f["match"];
        std::string at = where + " match";
        CheckKeys(m, {"responder", "netfn", "lun", "command", "device", "offset", "bridged"}, at);
        auto take = [&](const char* key, uint64_t max) -> std::optional<uint32_t> {
            if (!m.contains(key))
                return std::nullopt;
            return Number(m[key], at + " " + key, max);
        };
        fault.responder = take("responder", 0xFF);
        fault.netFn = take("netfn", 0xFF);
        fault.lun = take("lun", 3);
        fault.command = take("command", 0xFF);
        fault.device = take("device", 0xFF);
        fault.offset = take("offset", 0xFFFF);
        if (m.contains("bridged"))
            fault.bridged = BoolOr(m, "bridged", at, false);
    }
    int effects = f.contains("completion_code") + f.contains("result") + f.contains("effect");
    if (effects != 1)
        throw Bad(where + " needs exactly one of completion_code, result and effect");
    if (f.contains("completion_code")) {
        fault.effect = SimEffect::CompletionCode;
        fault.completionCode =
            static_cast<uint8_t>(Number(f["completion_code"], where + " completion_code", 0xFF));
    } else if (f.contains("result")) {
        fault.effect = SimEffect::Result;
        fault.result = Number(f["result"], where + " result", 0xFFFFFFFFu);
        if (fault.result == 0)
            throw Bad(where + " result must be a non-zero driver result");
    } else {
        std::string effect = Text(f, "effect", where);
        if (effect == "no_response")
            fault.effect = SimEffect::NoResponse;
        else if (effect == "wrong_sequence")
            fault.effect = SimEffect::WrongSequence;
        else if (effect == "corrupt_data")
            fault.effect = SimEffect::CorruptData;
        else
            throw Bad(where + " effect \"" + effect +
                      "\" is not no_response, wrong_sequence or corrupt_data");
    }
    fault.skip = NumberOr(f, "skip", where, 0xFFFFFFFFu, 0);
    if (f.contains("times"))
        fault.times = Number(f["times"], where + " times", 0xFFFFFFFFu);
    return fault;
}

} // namespace

bool SimSystem::Load(const std::string& path, std::string& error) {
    controllers.clear();
    sdr.clear();
    faults.clear();
    try {
        std::ifstream in(path);
        if (!in)
            throw Bad("cannot read the file");
        json doc;
        try {
            doc = json::parse(in);
        } catch (const json::exception& e) {
            throw Bad(std::string("not valid JSON: ") + e.what());
        }
        CheckKeys(doc, {"ipmi_version", "controllers", "sdr", "faults"}, "the description");
        std::filesystem::path folder = std::filesystem::path(path).parent_path();
        uint8_t version = static_cast<uint8_t>(NumberOr(doc, "ipmi_version", "the", 0xFF, 0x51));

        std::vector<SimController> read;
        if (doc.contains("controllers")) {
            if (!doc["controllers"].is_array())
                throw Bad("controllers must be a list");
            for (size_t i = 0; i < doc["controllers"].size(); ++i) {
                SimController c = ReadController(doc["controllers"][i], folder, version, i);
                for (const SimController& other : read)
                    if (other.address == c.address)
                        throw Bad("controller " + Hex2(c.address) + " appears twice");
                read.push_back(std::move(c));
            }
        }
        // The BMC always exists, first in the list.
        SimController bmc;
        bmc.ipmiVersion = version;
        for (SimController& c : read)
            if (c.address == 0x20)
                bmc = std::move(c);
        controllers.push_back(std::move(bmc));
        for (SimController& c : read)
            if (c.address != 0x20)
                controllers.push_back(std::move(c));

        if (doc.contains("sdr")) {
            if (!doc["sdr"].is_array())
                throw Bad("sdr must be a list");
            if (doc["sdr"].size() > 0xFFFF)
                throw Bad("sdr holds more records than record ids");
            for (size_t i = 0; i < doc["sdr"].size(); ++i)
                sdr.push_back(ReadSdr(doc["sdr"][i], i));
        }
        if (doc.contains("faults")) {
            if (!doc["faults"].is_array())
                throw Bad("faults must be a list");
            for (size_t i = 0; i < doc["faults"].size(); ++i)
                faults.push_back(ReadFault(doc["faults"][i], i));
        }
    } catch (const std::exception& e) {
        controllers.clear();
        sdr.clear();
        faults.clear();
        error = e.what();
        return false;
    }
    return true;
}

SimController* SimSystem::FindController(uint8_t address) {
    for (SimController& c : controllers)
        if (c.address == address)
            return &c;
    return nullptr;
}

bool SimSystem::WriteBack(SimMemory& memory, size_t offset, size_t n, std::string& error) {
    if (memory.file.empty() || n == 0)
        return true;
    // Bytes between the file's end and the write are the 0xFF padding; they
    // go to the file too so it holds no gap.
    size_t start = offset < memory.fileSize ? offset : memory.fileSize;
    size_t end = offset + n;
    std::FILE* f = std::fopen(memory.file.c_str(), "r+b");
    bool ok = f && std::fseek(f, static_cast<long>(start), SEEK_SET) == 0 &&
              std::fwrite(memory.bytes.data() + start, 1, end - start, f) == end - start;
    if (f && std::fclose(f) != 0)
        ok = false;
    if (!ok)
        error = "cannot write image file " + memory.file;
    else if (end > memory.fileSize)
        memory.fileSize = end;
    return ok;
}
