// The one library state of the process: the load and selection state, the
// progress callback and the three lists the library owns.
#pragma once
#include "api/CFruProperties.h"
#include "support/FruList.h"
#include "orvane/orvane.h"

#include <cstdint>

class CFru;
class FruLocator;

class LibraryState {
  public:
    static constexpr uint32_t kNoList = 0;
    static constexpr uint32_t kSystemList = 1;
    static constexpr uint32_t kFileList = 2;
    static constexpr uint32_t kNone = 0xFFFFFFFF;

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

  private:
    LibraryState() = default;
};
