#include "drivers/freeipmi/SdrCache.h"
#include "support/IpmiDefs.h"

#include <algorithm>
#include <set>

namespace {

constexpr size_t kStampSize = 13; // version, count, free space, two timestamps
constexpr size_t kMaxRecords = 4096;
constexpr uint8_t kWholeRecord = 0xFF; // Get SDR count: the record to its end
constexpr uint8_t kFirstPiece = 61;    // a 64-byte answer: next record id and 61 bytes
constexpr int kReservationTries = 3;

bool ShrinkCode(uint8_t code) {
    return code == Ipmi::kCcRequestDataLengthInvalid ||
           code == Ipmi::kCcRequestDataLengthExceeded ||
           code == Ipmi::kCcCannotReturnRequestedBytes;
}

bool Answered(const WireAnswer& answer) {
    return answer.result == 0 && answer.completionCode == Ipmi::kCcOk;
}

uint16_t WordAt(const std::vector<uint8_t>& data, size_t at) {
    return static_cast<uint16_t>(data[at] | (data[at + 1] << 8));
}

// A stamp whose timestamps are both zero cannot tell one repository from
// another: records under it are not kept on disk or reused.
bool UsableStamp(const std::vector<uint8_t>& stamp) {
    return stamp.size() == kStampSize &&
           std::any_of(stamp.begin() + 5, stamp.end(), [](uint8_t byte) { return byte != 0; });
}

} // namespace

WireAnswer SdrCache::Send(uint8_t command, std::vector<uint8_t> data) {
    WireRequest request;
    request.netFn = Ipmi::kNetFnStorage;
    request.command = command;
    request.data = std::move(data);
    return wire_(request);
}

void SdrCache::LoadFile() {
    fileRead_ = true;
    if (path_.empty())
        return;
    SdrCacheFile::Contents read;
    if (SdrCacheFile::Load(path_, &read)) {
        contents_ = std::move(read);
        held_ = UsableStamp(contents_.stamp);
    }
}

const std::vector<SdrCacheFile::SizeEntry>& SdrCache::Sizes() {
    if (!fileRead_)
        LoadFile();
    return contents_.sizes;
}

bool SdrCache::Refresh() {
    trouble_.clear();
    if (!fileRead_)
        LoadFile();
    WireAnswer info = Send(Ipmi::kCmdGetSdrRepositoryInfo, {});
    std::vector<uint8_t> stamp;
    if (Answered(info) && info.data.size() >= kStampSize)
        stamp.assign(info.data.begin(), info.data.begin() + kStampSize);
    if (held_ && UsableStamp(stamp) && stamp == contents_.stamp)
        return true;

    held_ = false;
    std::vector<SdrCacheFile::Record> records;
    ++fetches_;
    if (!Fetch(&records))
        return false;
    contents_.records = std::move(records);
    held_ = true;
    // Taken before the fetch: a change during it leaves an older stamp, which
    // the next scan finds changed.
    contents_.stamp = UsableStamp(stamp) ? stamp : std::vector<uint8_t>();
    if (!path_.empty() && !contents_.stamp.empty())
        SdrCacheFile::Store(path_, contents_, &trouble_);
    return true;
}

bool SdrCache::SaveSizes(const std::vector<SdrCacheFile::SizeEntry>& sizes, std::string* why) {
    if (path_.empty())
        return true;
    if (!fileRead_)
        LoadFile();
    contents_.sizes = sizes;
    SdrCacheFile::Contents saved = contents_;
    if (!held_ || contents_.stamp.empty()) {
        saved.stamp.clear();
        saved.records.clear();
    }
    return SdrCacheFile::Store(path_, saved, why);
}

bool SdrCache::Fetch(std::vector<SdrCacheFile::Record>* records) {
    std::set<uint16_t> seen;
    uint16_t id = 0;
    while (records->size() < kMaxRecords) {
        SdrCacheFile::Record record;
        bool inPieces = false;
        if (!FetchWhole(id, &record, &inPieces) && !(inPieces && FetchPieces(id, &record)))
            return false;
        record.id = id;
        uint16_t next = record.next;
        records->push_back(std::move(record));
        if (next == Ipmi::kSdrLastRecordId)
            return true;
        // A chain that comes back to a record would never end.
        if (!seen.insert(next).second)
            return false;
        id = next;
    }
    return false;
}

bool SdrCache::FetchWhole(uint16_t id, SdrCacheFile::Record* record, bool* inPieces) {
    // A read from offset 0 needs no reservation.
    WireAnswer answer = Send(Ipmi::kCmdGetSdr, {0, 0, static_cast<uint8_t>(id),
                                                static_cast<uint8_t>(id >> 8), 0, kWholeRecord});
    if (answer.result != 0)
        return false;
    const auto& data = answer.data;
    if (answer.completionCode == Ipmi::kCcOk && data.size() >= 2 + 5) {
        // Some controllers add bytes behind the record: its length byte counts.
        size_t total = 5u + data[2 + 4];
        if (data.size() >= 2 + total) {
            record->next = WordAt(data, 0);
            record->bytes.assign(data.begin() + 2, data.begin() + 2 + total);
            return true;
        }
    }
    *inPieces = answer.completionCode == Ipmi::kCcOk || ShrinkCode(answer.completionCode);
    return false;
}

bool SdrCache::FetchPieces(uint16_t id, SdrCacheFile::Record* record) {
    const uint8_t idLow = static_cast<uint8_t>(id), idHigh = static_cast<uint8_t>(id >> 8);
    for (int attempt = 0; attempt < kReservationTries; ++attempt) {
        WireAnswer reserve = Send(Ipmi::kCmdReserveSdrRepository, {});
        if (!Answered(reserve) || reserve.data.size() != 2)
            return false;
        const uint8_t resLow = reserve.data[0], resHigh = reserve.data[1];
        WireAnswer header = Send(Ipmi::kCmdGetSdr, {resLow, resHigh, idLow, idHigh, 0, 5});
        if (!Answered(header) || header.data.size() < 2 + 5)
            return false;
        record->next = WordAt(header.data, 0);
        record->bytes.assign(header.data.begin() + 2, header.data.begin() + 7);
        const size_t total = 5u + record->bytes[4];
        bool cancelled = false;
        while (record->bytes.size() < total && !cancelled) {
            const size_t offset = record->bytes.size();
            const uint8_t count = static_cast<uint8_t>(
                std::min<size_t>(pieceSize_ ? pieceSize_ : kFirstPiece, total - offset));
            WireAnswer piece = Send(Ipmi::kCmdGetSdr, {resLow, resHigh, idLow, idHigh,
                                                       static_cast<uint8_t>(offset), count});
            if (piece.result != 0)
                return false;
            if (piece.completionCode == Ipmi::kCcReservationCancelled) {
                cancelled = true;
            } else if (ShrinkCode(piece.completionCode)) {
                if (count == 1)
                    return false;
                pieceSize_ = static_cast<uint8_t>(std::max(1, count - 4));
            } else if (piece.completionCode != Ipmi::kCcOk || piece.data.size() < 2u + count) {
                return false; // fewer bytes than asked: nothing of it is kept
            } else {
                record->bytes.insert(record->bytes.end(), piece.data.begin() + 2,
                                     piece.data.begin() + 2 + count);
            }
        }
        if (!cancelled)
            return true;
    }
    return false;
}

WireAnswer SdrCache::Reserve() {
    ++hits_;
    if (++reservation_ == 0)
        reservation_ = 1;
    WireAnswer answer;
    answer.data = {static_cast<uint8_t>(reservation_), static_cast<uint8_t>(reservation_ >> 8)};
    return answer;
}

WireAnswer SdrCache::Get(const std::vector<uint8_t>& data) {
    ++hits_;
    WireAnswer answer;
    if (data.size() != 6) {
        answer.completionCode = Ipmi::kCcRequestDataLengthInvalid;
        return answer;
    }
    const uint16_t id = WordAt(data, 2);
    const uint8_t offset = data[4], count = data[5];
    const auto& records = contents_.records;
    auto found = std::find_if(records.begin(), records.end(),
                              [id](const SdrCacheFile::Record& r) { return r.id == id; });
    if (id == 0 && !records.empty())
        found = records.begin(); // record id 0: the first record
    if (found == records.end()) {
        answer.completionCode = Ipmi::kCcRequestedDataNotPresent;
        return answer;
    }
    const auto& bytes = found->bytes;
    if (offset > bytes.size()) {
        answer.completionCode = Ipmi::kCcParameterOutOfRange;
        return answer;
    }
    size_t n = std::min<size_t>(count, bytes.size() - offset);
    // The answer fits the library's 64-byte buffer, as a controller's would.
    if (2 + n > 64) {
        answer.completionCode = Ipmi::kCcCannotReturnRequestedBytes;
        return answer;
    }
    answer.data.resize(2 + n);
    answer.data[0] = static_cast<uint8_t>(found->next);
    answer.data[1] = static_cast<uint8_t>(found->next >> 8);
    std::copy_n(bytes.begin() + offset, n, answer.data.begin() + 2);
    return answer;
}
