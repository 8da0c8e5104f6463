// Raw images checked before they are written to a device (write, restore
// FILE.bin): an image must have a valid common header and every area it
// declares must read, judged exactly as show --image judges it, unless
// --force; and what a write would change, area by area, for --dry-run.
#pragma once
#include "app/Options.h"
#include "app/Session.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ImageCheck {
// Why the image is no sound FRU image ("" when it is): its common header, or
// the first declared area that does not read, with the reason show gives.
std::string Problem(const std::vector<uint8_t>& image, const std::string& name);
// kExitOk when the image file may be written: sound, or --force (then one
// warning line says what is wrong). Otherwise the refusal (kExitRefused).
int Admit(const Options& o, const std::string& file, const std::vector<uint8_t>& image);
// Reads the image file (through FileOperand) into *image and admits it:
// kExitOk, or the exit code after the failed read or the refusal.
int ReadAdmitted(const Options& o, const std::string& file, std::vector<uint8_t>* image);
// One line for the common header, each area either image declares, and the
// bytes outside them: unchanged, changed (how many bytes), added, removed
// or moved, when image is written from offset 0 over before.
std::string Changes(const std::vector<uint8_t>& before, const std::vector<uint8_t>& image);
// --dry-run: reads the device, prints what writing the image would change
// and writes nothing. Returns an exit code.
int DryRun(const FruAddress& address, const std::vector<uint8_t>& image);
} // namespace ImageCheck
