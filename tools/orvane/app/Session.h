// The command line's hold on the library: initialisation with the chosen
// catalogue and debug level, the progress display, failure reports with the
// library's last-error text, and snapshots of loaded FRUs for display.
#pragma once
#include "app/Positions.h"
#include "app/Report.h"
#include "fru/FruAddress.h"
#include "orvane/orvane.h"
#include "view/FruViews.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class Session {
  public:
    Session() = default;
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Initialises the library with English, then switches catalogue when a
    // language is given. False (after a report) when that fails.
    bool Open(const std::string& language, const std::string& locale, int debugLevel);
    OrvaneInterface* Api() { return &api; }

    // Reports a failed library call with its status and last-error text on
    // standard error; returns the exit code for library failures.
    int Fail(const std::string& what, uint32_t status);

    // The progress display the session installs, and the end of its last
    // line (before a result line is printed).
    static void ShowProgress(uint32_t phase, const OrvaneChar* text, uint32_t done, uint32_t total);
    static void EndProgress();

    // Loads every FRU of the system with progress on standard error, and
    // gives every located device its position (Positions); probeFru0 also
    // looks for the BMC's FRU 0 when no SDR record names it.
    bool LoadSystem(bool probeFru0 = true);
    // The positions of the system's FRUs after LoadSystem (empty before).
    const std::vector<Positions::Slot>& Slots() const { return slots; }
    // Selects a FRU by position, id:N, address or name, and gives its index
    // in the selected list. A located device that was not read is named
    // with the reason and not selected.
    bool SelectFru(const std::string& designation, uint32_t* index);
    // Reads everything the library shows of the FRU at an index of the
    // selected list (selecting it); the view carries the FRU's position.
    bool Describe(uint32_t index, FruView* view);
    // Number of FRUs in the selected list.
    uint32_t Count();
    bool SelectedAddress(FruAddress* address);

  private:
    // The FRUs of the selected list, by their index (before LoadSystem, and
    // for configuration files).
    bool SelectListed(const std::string& designation, uint32_t* index);

    OrvaneInterface api{};
    bool open = false;
    std::vector<Positions::Slot> slots;
};
