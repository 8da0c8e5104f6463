// Located FRU devices whose image the last load could not read: they keep
// their positions, and scan and show mark them, split into damaged devices
// (the library refuses what they hold; show reads their raw bytes and shows
// what can be read) and unreadable ones (a transfer failed), each with the
// library's reason; the command then exits with kExitPartial.
#pragma once
#include "api/DeviceAccess.h"
#include "app/Session.h"
#include "view/JsonWriter.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace Unreadable {
// Whether any located device was not read.
bool Any(const std::vector<Positions::Slot>& slots);
// The position of the located device a designation names (position, id:N,
// name or address) when the load did not read it.
std::optional<size_t> Named(const Session& s, const std::string& designation);
// A damaged device as a view of its raw bytes (not editable), at its
// position. False when the bytes cannot be read: the device is then
// unreadable, with that read's status.
bool Describe(DeviceAccess::LocatedDevice* device, uint32_t position, FruView* view);
// One line each under "damaged:" and "unreadable:": position, name, address,
// status and the library's message.
void Print(std::FILE* out, const std::vector<Positions::Slot>& slots);
// The JSON members "damaged": [...] and "unreadable": [...].
JsonWriter::Value Json(const std::vector<Positions::Slot>& slots);
} // namespace Unreadable
