// Configuration files as someone may have edited them: read into the file
// list, walked, saved again and the saved file read back.
//
// Input: the file's bytes.
#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::Prepare(ORVANE_FUZZ_SIM_DRIVER);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::u16string input = FuzzSupport::WidePath("input.cfg");
    static const std::u16string saved = FuzzSupport::WidePath("saved.cfg");
    FuzzSupport::WriteFile(FuzzSupport::Path("input.cfg"), std::vector<uint8_t>(data, data + size));
    std::remove(FuzzSupport::Path("saved.cfg").c_str());

    OrvaneInterface api;
    FuzzSupport::Begin(&api);
    if (LoadConfigurationFromFile(&api, input.c_str()) == ORVANE_OK) {
        FuzzSupport::WalkList(&api, ORVANE_LIST_FILE);
        if (SaveConfigurationToFile(&api, saved.c_str()) == ORVANE_OK &&
            LoadConfigurationFromFile(&api, saved.c_str()) == ORVANE_OK)
            FuzzSupport::WalkFru(&api);
    }
    FuzzSupport::End(&api);
    return 0;
}
