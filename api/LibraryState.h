// The one library state of the process: the load and selection state, the
// progress callback and the three lists the library owns.
#pragma once
#include "api/CFruProperties.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/FruList.h"

#include <cstdint>
#include <memory>

class CFru;
class FruLocator;

class LibraryState {
  public:
    static constexpr uint32_t kNoList = 0;
    static constexpr uint32_t kSystemList = 1;
    static constexpr uint32_t kFileList = 2;
    static constexpr uint32_t kNone = 0xFFFFFFFF;
    // A load reads the devices of the first 17 locator records.
    static constexpr uint32_t kMaxImagesPerLoad = 17;

    // What the last load found at one located device, by locator position:
    // whether its image went into the system list and, when not, the status
    // and last-error text of the failed read, so that a tool can say why
    // without reading the device again.
    struct DeviceRead {
        bool read = false;
        uint32_t status = 0;
        char16_t message[Frame::kErrorBufferUnits] = {};
    };

    // Destroys the state in use, if any, and makes a fresh one with its three
    // lists; false, with no state in use, when memory runs out.
    static bool Renew();
    // Destroys the state in use, if any, with every FRU and locator it holds.
    static void Release();
    ~LibraryState();
    LibraryState(const LibraryState&) = delete;
    LibraryState& operator=(const LibraryState&) = delete;

    bool loaded = false;
    bool modified = false;
    bool propertiesLoaded = false;
    uint32_t selectedList = kNoList;
    uint32_t selectedFru = kNone;
    uint32_t selectedArea = 0;
    uint32_t selectedField = kNone;
    uint32_t selectedProperty = kNone;
    CFruProperties properties;
    OrvaneProgressCallback progressCallback = nullptr;
    uint32_t progressInterval = 1;
    std::unique_ptr<FruList<CFru>> fileList;
    std::unique_ptr<FruList<CFru>> systemList;
    FruList<CFru>* currentList = nullptr; // one of the two above
    std::unique_ptr<FruList<FruLocator>> locatorList;
    DeviceRead deviceReads[kMaxImagesPerLoad];
    uint32_t deviceReadCount = 0; // entries of deviceReads the last load filled

  private:
    LibraryState() = default;
};

// The process-wide state behind the exported functions.
namespace Globals {
// True once Initialize has completed.
extern bool initialised;
// The library state in use (null before Initialize and after DeInitialize);
// LibraryState::Renew and LibraryState::Release are the only ones that set it.
extern LibraryState* state;
} // namespace Globals
