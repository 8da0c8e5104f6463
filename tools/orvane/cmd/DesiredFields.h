// Brings the fields of the selected FRU to what a JSON input wants, as set
// does it: each field compared with what the FRU holds, the ones that differ
// stored in the encoding set chooses (or the one the input forces), areas
// grown by the fewest 8-byte blocks only when asked to. build --json fills a
// blank image this way, apply a device or an image file.
#pragma once
#include "app/Session.h"
#include "device/Relayout.h"
#include "input/FruInput.h"
#include "view/FruViews.h"

#include <set>
#include <string>
#include <vector>

namespace DesiredFields {
// One field that differs, with the bytes it is to take.
struct Change {
    const FruInput::Field* wanted = nullptr;
    std::string key;            // stable name, "board.serial_number"
    std::string before, after;  // as a person reads them
    std::vector<uint8_t> bytes; // what is stored
    uint8_t typeBits = 0xC0;    // bits 7..6 of the type/length byte, for texts
    uint32_t valueIndex = 0;    // the area's index of the field's value and setter
    int32_t growth = 0;         // bytes more than the field holds now
};

// The fields of wanted that differ from the FRU as view shows it. Returns
// an exit code after the report (3: a field the FRU does not have, a value
// it cannot store), naming the JSON path.
int Differences(const FruView& view, const std::vector<FruInput::Field>& wanted,
                std::vector<Change>* changes);
// Without --grow: kExitOk when every change fits its area's padding, else
// the refusal naming the first field that does not fit.
int CheckRoom(const FruView& view, const std::vector<Change>& changes);
// Stores the changes in the selected FRU (grow: areas take the blocks they
// need). *areas gets the kinds of the areas changed. Returns an exit code.
int Store(Session& s, const std::vector<Change>& changes, bool grow, std::set<int32_t>* areas);
// The areas of kinds as the library now holds them, for a rebuilt layout.
std::vector<Relayout::Replacement> HeldAreas(const std::set<int32_t>& kinds);
} // namespace DesiredFields
