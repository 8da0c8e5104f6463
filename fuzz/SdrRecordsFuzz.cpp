// Raw SDR records in the simulated BMC's repository: the scan decodes them,
// the FRUs they locate are read (the BMC's FRU devices 0 to 2, a satellite
// controller at 0x30 on channel 0 and an EEPROM at 0xA0 on private bus 1 all
// exist), and the system list and the properties are walked.
//
// Input: records, each a length byte and that many bytes, at most 24.
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzSupport.h"

#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::Prepare(ORVANE_FUZZ_SIM_DRIVER);
    FuzzSupport::WriteFile(FuzzSupport::Path("board.bin"),
                           FuzzSupport::SourceFile("examples/demo-system/board.bin"));
    FuzzSupport::WriteFile(FuzzSupport::Path("psu.bin"),
                           FuzzSupport::SourceFile("examples/demo-system/psu.bin"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    std::string records;
    for (int i = 0; i < 24 && !input.Empty(); ++i) {
        auto record = input.Bytes(input.Byte());
        records += std::string(i ? ", " : "") + "{\"raw\": \"" + FuzzSupport::Hex(record) + "\"}";
    }
    FuzzSupport::UseSimSystem(
        R"({"controllers": [{"address": "0x20", "fru_devices": [{"id": 0, "image": "board.bin"},
              {"id": 1, "image": "psu.bin"}, {"id": 2, "image": "psu.bin"}],
            "i2c_devices": [{"bus": 1, "address": "0xA0", "kind": "AT24CO2", "image": "psu.bin"}]},
           {"address": "0x30", "channel": 0, "fru_devices": [{"id": 0, "image": "psu.bin"}]}],
            "sdr": [)" +
        records + "]}");

    OrvaneInterface api;
    FuzzSupport::Begin(&api);
    LoadConfigurationFromSystem(&api);
    FuzzSupport::WalkList(&api, ORVANE_LIST_SYSTEM);
    FuzzSupport::WalkProperties(&api);
    FuzzSupport::End(&api);
    return 0;
}
