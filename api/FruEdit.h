// Edits and commit layouts of one FRU that the library holds, for the orvane
// command, beyond the exported functions of orvane.h. Every function takes the
// FRU it works on explicitly; Selected() is the one place that reads the C
// interface's current selection. A CFru* stays owned by its list and valid
// until the list is loaded again, cleared or the library is deinitialized.
// The command links the core itself; hosts never see this header.
#pragma once

#include <cstdint>
#include <vector>

class CFru;

namespace FruEdit {

// The C interface's current selection: the selected FRU of the selected list
// (null when none, or when its position no longer holds one), and the area
// kind and field index selected in it.
struct Selection {
    bool fruSelected = false; // a list is current and a FRU position is selected
    CFru* fru = nullptr;
    int32_t area = 0; // ORVANE_AREA_*, 0 when none
    bool fieldSelected = false;
    uint32_t field = 0; // the selected field's index, when fieldSelected
};
Selection Selected();
// Selected().fru, after Initialize; null otherwise.
CFru* SelectedFru();

// One area as a commit of the FRU lays it out.
struct AreaLayout {
    int32_t kind = 0;           // ORVANE_AREA_INTERNAL_USE .. ORVANE_AREA_MULTIRECORD
    uint32_t headerOffset = 0;  // where the common header says it starts (bytes)
    uint32_t commitOffset = 0;  // where the commit writes it
    bool written = false;       // whether the commit writes it
    std::vector<uint8_t> bytes; // the area's bytes as the commit would write them
};
// The commit's layout of a FRU, computed by the same code the commit writes
// with. Only the areas the header declares.
struct CommitLayout {
    std::vector<uint8_t> header; // the 8 header bytes the commit writes
    std::vector<AreaLayout> areas;
    uint32_t end = 0; // one past the last byte the commit lays out
};
// False, *layout untouched, for a null fru.
bool LayoutCommit(CFru* fru, CommitLayout* layout);

// Moves the FRU's areas, in the FRU itself, to where a commit writes them:
// the header's offsets become the commit's offsets (a new checksum), and
// every present area is marked to be written. False, nothing changed, for a
// null fru or when an offset would not fit the header (not a multiple of 8,
// past 2040 bytes).
bool Repack(CFru* fru);

// Gives the FRU's info area of kind (ORVANE_AREA_CHASSIS, _BOARD or
// _PRODUCT) a new length in bytes through the area's own SetLength: its fields
// stay, the padding grows or shrinks, the checksum is recomputed, and the
// area's setters and serializer then work with that length. It changes only
// the FRU in memory; its header offsets stay, so the caller lays the image
// out itself. False, nothing changed, for a null fru, a FRU without such an
// area, a length that is not a whole number of 8-byte units or above the 512
// bytes an area holds, or fields that would not fit.
bool ResizeArea(CFru* fru, int32_t kind, uint32_t bytes);

// The whole image of the FRU as it would be written to a device: the common
// header and every area at its header offset, gaps filled with 0xFF. False
// for a null fru or when an area overlaps another.
bool ImageOf(CFru* fru, std::vector<uint8_t>* image);

// Sets field at.field of info area at.area of at.fru, like
// SetFieldDataValue but in the encoding typeBits (bits 7..6 of the
// type/length byte) names. ORVANE_E_NOT_SELECTED without a selected FRU and
// field, ORVANE_E_UNSUPPORTED for an area without such fields (or no FRU at
// the position), ORVANE_E_SET_FIELD_DATA when the area refuses the bytes,
// else ORVANE_OK.
uint32_t SetField(const Selection& at, const uint8_t* data, uint32_t length, uint8_t typeBits);

// Called with the area kind that each progress text of a commit reports,
// just before the text goes to the progress callback: ORVANE_AREA_COMMON_HEADER
// when the header is written, the kind whose step is done (internal use,
// chassis, board), ORVANE_AREA_MULTIRECORD when that area is begun, and 0 for
// the first line, which names the device. Null (the default) calls nothing.
void SetCommitAreaHook(void (*hook)(int32_t kind));

} // namespace FruEdit
