#include "drivers/sim/SimEnvironment.h"

#include <cstring>
#include <unistd.h>

namespace {

// The entry "NAME=value" of a variable and its position in the environment.
const char* Find(const char* name, size_t* index) {
    size_t length = std::strlen(name);
    for (size_t i = 0; environ && environ[i]; ++i) {
        if (std::strncmp(environ[i], name, length) == 0 && environ[i][length] == '=') {
            *index = i;
            return environ[i];
        }
    }
    return nullptr;
}

} // namespace

// setenv replaces an entry's pointer or appends an entry (the array may move
// or grow in place), unsetenv moves the later entries down: each shows in the
// array's address, its end, its last entry or the entry of a variable read.
bool SimEnvironment::Unchanged() const {
    if (!read_ || environ != table_)
        return false;
    if (!environ)
        return true;
    if (environ[count_] != nullptr || (count_ && environ[count_ - 1] != last_))
        return false;
    for (const Slot* slot : {&systemSlot_, &logSlot_})
        if (slot->entry && environ[slot->index] != slot->entry)
            return false;
    return true;
}

void SimEnvironment::Read() {
    read_ = true;
    table_ = environ;
    count_ = 0;
    while (environ && environ[count_])
        ++count_;
    last_ = count_ ? environ[count_ - 1] : nullptr;
    systemSlot_.entry = Find("ORVANE_SIM_SYSTEM", &systemSlot_.index);
    logSlot_.entry = Find("ORVANE_SIM_LOG", &logSlot_.index);
    system_ = systemSlot_.entry ? std::strchr(systemSlot_.entry, '=') + 1 : "";
    logPath_ = logSlot_.entry ? std::strchr(logSlot_.entry, '=') + 1 : "";
}

bool SimEnvironment::Refresh() {
    if (Unchanged())
        return false;
    Read();
    return true;
}
