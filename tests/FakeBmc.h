// Access to the scripted BMC driver module (tests/drivers/FakeBmc.cpp) that the
// transfer, image and scan tests run against.
#pragma once
#include "system/DriverModule.h"

#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <initializer_list>
#include <stdexcept>
#include <vector>

struct FakeRequest {
    uint8_t responder, netFn, lun, command;
    uint32_t length;
    uint8_t data[64];

    std::vector<uint8_t> Data() const { return std::vector<uint8_t>(data, data + length); }
};

class FakeBmc {
  public:
    explicit FakeBmc(const std::vector<uint8_t>& image) {
        DriverModule::Unload();
        setenv("ORVANE_DRIVER", ORVANE_FAKE_BMC, 1);
        handle = dlopen(ORVANE_FAKE_BMC, RTLD_NOW);
        if (!handle)
            throw std::runtime_error("the fake BMC module cannot be loaded");
        Call<void (*)(const uint8_t*, uint32_t)>("FakeBmcReset")(
            image.data(), static_cast<uint32_t>(image.size()));
    }
    ~FakeBmc() {
        DriverModule::Unload();
        dlclose(handle);
    }
    void AddRecord(const std::vector<uint8_t>& record) {
        Call<void (*)(const uint8_t*, uint32_t)>("FakeBmcAddRecord")(
            record.data(), static_cast<uint32_t>(record.size()));
    }
    // Get SDR of record id answers next as the next record id.
    void LinkRecord(uint32_t id, uint16_t next) {
        Call<void (*)(uint32_t, uint16_t)>("FakeBmcLinkRecord")(id, next);
    }
    // The next requests are answered with these completion codes and no data.
    void Script(std::initializer_list<uint8_t> codes) {
        for (uint8_t c : codes)
            Call<void (*)(uint8_t)>("FakeBmcScriptCode")(c);
    }
    std::vector<FakeRequest> Log() {
        std::vector<FakeRequest> log;
        uint32_t n = Call<uint32_t (*)()>("FakeBmcLogCount")();
        for (uint32_t i = 0; i < n; ++i)
            log.push_back(*Call<const FakeRequest* (*)(uint32_t)>("FakeBmcLogAt")(i));
        return log;
    }
    const uint8_t* Image() { return Call<const uint8_t* (*)()>("FakeBmcImage")(); }

  private:
    template <typename F> F Call(const char* name) {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    void* handle;
};
