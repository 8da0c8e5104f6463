// The catalogue entries the library shows, by index (catalogue/enus.txt holds
// the texts). A run of field titles is named by its first entry; the titles
// that follow it are that index plus the field's position.
#pragma once
#include <cstdint>

enum MessageId : uint32_t {
    // Field titles of the areas and the titles of the FRU properties.
    kMsgInternalUseTitle = 9,
    kMsgChassisFirstTitle = 10,
    kMsgChassisCustomTitle = 13,
    kMsgBoardFirstTitle = 14,
    kMsgBoardCustomTitle = 20,
    kMsgProductFirstTitle = 21,
    kMsgProductCustomTitle = 28,
    kMsgFirstPropertyTitle = 29,
    kMsgIpmiVersion15 = 32,
    kMsgIpmiVersion10 = 33,
    // The board's manufacturing date.
    kMsgInvalidTimestamp = 34,
    kMsgDateFormat = 35,
    // Progress of a load and of a commit.
    kMsgScanning = 62,
    kMsgReadCount = 63,
    kMsgWriting = 64,
    kMsgHeaderWritten = 66,
    kMsgInternalUseWritten = 67,
    kMsgChassisWritten = 68,
    kMsgBoardWritten = 69,
    kMsgWritingMultiRecords = 70,
    // The configuration file.
    kMsgFileCannotOpen = 89,
    kMsgFileBadItem = 90,
    kMsgFileMissingTag = 94,
    kMsgFileAreaTooBig = 95,
    kMsgFileBadCharacter = 96,
    kMsgFileBadArea = 97,
    kMsgFileEnded = 98,
    kMsgFileWriteError = 100,
    // FRUs, their images and their areas.
    kMsgNotFound = 101,
    kMsgNoMemory = 102,
    kMsgNotIpmiFru = 103,
    kMsgBadInternal = 104,
    kMsgBadProduct = 105,
    kMsgBadBoard = 106,
    kMsgBadChassis = 107,
    kMsgBadMultiRec = 108,
    kMsgBadHeader = 109,
    kMsgSystemWriteError = 113,
    kMsgHeaderReadFailed = 123,
    kMsgUnexpected = 125,
    kMsgUnsupported = 126,
    kMsgGetChassisData = 128,
    kMsgGetProductData = 129,
    kMsgGetBoardData = 130,
    kMsgSetChassisData = 131,
    kMsgSetProductData = 132,
    kMsgSetBoardData = 133,
    kMsgFruName = 134,
    kMsgNoSuchField = 135,
    kMsgTooLong = 137,
    kMsgBadDate = 138,
};
