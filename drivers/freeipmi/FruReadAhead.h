// Read-ahead for FRU devices reached by Read FRU Data, directly or over IPMB.
// A read the cache cannot answer fetches the largest chunk the controller
// accepts from that offset; the bytes stay per device, and the following
// reads of the device are answered from them with the layout a controller
// gives (count byte, then the bytes). Only answers whose count byte agrees
// with their length are kept, so a short or malformed answer never puts
// wrong bytes into the cache; whatever the cache cannot answer gets the
// controller's own answer to the very request asked.
#pragma once
#include "drivers/freeipmi/WireRequest.h"

#include <map>
#include <tuple>

class FruReadAhead {
  public:
    // firstBridged: the count the first read of a controller behind the BMC
    // asks for (kFirstBridgedCount in-band, where a larger IPMB answer does
    // not come back; larger over LAN, where the BMC carries the answer).
    explicit FruReadAhead(WireSend wire, uint8_t firstBridged = kFirstBridgedCount)
        : wire_(std::move(wire)), firstBridged_(firstBridged) {}

    // Answers a Read FRU Data request (data: device id, offset low, offset
    // high, count).
    WireAnswer Read(const WireRequest& request);
    // Forgets the bytes a Write FRU Data request is about to change; call it
    // before the write goes out.
    void Forget(const WireRequest& write);
    // Forgets every device's bytes (a new load, or the devices may have
    // changed behind the cache).
    void Drop() { devices_.clear(); }

    // Library reads answered from the cache without a request on the wire.
    uint64_t Hits() const { return hits_; }
    const std::map<ControllerKey, ReadSize>& Sizes() const { return sizes_; }
    void SetSize(const ControllerKey& controller, ReadSize size) { sizes_[controller] = size; }
    // True when a learned size changed since the last call.
    bool TakeSizesChanged();

    // The count the next read-ahead at a controller asks for.
    uint8_t NextCount(const ReadSize& size, bool bridged) const;
    // The count the first read at a controller asks for: a 64-byte answer
    // holds the count byte and 63 bytes of data.
    static constexpr uint8_t kFirstCount = 63;
    // A controller behind the BMC answers in one IPMB message of at most 32
    // bytes: 7 of address, function, sequence, command and checksums, the
    // completion code, the count byte and 23 bytes of data.
    static constexpr uint8_t kFirstBridgedCount = 23;

  private:
    struct Device {
        std::vector<uint8_t> bytes;
        std::vector<bool> known;
        int32_t size = -1;        // from Get FRU Inventory Area Info; -1: not known
        bool sizeAsked = false;   // asked once per load
        bool passThrough = false; // addressed by words: no read-ahead
    };
    using DeviceKey = std::tuple<ControllerKey, uint8_t, uint8_t>; // controller, LUN, device id

    bool Covered(const Device& device, uint32_t offset, uint32_t count) const;
    WireAnswer Serve(const Device& device, uint32_t offset, uint32_t count);
    void Store(Device& device, uint32_t offset, const uint8_t* bytes, uint32_t count);
    void AskSize(Device& device, const WireRequest& request);
    void Learned(const ControllerKey& controller, uint8_t count, bool accepted);

    WireSend wire_;
    uint8_t firstBridged_;
    std::map<DeviceKey, Device> devices_;
    std::map<ControllerKey, ReadSize> sizes_;
    bool sizesChanged_ = false;
    uint64_t hits_ = 0;
};
