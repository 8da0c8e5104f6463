// Why a commit laid out as the library lays it out would hurt a device: an
// area the commit writes elsewhere than the common header says, an image past
// what a FRU device can address, or past the device's size.
#pragma once
#include "api/FruEdit.h"

#include <cstdint>
#include <string>

namespace LayoutGuard {
// The bytes one FRU device can address through two offset bytes.
constexpr uint32_t kAddressableBytes = 0x10000;

// The reason (one or more lines, each ending in a newline), or "" when the
// commit writes every area where the header says and the image fits.
// deviceLength 0: the device's size is unknown.
std::string Problems(const FruEdit::CommitLayout& layout, uint32_t deviceLength);
} // namespace LayoutGuard
