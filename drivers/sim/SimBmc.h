// The controllers of the simulated system at work: answers one request the
// way the BMC (or, over IPMB, a satellite controller) would, applies the
// faults of the description, and keeps the receive queue of bridged answers.
#pragma once
#include "drivers/sim/SimSystem.h"

#include <cstdint>
#include <deque>
#include <vector>

struct SimRequest {
    uint8_t responder = 0x20;
    uint8_t netFn = 0;
    uint8_t lun = 0;
    uint8_t command = 0;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    bool bridged = false; // carried inside a Send Message
};

struct SimAnswer {
    uint32_t result = 0; // a non-zero driver result: no answer at all
    uint8_t completionCode = 0;
    std::vector<uint8_t> data;
};

class SimBmc {
  public:
    explicit SimBmc(SimSystem& system) : system_(system) {}

    // Answers a request sent by the host; the answer's data never exceeds
    // capacity (a longer answer becomes completion code 0xCA).
    SimAnswer Send(const SimRequest& request, uint32_t capacity);
    // Takes the oldest queued message into message (capacity *length).
    // Returns KSB_RESULT_TIMEOUT when the queue is empty and
    // KSB_RESULT_MALFORMED (message kept) when it does not fit.
    uint32_t Receive(uint8_t* message, uint32_t* length);
    bool HasMessage() const { return !queue_.empty(); }

  private:
    const SimFault* TakeFault(SimController* controller, const SimRequest& request);
    SimAnswer Answer(SimController& controller, const SimRequest& request);
    SimAnswer SendMessage(const SimRequest& request, const SimFault* outerFault);
    SimAnswer ReadFru(SimController& controller, const SimRequest& request);
    SimAnswer WriteFru(SimController& controller, const SimRequest& request);
    SimAnswer FruInfo(SimController& controller, const SimRequest& request);
    SimAnswer GetSdr(const SimRequest& request);
    SimAnswer MasterWriteRead(SimController& controller, const SimRequest& request);

    SimSystem& system_;
    uint16_t reservation_ = 0; // 0: no reservation taken yet
    std::deque<std::vector<uint8_t>> queue_;
};
