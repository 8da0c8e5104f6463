// The two settings of the simulated BMC, ORVANE_SIM_SYSTEM and ORVANE_SIM_LOG,
// read from the environment only when it has changed. A request costs a few
// pointer comparisons instead of two environment searches; a setenv or
// unsetenv between two requests is still seen by the second.
#pragma once
#include <cstddef>
#include <string>

class SimEnvironment {
  public:
    // Re-reads both settings when the environment changed since the last
    // call; true when it did.
    bool Refresh();
    const std::string& System() const { return system_; }
    const std::string& LogPath() const { return logPath_; }

  private:
    struct Slot {
        size_t index = 0;
        const char* entry = nullptr; // null: the variable was not set
    };
    bool Unchanged() const;
    void Read();

    bool read_ = false;
    char** table_ = nullptr; // the environment array as last read
    size_t count_ = 0;       // its entries
    const char* last_ = nullptr;
    Slot systemSlot_, logSlot_;
    std::string system_, logPath_;
};
