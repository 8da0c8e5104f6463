// The three system properties: the BMC's IPMI version and the two FRU counts,
// each with its text.
#pragma once
#include <cstdint>

class CFruProperties {
  public:
    CFruProperties() = default;
    ~CFruProperties();
    CFruProperties(const CFruProperties&) = delete;
    CFruProperties& operator=(const CFruProperties&) = delete;

    void SetIpmiVersion(uint8_t version);
    uint8_t GetIpmiVersion() const;
    // Replaces the version text by a copy; a null text changes nothing.
    void SetIpmiVersionString(const char16_t* text);
    // The owned texts, null before they are set.
    const char16_t* GetIpmiVersionString() const;
    const char16_t* GetNumberOfFrusString() const;
    const char16_t* GetNumberOfIpmiFrusString() const;
    void SetNumberOfFrus(uint8_t count);
    void SetNumberOfIpmiFrus(uint8_t count);

  private:
    static void SetStringFromNumber(int32_t number, char16_t*& slot);

    uint8_t m_IpmiVersion = 0;
    uint32_t m_NumberOfFrus = 0;
    uint32_t m_NumberOfIpmiFrus = 0;
    char16_t* m_IpmiVersionString = nullptr;
    char16_t* m_NumberOfFrusString = nullptr;
    char16_t* m_NumberOfIpmiFrusString = nullptr;
};

namespace FruUtility {
// Fills the properties from the system: version from Get Device ID, counts
// from the locator and system lists. Returns 0.
uint32_t InitializeFruProperties(CFruProperties& properties);
} // namespace FruUtility
