// A BMC that answers from a fuzz input. It holds an SDR repository and one
// FRU image taken from the input and answers Get Device ID, Reserve SDR
// Repository, Get SDR, Read and Write FRU Data, Master Write-Read and Send
// Message like a BMC would, for every responder, FRU device and EEPROM alike,
// until the input's fault bytes say otherwise: a fault turns an answer into
// a random completion code, a cut or overlong answer, a driver failure, a
// next record id that loops, busy answers, or bridged answers with another
// sequence number or in pieces.
//
// Input: a byte n, then n % 8 SDR records (a length byte and the bytes), a
// little-endian image length and the image, then one fault byte per request
// (below 0xA0: an honest answer) with the operands the fault takes.
//
// Waits are not the subject: the BMC never answers a Send Message with 0x83
// (the library waits a second before it sends again) and always queues an
// answer with the right sequence number behind any hostile ones, so a
// bridged request never waits out its deadline.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class HostileBmc {
  public:
    struct Answer {
        uint32_t result = 0; // a non-zero driver result: no answer
        uint8_t completionCode = 0;
        std::vector<uint8_t> data;
    };

    // Takes the system and the faults from the input; forgets everything else.
    void Start(const uint8_t* input, size_t size);

    // One request as the driver receives it; bridged requests are the ones a
    // Send Message carried. capacity bounds the answer's data.
    Answer Request(uint8_t responder, uint8_t netFn, uint8_t command, const uint8_t* data,
                   uint32_t length, uint32_t capacity);

    // The oldest queued IPMB message (answers to Send Message); false when
    // none is queued.
    bool TakeMessage(std::vector<uint8_t>* message);

    // For a driver that carries out Send Message itself (the freeipmi
    // module): one fault byte that says whether to refuse with a driver
    // failure before the request reaches its target.
    uint8_t Fault() { return Next(); }

  private:
    uint8_t Next() { return at_ < faults_.size() ? faults_[at_++] : 0; }
    Answer Honest(uint8_t netFn, uint8_t command, const uint8_t* data, uint32_t length);
    Answer SendMessage(const uint8_t* data, uint32_t length, uint8_t fault);
    void Spoil(Answer* answer, uint8_t fault, uint8_t command, uint32_t capacity);

    std::vector<std::vector<uint8_t>> sdr_;
    std::vector<uint8_t> image_;
    std::vector<uint8_t> faults_;
    size_t at_ = 0;
    uint16_t reservation_ = 0;
    std::deque<std::vector<uint8_t>> queue_;
};
