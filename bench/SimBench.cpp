// Times whole loads of a 16-FRU system on the simulated BMC: 16 FRU devices
// of 288 bytes behind the BMC and one behind a satellite reached through
// Send Message, 17 SDR records. Each load is Initialize,
// LoadConfigurationFromSystem and DeInitialize in this process.
//
// Usage: orvane-sim-bench [loads]   (ORVANE_DATA_DIR names the catalogues)
#include <orvane/orvane.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// An info area of `length` bytes: the head, the fields as 8-bit texts, the
// end marker, zero padding and the checksum.
std::vector<uint8_t> InfoArea(std::vector<uint8_t> head, const std::vector<std::string>& fields,
                              size_t length) {
    std::vector<uint8_t> area = std::move(head);
    for (const std::string& field : fields) {
        area.push_back(static_cast<uint8_t>(0xC0 | field.size()));
        area.insert(area.end(), field.begin(), field.end());
    }
    area.push_back(0xC1);
    area.resize(length - 1, 0);
    area[1] = static_cast<uint8_t>(length / 8);
    uint8_t sum = 0;
    for (uint8_t byte : area)
        sum = static_cast<uint8_t>(sum + byte);
    area.push_back(static_cast<uint8_t>(-sum));
    return area;
}

// A 288-byte image: the header, a board area of 136 and a product area of 144 bytes.
std::string ImageHex(int n) {
    std::string tag = std::to_string(n);
    std::vector<uint8_t> image = {1, 0, 0, 1, 18, 0, 0, 0};
    image[7] = static_cast<uint8_t>(-(1 + 1 + 18));
    std::vector<uint8_t> board = InfoArea(
        {1, 0, 0, 0x10, 0x2F, 0x0C},
        {"Bench Board Works", "Board " + tag, "BSN-000" + tag, "BPN-42-" + tag, "F1"}, 136);
    std::vector<uint8_t> product = InfoArea({1, 0, 0},
                                            {"Bench Product Co", "Product " + tag, "PPN-" + tag,
                                             "1.0", "PSN-" + tag, "ASSET-" + tag, "F2"},
                                            144);
    image.insert(image.end(), board.begin(), board.end());
    image.insert(image.end(), product.begin(), product.end());
    std::string hex;
    char byte[4];
    for (uint8_t b : image) {
        std::snprintf(byte, sizeof byte, "%02X ", b);
        hex += byte;
    }
    return hex;
}

std::string SystemJson() {
    std::string devices;
    for (int id = 0; id < 16; ++id)
        devices += std::string(id ? ", " : "") + "{ \"id\": " + std::to_string(id) +
                   ", \"hex\": \"" + ImageHex(id) + "\" }";
    std::string sdr = R"({ "type": "mc_locator", "address": "0x20", "name": "BMC" })";
    for (int id = 1; id < 16; ++id)
        sdr += R"(, { "type": "fru_locator", "access_address": "0x20", "device": )" +
               std::to_string(id) + R"(, "logical": true, "name": "FRU )" + std::to_string(id) +
               "\" }";
    sdr += R"(, { "type": "mc_locator", "address": "0x30", "name": "Satellite" })";
    return R"({ "controllers": [ { "address": "0x20", "fru_devices": [ )" + devices +
           R"( ] }, { "address": "0x30", "channel": 0, "fru_devices": [ { "id": 0, "hex": ")" +
           ImageHex(99) + R"(" } ] } ], "sdr": [ )" + sdr + " ] }";
}

} // namespace

int main(int argc, char** argv) {
    int loads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    char folder[] = "/tmp/orvane-sim-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    std::string path = std::string(folder) + "/system.json";
    std::ofstream(path) << SystemJson();
    setenv("ORVANE_DRIVER", "sim", 0);
    setenv("ORVANE_SIM_SYSTEM", path.c_str(), 1);

    OrvaneInterface api;
    std::memset(&api, 0, sizeof api);
    api.setLanguage = SetLanguageLocale;
    std::vector<double> times;
    uint32_t present = 0, read = 0;
    for (int i = 0; i < loads; ++i) {
        auto start = Clock::now();
        if (Initialize(&api) != ORVANE_OK) {
            std::printf("Initialize failed (is ORVANE_DATA_DIR set?)\n");
            return 1;
        }
        LoadConfigurationFromSystem(&api);
        SelectList(&api, ORVANE_LIST_SYSTEM);
        GetNumberOfFrus(&api, &present, &read);
        DeInitialize(&api);
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    unlink(path.c_str());
    rmdir(folder);
    std::sort(times.begin(), times.end());
    std::printf("simulated BMC, %u of %u FRUs read per load, %d loads: median %.0f us, "
                "fastest %.0f us%s\n",
                static_cast<unsigned>(read), static_cast<unsigned>(present), loads,
                times[times.size() / 2] * 1e6, times.front() * 1e6,
                std::getenv("ORVANE_SIM_LOG") ? " (ORVANE_SIM_LOG set)" : "");
    return read == 17 ? 0 : 1;
}
