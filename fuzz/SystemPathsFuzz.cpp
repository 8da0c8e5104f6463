// The library's system paths against a BMC that answers from the fuzz input
// (see HostileBmc.h): the SDR scan, reading every FRU it locates, a commit of
// the first one with every field changed, the properties, and reads at
// addresses of each storage kind. Built twice: over the hostile driver
// module (fuzz-hostile-bmc) and over the freeipmi driver module on a fake
// libfreeipmi (fuzz-freeipmi-answers).
#include "fuzz/FuzzSupport.h"

#include <dlfcn.h>
#include <filesystem>
#include <stdexcept>
#include <string>

#ifdef ORVANE_FUZZ_IPMB_CODEC
#include "drivers/freeipmi/IpmbMessage.h"
#endif

namespace {
using StartFn = void (*)(const uint8_t*, size_t);
StartFn g_start = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzSupport::Prepare(ORVANE_FUZZ_MODULE);
    // The library opens the same module by the same path and so shares it.
    void* module = dlopen(ORVANE_FUZZ_MODULE, RTLD_NOW);
    g_start = module ? reinterpret_cast<StartFn>(dlsym(module, ORVANE_FUZZ_START)) : nullptr;
    if (!g_start)
        throw std::runtime_error("the fuzz driver module cannot be loaded");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#ifdef ORVANE_FUZZ_IPMB_CODEC
    // The module's IPMB codec on its own: the input as Send Message data.
    IpmbMessage::Request embedded;
    std::string why;
    if (IpmbMessage::Decode(data, static_cast<uint32_t>(size), &embedded, &why))
        IpmbMessage::EncodeResponse(embedded, 0, embedded.data.data(), embedded.data.size(), 64);
#endif
    std::filesystem::remove_all(FuzzSupport::Path("cache")); // no SDR cache from an earlier run
    g_start(data, size);
    OrvaneInterface api;
    FuzzSupport::Begin(&api);
    if (LoadConfigurationFromSystem(&api) == ORVANE_OK) {
        FuzzSupport::WalkList(&api, ORVANE_LIST_SYSTEM);
        if (SelectList(&api, ORVANE_LIST_SYSTEM) == ORVANE_OK && SelectFru(&api, 0) == ORVANE_OK) {
            FuzzSupport::EditFru(&api, 0x33);
            CommitConfigurationToSystem(&api);
        }
    }
    FuzzSupport::WalkProperties(&api);
    // nvsType, lun, device address, bus, controller, device id: the BMC's FRU
    // device 1, a satellite's FRU 0 over the bridge, an AT24C02 and a DS1624S.
    FindFruAtAddressAndChecksumHeader(&api, 2, 0, 0x20, 0, 0x20, 1);
    LoadFruAtAddress(&api, 2, 0, 0x20, 0, 0x30, 0);
    LoadFruAtAddress(&api, 0, 0, 0xA0, 3, 0x20, 0);
    LoadFruAtAddress(&api, 1, 0, 0x9E, 3, 0x20, 0);
    FuzzSupport::WalkList(&api, ORVANE_LIST_SYSTEM);
    FuzzSupport::End(&api);
    return 0;
}
