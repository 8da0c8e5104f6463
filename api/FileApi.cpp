// The exported operations that load a FRU from a configuration file and save
// the selected FRU to one. (Placeholder until the file reader and writer land.)
#include "api/Globals.h"
#include "orvane/orvane.h"

extern "C" {

ORVANE_API uint32_t LoadConfigurationFromFile(OrvaneInterface*, const OrvaneChar*) {
    if (!Globals::initialised)
        return ORVANE_E_NOT_INITIALIZED;
    return ORVANE_E_NOT_IMPLEMENTED;
}

ORVANE_API uint32_t SaveConfigurationToFile(OrvaneInterface*, const OrvaneChar*) {
    if (!Globals::initialised)
        return ORVANE_E_NOT_INITIALIZED;
    return ORVANE_E_NOT_IMPLEMENTED;
}
}
