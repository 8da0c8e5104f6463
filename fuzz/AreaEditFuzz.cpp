// Sequences of area and field edits on a FRU read from the simulated BMC:
// selections by position and by enumerator, SetFieldDataValue and
// SetAreaData on every area kind, then a commit to the device, a save to a
// file, and both read back.
//
// Input: one byte choosing the demo system's mainboard, power supply or
// chassis image, then operations, each an operation byte and its operands:
// area kind, area position, field position, field enumerator (one byte
// each), field bytes (a length byte and the bytes), area bytes (a length
// word and the bytes).
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::vector<uint8_t>> g_images;

void Edit(OrvaneInterface* api, FuzzInput& input) {
    for (int step = 0; step < 64 && !input.Empty(); ++step) {
        const uint8_t operation = input.Byte();
        switch (operation % 6) {
        case 0:
            SelectAreaEnum(api, input.Byte() % 8);
            break;
        case 1:
            SelectAreaInteger(api, input.Byte() % 7);
            break;
        case 2:
            SelectFieldInteger(api, input.Byte() % 20);
            break;
        case 3:
            SelectFieldEnum(api, input.Byte() % 19);
            break;
        case 4: {
            std::vector<uint8_t> bytes = input.Bytes(input.Byte());
            SetFieldDataValue(api, bytes.data(), static_cast<uint32_t>(bytes.size()));
            uint32_t room = 0;
            GetMaxFieldSize(api, &room);
            const OrvaneChar* value = nullptr;
            GetFieldStringValue(api, &value);
            break;
        }
        case 5: {
            std::vector<uint8_t> bytes = input.Bytes(input.Word());
            SetAreaData(api, bytes.data(), static_cast<uint32_t>(bytes.size()));
            uint32_t size = 0;
            GetAreaSize(api, &size);
            break;
        }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::Prepare(ORVANE_FUZZ_SIM_DRIVER);
    for (const char* name : {"board.bin", "psu.bin", "chassis.bin"})
        g_images.push_back(FuzzSupport::SourceFile(std::string("examples/demo-system/") + name));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::u16string saved = FuzzSupport::WidePath("saved.cfg");
    FuzzInput input(data, size);
    std::vector<uint8_t> image = g_images[input.Byte() % g_images.size()];
    image.resize(512, 0xFF);
    FuzzSupport::WriteFile(FuzzSupport::Path("image.bin"), image);
    FuzzSupport::UseSimSystem(
        R"({"controllers": [{"address": "0x20", "fru_devices": [{"id": 0, "image": "image.bin"}]}],
            "sdr": [{"type": "mc_locator", "address": "0x20", "name": "Mainboard"}]})");
    std::remove(FuzzSupport::Path("saved.cfg").c_str());

    OrvaneInterface api;
    FuzzSupport::Begin(&api);
    if (LoadConfigurationFromSystem(&api) == ORVANE_OK &&
        SelectList(&api, ORVANE_LIST_SYSTEM) == 0 && SelectFru(&api, 0) == ORVANE_OK) {
        Edit(&api, input);
        FuzzSupport::WalkFru(&api);
        CommitConfigurationToSystem(&api);
        if (SaveConfigurationToFile(&api, saved.c_str()) == ORVANE_OK &&
            LoadConfigurationFromFile(&api, saved.c_str()) == ORVANE_OK)
            FuzzSupport::WalkFru(&api);
        // The committed image, read from the device again.
        if (LoadConfigurationFromSystem(&api) == ORVANE_OK)
            FuzzSupport::WalkList(&api, ORVANE_LIST_SYSTEM);
    }
    FuzzSupport::End(&api);
    return 0;
}
