// Located FRU devices whose image the last load could not read: scan and
// show list them, split into damaged devices (the library refuses what they
// hold; show reads their raw bytes and shows what can be read) and unreadable
// ones (a transfer failed), each with the library's reason; the command then
// exits with kExitPartial.
#pragma once
#include "api/DeviceAccess.h"
#include "app/Session.h"
#include "view/JsonWriter.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace Unreadable {
// The located devices the load did not read, in locator order. Sends no
// request: the load kept each device's status and message.
std::vector<DeviceAccess::LocatedDevice> Devices();
// The device that a designation (its name or address) names, when the load
// did not read it and no FRU it did read has that name or address.
std::optional<DeviceAccess::LocatedDevice> Named(const std::string& designation);
// A damaged device as a view of its raw bytes (not editable, no position).
// False when the bytes cannot be read: the device is then unreadable, with
// that read's status.
bool Describe(DeviceAccess::LocatedDevice* device, FruView* view);
// One line each under "damaged:" and "unreadable:": name, address, status
// and the library's message.
void Print(std::FILE* out, const std::vector<DeviceAccess::LocatedDevice>& devices);
// The JSON members "damaged": [...] and "unreadable": [...].
JsonWriter::Value Json(const std::vector<DeviceAccess::LocatedDevice>& devices);
} // namespace Unreadable
