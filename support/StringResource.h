// The message catalogue: a binary file of numbered UTF-16 strings, chosen by
// language and locale. Layout (little-endian): N, N offsets, N lengths (in code
// units, counting the terminator), the strings; the 16-bit word sum of the
// whole file is 0.
#pragma once
#include <cstdint>
#include <cstdio>

class StringResource {
  public:
    // Reader codes.
    static constexpr uint32_t kOk = 0;
    static constexpr uint32_t kNoPath = 1;
    static constexpr uint32_t kNoMemory = 2;
    static constexpr uint32_t kPathCopy = 3;
    static constexpr uint32_t kOpen = 4;
    static constexpr uint32_t kRead = 5;
    static constexpr uint32_t kChecksum = 6;
    static constexpr uint32_t kEmpty = 7;
    static constexpr uint32_t kBadOffset = 8;
    static constexpr uint32_t kNothingOpen = 10;
    static constexpr uint32_t kCount = 11;

    StringResource() = default;
    ~StringResource();
    StringResource(const StringResource&) = delete;
    StringResource& operator=(const StringResource&) = delete;

    // Opens and validates the catalogue at path; expected is 0 (any count) or
    // the count the file must have.
    uint32_t Open(const char16_t* path, uint32_t expected);
    // Reads every string into one block.
    uint32_t LoadAll();
    // The string of that index, or null.
    const char16_t* GetString(uint32_t index);
    uint32_t FreeCache();
    uint32_t GetCount() const { return count; }

  private:
    void Release();
    bool ReadWords(uint32_t* target, uint32_t n);

    char16_t* path = nullptr;
    std::FILE* file = nullptr;
    uint32_t count = 0;
    uint32_t* offsets = nullptr;
    uint32_t* lengths = nullptr;
    char16_t** cache = nullptr;
    char16_t* block = nullptr;
};
