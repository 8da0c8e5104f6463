#include "fru/CCustomField.h"

CCustomField::~CCustomField() {
    // Unlinks the rest of the chain one record at a time, so a long chain
    // cannot exhaust the stack.
    CCustomField* rest = next;
    next = nullptr;
    while (rest) {
        CCustomField* after = rest->next;
        rest->next = nullptr;
        delete rest;
        rest = after;
    }
}
