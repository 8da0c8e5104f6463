// The message catalogue: a binary file of numbered UTF-16 strings, chosen by
// language and locale. Layout (little-endian): N, N offsets, N lengths (in code
// units, counting the terminator), the strings; the 16-bit word sum of the
// whole file is 0.
//
// A catalogue is untrusted input (it is looked for in the current directory
// first): it is read once, whole, after its size is checked, every table
// value is checked against the bytes read before anything else is allocated,
// and every entry must be terminated and use exactly the printf directives
// that the library's arguments for its index fill (CatalogueSignatures). The
// texts handed out are the checked copy, never the file again.
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
    // An entry without its terminating zero, or whose directives are not the
    // arguments passed to its index.
    static constexpr uint32_t kBadEntry = 12;
    // The file is larger than kMaxBytes.
    static constexpr uint32_t kTooLarge = 13;

    // No catalogue is larger than this; a bigger file is refused unread.
    static constexpr uint32_t kMaxBytes = 1u << 20;

    StringResource() = default;
    ~StringResource();
    StringResource(const StringResource&) = delete;
    StringResource& operator=(const StringResource&) = delete;

    // Opens and validates the catalogue at path; expected is 0 (any count) or
    // the count the file must have.
    uint32_t Open(const char16_t* path, uint32_t expected);
    // Reads every string into one block (Open already has; after FreeCache
    // the file is read and checked again).
    uint32_t LoadAll();
    // The string of that index, or null.
    const char16_t* GetString(uint32_t index);
    uint32_t FreeCache();
    uint32_t GetCount() const { return count; }

  private:
    void Release();
    // Reads and checks the open file whole and takes its tables and strings;
    // a refused entry's line is written for operation.
    uint32_t ReadCatalogue(uint32_t expected, const char16_t* operation);

    char16_t* path = nullptr;
    std::FILE* file = nullptr;
    uint32_t count = 0;
    uint32_t* offsets = nullptr;
    uint32_t* lengths = nullptr;
    char16_t** cache = nullptr;
    char16_t* block = nullptr;
};
