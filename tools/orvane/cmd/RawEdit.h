// set on an image that the library refuses only because of where its areas
// lie (an internal use area stored after the areas that follow it by kind),
// every area being sound: the core's area classes hold the image outside the
// library's lists, re-encode each changed area, and the image is laid out
// again and written raw, backed up and verified, as set --grow writes it.
#pragma once
#include "app/Options.h"
#include "app/Session.h"
#include "cmd/CommandSupport.h"
#include "view/FieldNames.h"

#include <string>
#include <vector>

namespace Commands::RawEdit {
struct Change {
    FieldNames::Field field;
    std::string name, value;
};
// The library refuses the image of view for the place of its internal use
// area alone.
bool OnlyMisplaced(const FruView& view);
// Sets the text fields named (with --grow an area takes the 8-byte blocks a
// value needs; --dry-run shows the new layout) and writes the image raw;
// *outcome gets what changed. Returns an exit code.
int Set(Session& s, const Options& o, const FruView& view, const std::vector<Change>& changes,
        ChangeOutcome* outcome);
} // namespace Commands::RawEdit
