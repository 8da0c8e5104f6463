// The orvane command's window into the library core, beyond the exported
// functions of orvane.h. The command links the core itself (not the shared
// library), so these calls see the same library state as the exported ones.
// Hosts never see this header: liborvane.so exports only orvane.h.
//
// Keep it narrow: what the exported functions cannot tell a careful tool
// (which located device failed and why, the raw bytes of a device, its size,
// one area of an image parsed on its own) and nothing that duplicates a scan,
// a transfer or an area parser. Every function is documented here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace CoreAccess {

// --- Devices: located FRUs, their failures and their raw bytes ---

// --- Images: raw FRU images parsed area by area ---

} // namespace CoreAccess
