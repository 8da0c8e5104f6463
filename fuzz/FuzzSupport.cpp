#include "fuzz/FuzzSupport.h"
#include "support/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace FuzzSupport {
namespace {

std::string g_folder = "."; // the working folder of this process

// Reads a library string to its end, so a dangling or unterminated text is
// caught where it is handed out.
size_t Touch(const OrvaneChar* text) {
    size_t n = 0;
    if (text)
        while (text[n])
            ++n;
    return n;
}

void TouchLastError(OrvaneInterface* api) {
    const OrvaneChar* message = nullptr;
    GetLastErrorMessage(api, &message);
    Touch(message);
}

void WalkFields(OrvaneInterface* api) {
    uint32_t count = 0;
    if (GetNumberOfFields(api, &count) != ORVANE_OK)
        return;
    for (uint32_t i = 0; i <= count; ++i) { // one past the end as well
        if (SelectFieldInteger(api, i) != ORVANE_OK)
            continue;
        const OrvaneChar* text = nullptr;
        if (GetFieldTitle(api, &text) == ORVANE_OK)
            Touch(text);
        if (GetFieldStringValue(api, &text) == ORVANE_OK)
            Touch(text);
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        if (GetFieldDataValue(api, &data, &length) == ORVANE_OK && data) {
            volatile uint8_t sum = 0;
            for (uint32_t b = 0; b < length; ++b)
                sum = static_cast<uint8_t>(sum + data[b]);
        }
        uint32_t room = 0;
        GetMaxFieldSize(api, &room);
    }
}

void WalkAreaBytes(OrvaneInterface* api) {
    uint32_t size = 0;
    GetAreaSize(api, &size);
    std::vector<uint8_t> bytes(size + 8);
    uint32_t capacity = static_cast<uint32_t>(bytes.size());
    GetAreaData(api, bytes.data(), &capacity);
    uint32_t small = 1; // a buffer too small must be refused, not overrun
    GetAreaData(api, bytes.data(), &small);
}

} // namespace

void Prepare(const std::string& driverPath) {
    char folder[] = "/tmp/orvane-fuzz-XXXXXX";
    if (!mkdtemp(folder))
        throw std::runtime_error("no working folder for the fuzz run");
    g_folder = folder;
    // The catalogues are looked for here, so a target can add its own.
    const std::string english = "enus/orvane/str/orvane.str";
    std::filesystem::create_directories(Path("enus/orvane/str"));
    WriteFile(Path(english), ReadFile(std::string(ORVANE_FUZZ_BUILD_DIR) + "/" + english));
    setenv("ORVANE_DATA_DIR", folder, 1);
    setenv("ORVANE_DRIVER", driverPath.c_str(), 1);
    // Driver caches stay in the working folder, not in the user's.
    setenv("XDG_CACHE_HOME", Path("cache").c_str(), 1);
    Trace::SetDebugLevel(0); // no debug log in the current directory
}

std::string Path(const std::string& name) {
    return g_folder + "/" + name;
}

std::u16string WidePath(const std::string& name) {
    std::string path = Path(name);
    return std::u16string(path.begin(), path.end()); // the folder and names are ASCII
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<uint8_t> SourceFile(const std::string& relativePath) {
    return ReadFile(std::string(ORVANE_FUZZ_SOURCE_DIR) + "/" + relativePath);
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char byte[4];
    for (uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%02X ", b);
        text += byte;
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

void UseSimSystem(const std::string& json) {
    static int turn = 0;
    turn ^= 1;
    std::string path = Path(turn ? "system-a.json" : "system-b.json");
    WriteFile(path, std::vector<uint8_t>(json.begin(), json.end()));
    setenv("ORVANE_SIM_SYSTEM", path.c_str(), 1);
}

void Begin(OrvaneInterface* api) {
    *api = OrvaneInterface{};
    api->setLanguage = SetLanguageLocale;
    Initialize(api);
    SetDebugLevel(api, 0);
}

void End(OrvaneInterface* api) {
    DeInitialize(api);
}

void WalkFru(OrvaneInterface* api) {
    uint32_t nvsType = 0;
    uint8_t lun = 0, address = 0, bus = 0, controller = 0, device = 0;
    GetFruAddress(api, &nvsType, &lun, &address, &bus, &controller, &device);
    const OrvaneChar* text = nullptr;
    if (GetFruName(api, &text) == ORVANE_OK)
        Touch(text);
    uint8_t flag = 0;
    HasInternalUseArea(api, &flag);
    HasChassisArea(api, &flag);
    HasBoardArea(api, &flag);
    HasProductArea(api, &flag);
    HasMultiRecordArea(api, &flag);
    IsModified(api, &flag);
    uint32_t areas = 0;
    GetNumberOfAreas(api, &areas);
    for (uint32_t a = 0; a <= areas; ++a) {
        if (SelectAreaInteger(api, a) != ORVANE_OK)
            continue;
        if (GetAreaName(api, &text) == ORVANE_OK)
            Touch(text);
        WalkFields(api);
        WalkAreaBytes(api);
    }
    for (int32_t kind = 0; kind <= 7; ++kind) {
        if (SelectAreaEnum(api, kind) != ORVANE_OK)
            continue;
        WalkAreaBytes(api);
        for (int32_t field = 0; field <= 18; ++field)
            if (SelectFieldEnum(api, field) == ORVANE_OK && GetFieldStringValue(api, &text) == 0)
                Touch(text);
    }
    TouchLastError(api);
}

void WalkList(OrvaneInterface* api, uint32_t listId) {
    if (SelectList(api, listId) != ORVANE_OK)
        return;
    uint32_t present = 0, loaded = 0;
    GetNumberOfFrus(api, &present, &loaded);
    for (uint32_t i = 0; i <= loaded; ++i)
        if (SelectFru(api, i) == ORVANE_OK)
            WalkFru(api);
    TouchLastError(api);
}

void WalkProperties(OrvaneInterface* api) {
    LoadPropertiesFromSystem(api);
    uint32_t count = 0;
    GetNumberOfProperties(api, &count);
    for (uint32_t i = 0; i <= count; ++i) {
        if (SelectProperty(api, i) != ORVANE_OK)
            continue;
        const OrvaneChar* text = nullptr;
        if (GetPropertyTitle(api, &text) == ORVANE_OK)
            Touch(text);
        if (GetPropertyValue(api, &text) == ORVANE_OK)
            Touch(text);
    }
    TouchLastError(api);
}

void EditFru(OrvaneInterface* api, uint8_t change) {
    for (int32_t kind : {ORVANE_AREA_CHASSIS, ORVANE_AREA_BOARD, ORVANE_AREA_PRODUCT}) {
        uint32_t count = 0;
        if (SelectAreaEnum(api, kind) != ORVANE_OK || GetNumberOfFields(api, &count) != ORVANE_OK)
            continue;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* data = nullptr;
            uint32_t length = 0, room = 0;
            if (SelectFieldInteger(api, i) != ORVANE_OK ||
                GetFieldDataValue(api, &data, &length) != ORVANE_OK)
                continue;
            std::vector<uint8_t> value(data, data + length);
            GetMaxFieldSize(api, &room);
            if (room > 0 || value.empty())
                value.push_back(change);
            else
                value.pop_back();
            SetFieldDataValue(api, value.data(), static_cast<uint32_t>(value.size()));
        }
    }
    for (int32_t kind : {ORVANE_AREA_INTERNAL_USE, ORVANE_AREA_MULTIRECORD}) {
        uint32_t size = 0;
        if (SelectAreaEnum(api, kind) != ORVANE_OK || GetAreaSize(api, &size) != ORVANE_OK)
            continue;
        std::vector<uint8_t> bytes(size);
        uint32_t capacity = size;
        if (GetAreaData(api, bytes.data(), &capacity) != ORVANE_OK)
            continue;
        bytes.resize(capacity);
        if (!bytes.empty())
            bytes[0] = static_cast<uint8_t>(bytes[0] ^ change);
        SetAreaData(api, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    TouchLastError(api);
}

} // namespace FuzzSupport
