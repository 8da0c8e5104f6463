// Message catalogues: a catalogue file the target writes is loaded with
// SetLanguageLocale, and every kind of text is then taken from it: area
// names, field titles and values (the board date is formatted by an entry),
// property titles, progress texts, failure messages with a FRU's name or a
// path in them.
//
// Input: the catalogue file's bytes; the target sets its check word.
#include "fuzz/FuzzSupport.h"

#include <filesystem>
#include <string>

namespace {

void Progress(uint32_t, const OrvaneChar* text, uint32_t, uint32_t) {
    volatile size_t n = 0;
    while (text && text[n])
        n = n + 1;
}

void TouchLastError(OrvaneInterface* api) {
    const OrvaneChar* message = nullptr;
    GetLastErrorMessage(api, &message);
    Progress(0, message, 0, 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::Prepare(ORVANE_FUZZ_SIM_DRIVER);
    std::filesystem::create_directories(FuzzSupport::Path("fzzz/orvane/str"));
    FuzzSupport::WriteFile(FuzzSupport::Path("board.bin"),
                           FuzzSupport::SourceFile("examples/demo-system/board.bin"));
    FuzzSupport::WriteFile(FuzzSupport::Path("example.cfg"),
                           FuzzSupport::SourceFile("tests/data/worked-example.cfg"));
    FuzzSupport::UseSimSystem(
        R"({"controllers": [{"address": "0x20", "fru_devices": [{"id": 0, "image": "board.bin"}],
                             "write_protected": true}],
            "sdr": [{"type": "mc_locator", "address": "0x20", "name": "Mainboard"}]})");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::u16string example = FuzzSupport::WidePath("example.cfg");
    static const std::u16string missing = FuzzSupport::WidePath("missing/none.cfg");
    // The last complete 16-bit word becomes the check word, so that inputs
    // reach the tables and texts instead of stopping at the word sum.
    std::vector<uint8_t> catalogue(data, data + size);
    if (size >= 2) {
        const size_t last = (size & ~size_t{1}) - 2;
        uint16_t sum = 0;
        for (size_t i = 0; i < last; i += 2)
            sum = static_cast<uint16_t>(sum + (catalogue[i] | (catalogue[i + 1] << 8)));
        const uint16_t check = static_cast<uint16_t>(0x10000 - sum);
        catalogue[last] = static_cast<uint8_t>(check);
        catalogue[last + 1] = static_cast<uint8_t>(check >> 8);
    }
    FuzzSupport::WriteFile(FuzzSupport::Path("fzzz/orvane/str/orvane.str"), catalogue);

    OrvaneInterface api;
    FuzzSupport::Begin(&api);
    if (SetLanguageLocale(&api, u"fz", u"zz") == ORVANE_OK) {
        SetProgressCallback(&api, Progress);
        LoadConfigurationFromSystem(&api);
        FuzzSupport::WalkList(&api, ORVANE_LIST_SYSTEM);
        FuzzSupport::WalkProperties(&api);
        // The device is write-protected: the commit fails with a message
        // naming the FRU.
        if (SelectList(&api, ORVANE_LIST_SYSTEM) == ORVANE_OK && SelectFru(&api, 0) == ORVANE_OK)
            CommitConfigurationToSystem(&api);
        TouchLastError(&api);
        LoadConfigurationFromFile(&api, missing.c_str());
        TouchLastError(&api);
        if (LoadConfigurationFromFile(&api, example.c_str()) == ORVANE_OK)
            FuzzSupport::WalkList(&api, ORVANE_LIST_FILE);
        SelectFru(&api, 1000);
        TouchLastError(&api);
    }
    TouchLastError(&api);
    FuzzSupport::End(&api);
    return 0;
}
