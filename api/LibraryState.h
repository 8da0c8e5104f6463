// The one library state of the process: the load and selection state, the
// progress callback and the three lists the library owns.
#pragma once
#include "api/CFruProperties.h"
#include "orvane/orvane.h"
#include "support/Frame.h"
#include "support/FruList.h"

#include <cstdint>

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

    // Allocates the three lists; Create returns null when memory runs out.
    static LibraryState* Create();
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
    FruList<CFru>* fileList = nullptr;
    FruList<CFru>* systemList = nullptr;
    FruList<CFru>* currentList = nullptr; // not owned
    FruList<FruLocator>* locatorList = nullptr;
    DeviceRead deviceReads[kMaxImagesPerLoad];
    uint32_t deviceReadCount = 0; // entries of deviceReads the last load filled

  private:
    LibraryState() = default;
};
