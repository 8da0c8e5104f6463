// The simulated BMC's JSON description: the module reads it on the library's
// first request, then the library loads the system and its properties and
// commits the first FRU with one field changed. The demo system's image
// files lie beside the description, fresh for every run.
//
// Input: the description's text.
#include "fuzz/FuzzSupport.h"

#include <string>
#include <vector>

namespace {
const char* const kImages[] = {"board.bin", "psu.bin", "chassis.bin", "eeprom.bin",
                               "satellite.bin"};
std::vector<std::vector<uint8_t>> g_images;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::Prepare(ORVANE_FUZZ_SIM_DRIVER);
    for (const char* name : kImages)
        g_images.push_back(FuzzSupport::SourceFile(std::string("examples/demo-system/") + name));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The simulated BMC reads the image files a description names and writes
    // commits back to them: a description that could name a file outside the
    // working folder (a '/' or an escape) is not run.
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (text.find_first_of("/\\") != std::string::npos)
        return -1; // and not kept in the corpus
    for (size_t i = 0; i < g_images.size(); ++i)
        FuzzSupport::WriteFile(FuzzSupport::Path(kImages[i]), g_images[i]);
    FuzzSupport::UseSimSystem(text);

    OrvaneInterface api;
    FuzzSupport::Begin(&api);
    if (LoadConfigurationFromSystem(&api) == ORVANE_OK) {
        FuzzSupport::WalkList(&api, ORVANE_LIST_SYSTEM);
        if (SelectList(&api, ORVANE_LIST_SYSTEM) == ORVANE_OK && SelectFru(&api, 0) == ORVANE_OK) {
            FuzzSupport::EditFru(&api, 0x5A);
            CommitConfigurationToSystem(&api);
        }
    }
    FuzzSupport::WalkProperties(&api);
    FuzzSupport::End(&api);
    return 0;
}
