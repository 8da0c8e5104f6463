// The command line's hold on the library: initialisation with the chosen
// catalogue and debug level, the progress display, failure reports with the
// library's last-error text, and snapshots of loaded FRUs for display.
#pragma once
#include "app/Report.h"
#include "fru/FruAddress.h"
#include "orvane/orvane.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FieldView {
    std::string key;   // stable name, e.g. "board.manufacturer"
    std::string title; // the catalogue's title
    std::string value; // the library's rendering
    bool hasBytes = false;
    std::vector<uint8_t> bytes; // raw field bytes (info areas)
    std::string decoded;        // the value as the field's encoding means it
    std::string encoding;       // "8bit_text", "6bit_ascii", "bcd_plus", "binary"; "" untyped
    std::string iso8601;        // the board manufacturing date in UTC
    uint32_t valueIndex = 0;    // the area's field index of its value and setter
    bool salvaged = false;      // read from an area the library refuses
};

// One thing wrong with a damaged image or area.
struct ProblemView {
    std::string key;  // "checksum", "overlap", ... (Salvage::Key)
    std::string text; // for people, in the running language
};

struct AreaView {
    int32_t kind = 0;
    std::string key;  // "board", ...
    std::string name; // the catalogue's area name
    std::vector<FieldView> fields;
    bool hasData = false;
    std::vector<uint8_t> data; // internal use bytes or multi-record records
    uint32_t room = 0;         // bytes a field may grow by (info areas)
    uint32_t offset = 0;       // in the image
    int formatVersion = -1, languageCode = -1, chassisType = -1; // -1: the area has none
    std::string problem;               // why the library refuses the area; "" when it takes it
    std::vector<ProblemView> problems; // what exactly is wrong with a refused area
};

struct FruView {
    uint32_t position = 0;
    std::string name;
    FruAddress address;
    std::vector<uint8_t> header;
    std::vector<AreaView> areas;
    bool editable = true; // false: shown from raw bytes, the library refuses the image
    bool listed = true;   // false: a located device the load refused, so without a position
    std::string problem;  // why the image as a whole cannot be read
    std::vector<ProblemView> problems; // what is wrong with the common header
};

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

    // Loads every FRU of the system with progress on standard error.
    bool LoadSystem();
    // Selects a FRU of the selected list by position, address or name.
    bool SelectFru(const std::string& designation, uint32_t* position);
    // Reads everything the library shows of the FRU at a position of the
    // selected list (selecting it).
    bool Describe(uint32_t position, FruView* view);
    // Number of FRUs in the selected list.
    uint32_t Count();
    bool SelectedAddress(FruAddress* address);

  private:
    OrvaneInterface api{};
    bool open = false;
};
