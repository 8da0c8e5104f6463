// A FRU image served by a device of the simulated BMC: read by a system load,
// walked with every Get operation, edited, committed back to the device,
// saved to a configuration file and read from it again.
//
// Input: one byte choosing the device (the BMC's FRU 0, a logical FRU device
// 1, FRU 0 of a satellite controller reached by bridging, an AT24C02 EEPROM
// behind Master Write-Read), then the image.
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <string>

namespace {

const char* const kSystems[] = {
    R"({"controllers": [{"address": "0x20", "fru_devices": [{"id": 0, "image": "image.bin"}]}],
        "sdr": [{"type": "mc_locator", "address": "0x20", "name": "Board"}]})",
    R"({"controllers": [{"address": "0x20", "fru_devices": [{"id": 1, "image": "image.bin"}]}],
        "sdr": [{"type": "fru_locator", "access_address": "0x20", "device": 1, "logical": true,
                 "device_type": "0x10", "name": "Power Supply"}]})",
    R"({"controllers": [{"address": "0x20"},
                        {"address": "0x30", "channel": 0,
                         "fru_devices": [{"id": 0, "image": "image.bin"}]}],
        "sdr": [{"type": "mc_locator", "address": "0x30", "channel": 0, "name": "Satellite"}]})",
    R"({"controllers": [{"address": "0x20", "i2c_devices": [{"bus": 1, "address": "0xA0",
                         "kind": "AT24CO2", "image": "image.bin"}]}],
        "sdr": [{"type": "fru_locator", "access_address": "0x20", "device": "0xA0",
                 "logical": false, "bus": 3, "device_type": "0x0B", "name": "Riser"}]})",
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::Prepare(ORVANE_FUZZ_SIM_DRIVER);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    uint8_t way = input.Byte();
    FuzzSupport::WriteFile(FuzzSupport::Path("image.bin"), input.Rest());
    FuzzSupport::UseSimSystem(kSystems[way % 4]);
    std::remove(FuzzSupport::Path("saved.cfg").c_str());
    const std::u16string saved = FuzzSupport::WidePath("saved.cfg");

    OrvaneInterface api;
    FuzzSupport::Begin(&api);
    if (LoadConfigurationFromSystem(&api) == ORVANE_OK) {
        FuzzSupport::WalkList(&api, ORVANE_LIST_SYSTEM);
        if (SelectFru(&api, 0) == ORVANE_OK) {
            FuzzSupport::EditFru(&api, way);
            FuzzSupport::WalkFru(&api);
            CommitConfigurationToSystem(&api);
            SaveConfigurationToFile(&api, saved.c_str());
            if (LoadConfigurationFromFile(&api, saved.c_str()) == ORVANE_OK)
                FuzzSupport::WalkList(&api, ORVANE_LIST_FILE);
        }
    }
    FuzzSupport::End(&api);
    return 0;
}
