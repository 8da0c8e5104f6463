// The simulated management system as its JSON description gives it: the
// controllers with their FRU devices and I2C devices, the SDR repository of
// the BMC (encoded as IPMI 1.5 records) and the faults to inject.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The bytes of one FRU or I2C device. When they came from an image file, every
// write goes back to that file at once.
struct SimMemory {
    std::vector<uint8_t> bytes;
    std::string file;    // empty: the bytes came from "hex" or "size" alone
    size_t fileSize = 0; // bytes of the file when it was read (the rest is 0xFF padding)
    bool writeProtected = false;
};

struct SimFruDevice {
    uint8_t id = 0;
    SimMemory memory;
};

enum class SimI2cKind { At24c02, Ds1624s };

struct SimI2cDevice {
    uint8_t bus = 0;     // private bus id
    uint8_t address = 0; // 8-bit slave address
    SimI2cKind kind = SimI2cKind::At24c02;
    SimMemory memory;
};

struct SimController {
    uint8_t address = 0x20;
    uint8_t channel = 0; // the channel a Send Message names to reach it
    uint8_t ipmiVersion = 0x51;
    std::vector<SimFruDevice> fruDevices;
    std::vector<SimI2cDevice> i2cDevices;
    uint32_t maxRead = 0; // 0: only the answer's room limits a read
    uint8_t oversizeCode = 0xCA;
    uint32_t maxWrite = 0; // 0: only the request's room limits a write
};

enum class SimEffect { CompletionCode, Result, NoResponse, WrongSequence, CorruptData };

struct SimFault {
    std::optional<uint32_t> responder, netFn, lun, command, device, offset;
    std::optional<bool> bridged;
    SimEffect effect = SimEffect::CompletionCode;
    uint8_t completionCode = 0;
    uint32_t result = 0;
    uint32_t skip = 0;
    std::optional<uint32_t> times; // unset: every matching request after the skipped ones
    uint32_t seen = 0;             // matching requests so far
};

class SimSystem {
  public:
    // Reads the description; on failure returns false with the reason in error.
    bool Load(const std::string& path, std::string& error);

    SimController* FindController(uint8_t address);
    // Writes bytes [offset, offset + n) of the memory back to its image file.
    static bool WriteBack(SimMemory& memory, size_t offset, size_t n, std::string& error);

    std::vector<SimController> controllers; // the BMC (0x20) always first
    std::vector<std::vector<uint8_t>> sdr;  // records in file order, record id = index
    std::vector<SimFault> faults;
};
