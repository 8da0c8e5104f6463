// Where a FRU device sits (address, bus, controller, storage kind) and its
// display name.
#pragma once
#include <cstdint>

class FruLocator {
  public:
    FruLocator() = default;
    ~FruLocator();
    FruLocator(const FruLocator&) = delete;
    FruLocator& operator=(const FruLocator&) = delete;

    // Copies the name: 0 on success, 1 for a null name (kept), ORVANE_E_FRU_NO_MEMORY when
    // the copy cannot be allocated (name left null).
    uint32_t SetName(const char16_t* text);
    // Converts a narrow name through the running locale and keeps its bytes:
    // 0, or 1 on failure.
    uint32_t SetName(const char* text);
    const char16_t* GetName() const { return name; }
    // The bytes of a name set as a narrow text, null once the name was set as
    // a wide text. A byte the locale cannot convert reads as the character of
    // its value, which the locale may write back as other bytes; these bytes
    // let a file get back exactly the title it gave.
    const char* GetNameBytes() const { return nameBytes; }

    uint8_t deviceAddress = 0x20;
    uint8_t bus = 0xFF;
    uint8_t deviceId = 0;
    uint8_t controller = 0x20;
    uint32_t lun = 0;
    uint32_t nvsType = 2;

  private:
    char16_t* name = nullptr;
    char* nameBytes = nullptr;
};
