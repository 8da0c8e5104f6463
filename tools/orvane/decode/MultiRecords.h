// The records of a multi-record area as a reader wants them: each record's
// header checks (end-of-list bit, header and data checksums) and its data
// decoded by record type: power supply (00h), DC output (01h), DC load
// (02h), management access (03h), base and extended compatibility (04h,
// 05h) and OEM records (C0h-FFh, by IANA manufacturer number).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace MultiRecords {
// One decoded value: a stable key, a label for people and the value text.
struct Item {
    std::string key;
    std::string label;
    std::string value;
};

struct Record {
    size_t offset = 0; // from the start of the area
    uint8_t type = 0;
    uint8_t version = 0; // bits 3..0 of the second header byte
    bool endOfList = false;
    uint8_t length = 0;   // data bytes the header announces
    bool complete = true; // all of them are there
    bool headerChecksumOk = true;
    bool dataChecksumOk = true;
    std::vector<uint8_t> bytes; // the header and the data bytes present
    std::vector<Item> items;    // the decoded data
};

struct Chain {
    std::vector<Record> records;
    bool endOfListSeen = false; // the walk stopped at a record marked last
    size_t length = 0;          // bytes the records take
};

// Walks the records from the start of the bytes until one is marked last
// or the bytes end.
Chain Walk(const uint8_t* bytes, size_t size);
// "power_supply", "dc_output", ..., "oem", "reserved".
const char* TypeKey(uint8_t type);
// "Power Supply Information", ..., "OEM", "Reserved".
const char* TypeLabel(uint8_t type);
// The data of a record of a type, decoded; data that is too short for its
// type ends the list with an item "short" that says so.
std::vector<Item> Decode(uint8_t type, const std::vector<uint8_t>& data);
} // namespace MultiRecords
