// The singly linked chains of a FRU's records (custom fields, multi-records):
// each record owns the ones after it.
#pragma once

namespace RecordChain {
// Deletes the records after first one at a time, so that a long chain
// cannot exhaust the stack with destructors that call each other.
template <typename Record> void DeleteAfter(Record& first) {
    Record* rest = first.next;
    first.next = nullptr;
    while (rest) {
        Record* after = rest->next;
        rest->next = nullptr;
        delete rest;
        rest = after;
    }
}
} // namespace RecordChain
