/*
 * Orvane: IPMI FRU inventory for server-management hosts.
 *
 * Every function takes the host's interface table first, returns a status code
 * (ORVANE_OK or one of the ORVANE_E_* codes below) and hands results back
 * through out-pointers. After a failure, GetLastErrorMessage gives the text of
 * the failure. The library is not reentrant: call it from one thread at a time.
 *
 * Strings: OrvaneChar is a UTF-16 code unit; every string is NUL-terminated.
 * Strings handed out stay owned by the library: catalogue texts (titles, area
 * names, messages) until the catalogue is replaced (SetLanguageLocale) or
 * destroyed (DeInitialize); value strings until the next request of the same
 * kind on the same object. The host never frees them.
 */
#ifndef ORVANE_ORVANE_H
#define ORVANE_ORVANE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define ORVANE_API __attribute__((visibility("default")))
#else
#define ORVANE_API
#endif

#ifndef __cplusplus
#include <uchar.h>
#endif
typedef char16_t OrvaneChar;

/* Status codes. */
#define ORVANE_OK 0x00000000u
#define ORVANE_E_INIT_FAILED 0xC0070001u       /* out of memory, or set-language entry failed */
#define ORVANE_E_NOT_INITIALIZED 0xC0070005u   /* Initialize has not succeeded */
#define ORVANE_E_CONFIG_FILE_READ 0xC0070007u  /* configuration file cannot be read */
#define ORVANE_E_CONFIG_FILE_WRITE 0xC007000Au /* writing the configuration file failed */
#define ORVANE_E_NOT_LOADED 0xC007000Bu        /* nothing loaded (configuration or properties) */
#define ORVANE_E_NOT_SELECTED 0xC007000Cu      /* nothing selected at the level needed */
#define ORVANE_E_BAD_ARGUMENT 0xC007000Du      /* argument out of range or matches nothing */
#define ORVANE_E_FRU_NO_MEMORY 0xC007000Eu     /* out of memory building a FRU image or value */
#define ORVANE_E_BAD_INTERNAL_USE 0xC0070011u  /* invalid internal use area */
#define ORVANE_E_BAD_PRODUCT_AREA 0xC0070012u  /* invalid product info area */
#define ORVANE_E_BAD_BOARD_AREA 0xC0070013u    /* invalid board info area */
#define ORVANE_E_BAD_CHASSIS_AREA 0xC0070014u  /* invalid chassis info area */
#define ORVANE_E_BAD_MULTIRECORD 0xC0070015u   /* invalid multi-record area */
#define ORVANE_E_HEADER_CHECKSUM 0xC0070016u   /* common header checksum wrong */
#define ORVANE_E_SDR_RESERVE 0xC0070018u       /* reserving the SDR repository failed */
#define ORVANE_E_SDR_READ 0xC0070019u          /* reading an SDR failed */
#define ORVANE_E_SDR_UNSUPPORTED 0xC007001Au   /* unsupported SDR */
#define ORVANE_E_SDR_VERSION 0xC007001Bu       /* unsupported IPMI version in an SDR header */
#define ORVANE_E_SDR_HEADER_LENGTH 0xC007001Cu /* bad SDR header length */
#define ORVANE_E_SDR_RECORD_LENGTH 0xC007001Du /* bad SDR record length */
#define ORVANE_E_SDR_RESERVATION 0xC007001Eu   /* bad length of the reservation response */
#define ORVANE_E_STRING_RESOURCE 0xC007001Fu   /* the message catalogue cannot be loaded */
#define ORVANE_E_NO_MEMORY 0xC0070020u         /* out of memory */
#define ORVANE_E_FILE_CREATE 0xC0070023u       /* no file name, or file cannot be created */
#define ORVANE_E_NOT_IPMI_FRU 0xC0070025u      /* header format version is not 1 */
#define ORVANE_E_GET_FIELD_DATA 0xC0070026u    /* getting a field's data failed */
#define ORVANE_E_SET_FIELD_DATA 0xC0070027u    /* setting a field's data failed */
#define ORVANE_E_DEVICE_READ 0xC0070028u       /* reading a FRU device failed */
#define ORVANE_E_DEVICE_WRITE 0xC0070029u      /* writing a FRU device failed */
#define ORVANE_E_MISSING_AREA_TAG 0xC007002Au  /* (configuration reader, internal) */
#define ORVANE_E_AREA_TOO_BIG 0xC007002Bu      /* (configuration reader, internal) */
#define ORVANE_E_UNEXPECTED_CHAR 0xC007002Cu   /* (configuration reader, internal) */
#define ORVANE_E_SYSTEM_WRITE 0xC007002Eu      /* writing the FRU image to the system failed */
#define ORVANE_E_INTERNAL 0xC007002Fu          /* unexpected internal failure */
#define ORVANE_E_UNSUPPORTED 0xC0070030u       /* not supported for the selected area */
#define ORVANE_E_NOT_IMPLEMENTED 0xC00700FFu   /* not implemented */
/* A bridged request whose target stayed busy. */
#define ORVANE_E_BRIDGE_BUSY 0xFFFFFE08u

/* Progress phases. */
#define ORVANE_PROGRESS_LOAD 0u   /* loading from the system: value1, value2 are FRU counts */
#define ORVANE_PROGRESS_COMMIT 1u /* writing a FRU to the system: both values 0 */

/* Progress callback: phase, a text owned by the library and valid only during
 * the call, and two values. */
typedef void (*OrvaneProgressCallback)(uint32_t phase, const OrvaneChar* text, uint32_t value1,
                                       uint32_t value2);

struct OrvaneInterface;
/* The set-language entry: the signature of SetLanguageLocale. */
typedef uint32_t (*OrvaneSetLanguageFn)(struct OrvaneInterface* api, const OrvaneChar* language,
                                        const OrvaneChar* locale);

/* The host's table of entry points. The library reads only setLanguage (the
 * eleventh pointer-sized member); the ten before it are the host's. */
typedef struct OrvaneInterface {
    void* hostEntries[10];
    OrvaneSetLanguageFn setLanguage;
} OrvaneInterface;

/* The library's revision, 0x00020000. */
ORVANE_API extern const uint32_t Revision;

/* ---- Frame and state ---------------------------------------------------- */

/* Builds the library state and, when api and api->setLanguage are not null,
 * calls api->setLanguage(api, "en", "us") to load the English catalogue.
 * Returns ORVANE_OK or ORVANE_E_INIT_FAILED (the library stays uninitialised). */
ORVANE_API uint32_t Initialize(OrvaneInterface* api);
/* Destroys every FRU, locator and list and the catalogue. Returns ORVANE_OK,
 * or ORVANE_E_NOT_INITIALIZED after an Initialize that did not complete. */
ORVANE_API uint32_t DeInitialize(OrvaneInterface* api);
/* The load and unload hook; the library calls it itself (reason 1 on load, 0
 * on unload). Returns 1. */
ORVANE_API uint32_t DllMain(void* module, uint32_t reason, void* reserved);
/* Writes 1 to *loaded once a configuration has been loaded, else 0. */
ORVANE_API uint32_t IsLoaded(OrvaneInterface* api, uint8_t* loaded);
/* Writes the modified flag; ORVANE_E_NOT_LOADED before any load. */
ORVANE_API uint32_t IsModified(OrvaneInterface* api, uint8_t* modified);
/* Sets the debug level of the log "DBGLOG.txt" in the current directory:
 * 0 silent, 1 failures (the start value), 3 or more adds entry and exit lines. */
ORVANE_API uint32_t SetDebugLevel(OrvaneInterface* api, uint32_t level);
/* Stores the progress callback (null removes it). */
ORVANE_API uint32_t SetProgressCallback(OrvaneInterface* api, OrvaneProgressCallback callback);
/* Stores the progress interval (kept for the host; progress is reported at every step). */
ORVANE_API uint32_t SetProgressCallbackInterval(OrvaneInterface* api, uint32_t interval);
/* Sets *message to the text of the last failure since the previous call, or
 * null when there was none. The text stays valid until the next call. */
ORVANE_API uint32_t GetLastErrorMessage(OrvaneInterface* api, const OrvaneChar** message);

/* ---- Lists and FRU selection ------------------------------------------- */

/* List ids for SelectList. */
#define ORVANE_LIST_SYSTEM 1u /* FRUs read from the system */
#define ORVANE_LIST_FILE 2u   /* FRUs loaded from configuration files */

/* FRU address: NVS type (0 AT24CO2, 1 DS1624S, 2 KSBDEVICE, 3 not accessible),
 * LUN, device address, bus, controller address, FRU device id. */

/* Selects a list and clears the FRU, area and field selection.
 * ORVANE_E_NOT_LOADED before a load, ORVANE_E_BAD_ARGUMENT for another id. */
ORVANE_API uint32_t SelectList(OrvaneInterface* api, uint32_t listId);
/* For the system list: the FRU devices the SDR scan found and the images read;
 * for the file list: the number of FRUs loaded from files, twice. */
ORVANE_API uint32_t GetNumberOfFrus(OrvaneInterface* api, uint32_t* present, uint32_t* loaded);
/* Selects the FRU at a position (0 to loaded count - 1) of the selected list. */
ORVANE_API uint32_t SelectFru(OrvaneInterface* api, uint32_t index);
/* Selects the first FRU of the selected list with this address;
 * ORVANE_E_BAD_ARGUMENT when none has it. */
ORVANE_API uint32_t SelectFruByAddress(OrvaneInterface* api, uint32_t nvsType, uint8_t lun,
                                       uint8_t deviceAddress, uint8_t bus, uint8_t controller,
                                       uint8_t deviceId);
/* The selected FRU's address. */
ORVANE_API uint32_t GetFruAddress(OrvaneInterface* api, uint32_t* nvsType, uint8_t* lun,
                                  uint8_t* deviceAddress, uint8_t* bus, uint8_t* controller,
                                  uint8_t* deviceId);
/* The selected FRU's name (its SDR id string or file title), or null. Owned by
 * the library until DeInitialize. */
ORVANE_API uint32_t GetFruName(OrvaneInterface* api, const OrvaneChar** name);
/* Reads the FRU at this address and appends it to the system list; a driver
 * result or image failure is returned unchanged and nothing is added. */
ORVANE_API uint32_t LoadFruAtAddress(OrvaneInterface* api, uint32_t nvsType, uint8_t lun,
                                     uint8_t deviceAddress, uint8_t bus, uint8_t controller,
                                     uint8_t deviceId);
/* Reads the common header at this address and checks it: ORVANE_OK,
 * ORVANE_E_NOT_IPMI_FRU, ORVANE_E_HEADER_CHECKSUM or the read's status. */
ORVANE_API uint32_t FindFruAtAddressAndChecksumHeader(OrvaneInterface* api, uint32_t nvsType,
                                                      uint8_t lun, uint8_t deviceAddress,
                                                      uint8_t bus, uint8_t controller,
                                                      uint8_t deviceId);
/* Not implemented: returns ORVANE_E_NOT_IMPLEMENTED. */
ORVANE_API uint32_t AddFruToSystemList(OrvaneInterface* api);

/* ---- Areas and fields --------------------------------------------------- */

/* Area kinds for SelectAreaEnum. */
#define ORVANE_AREA_COMMON_HEADER 1
#define ORVANE_AREA_INTERNAL_USE 2
#define ORVANE_AREA_CHASSIS 3
#define ORVANE_AREA_BOARD 4
#define ORVANE_AREA_PRODUCT 5
#define ORVANE_AREA_MULTIRECORD 6

/* The number of areas present in the selected FRU (0 to 5, without the common
 * header). */
ORVANE_API uint32_t GetNumberOfAreas(OrvaneInterface* api, uint32_t* count);
/* Selects the present area at a position, in the order internal use, chassis,
 * board, product, multi-record. Clears the field selection. */
ORVANE_API uint32_t SelectAreaInteger(OrvaneInterface* api, uint32_t position);
/* Selects an area by kind (ORVANE_AREA_*). An absent area returns ORVANE_OK
 * and leaves no area selected: ask Has...Area to tell the cases apart. */
ORVANE_API uint32_t SelectAreaEnum(OrvaneInterface* api, int32_t kind);
/* The selected area's name, a catalogue text (not for the common header). */
ORVANE_API uint32_t GetAreaName(OrvaneInterface* api, const OrvaneChar** name);
/* Write 1 when the selected FRU has the area, else 0. */
ORVANE_API uint32_t HasInternalUseArea(OrvaneInterface* api, uint8_t* present);
ORVANE_API uint32_t HasChassisArea(OrvaneInterface* api, uint8_t* present);
ORVANE_API uint32_t HasBoardArea(OrvaneInterface* api, uint8_t* present);
ORVANE_API uint32_t HasProductArea(OrvaneInterface* api, uint8_t* present);
ORVANE_API uint32_t HasMultiRecordArea(OrvaneInterface* api, uint8_t* present);
/* The number of fields of the selected area (0 for the multi-record area). */
ORVANE_API uint32_t GetNumberOfFields(OrvaneInterface* api, uint32_t* count);
/* Selects a field by index, or by the area's field enumerator.
 * ORVANE_E_UNSUPPORTED for the common header and the multi-record area. */
ORVANE_API uint32_t SelectFieldInteger(OrvaneInterface* api, uint32_t index);
ORVANE_API uint32_t SelectFieldEnum(OrvaneInterface* api, int32_t field);
/* The selected field's title, a catalogue text. */
ORVANE_API uint32_t GetFieldTitle(OrvaneInterface* api, const OrvaneChar** title);
/* The selected field's value as text, owned by its area until the next value
 * request on that area. */
ORVANE_API uint32_t GetFieldStringValue(OrvaneInterface* api, const OrvaneChar** value);
/* The selected info-area field's raw bytes, pointing into the area (valid
 * until the area changes). */
ORVANE_API uint32_t GetFieldDataValue(OrvaneInterface* api, const uint8_t** data,
                                      uint32_t* length);
/* Replaces the selected info-area field with these bytes as 8-bit text. The
 * change stays in memory until a commit or a save. */
ORVANE_API uint32_t SetFieldDataValue(OrvaneInterface* api, const uint8_t* data,
                                      uint32_t length);
/* The bytes a field of the selected info area may grow by (its padding). */
ORVANE_API uint32_t GetMaxFieldSize(OrvaneInterface* api, uint32_t* size);
/* Copies the selected area's bytes (common header, internal use, multi-record
 * records) into the host's buffer; *size is the capacity on entry and the
 * bytes written on return. */
ORVANE_API uint32_t GetAreaData(OrvaneInterface* api, uint8_t* data, uint32_t* size);
/* Replaces the internal use bytes (same length only) or the whole
 * multi-record area. */
ORVANE_API uint32_t SetAreaData(OrvaneInterface* api, const uint8_t* data, uint32_t length);
/* The length of the internal use or multi-record area. */
ORVANE_API uint32_t GetAreaSize(OrvaneInterface* api, uint32_t* size);

/* ---- Configuration files ----------------------------------------------- */

/* Reads one FRU from a configuration file, appends it to the file list and
 * selects it there. ORVANE_E_CONFIG_FILE_READ when the file cannot be read or
 * parsed; ORVANE_E_BAD_ARGUMENT when the path has a character the running
 * locale cannot convert. */
ORVANE_API uint32_t LoadConfigurationFromFile(OrvaneInterface* api, const OrvaneChar* path);
/* Writes the selected FRU of the current list to a configuration file.
 * ORVANE_E_FILE_CREATE or ORVANE_E_CONFIG_FILE_WRITE when writing fails. */
ORVANE_API uint32_t SaveConfigurationToFile(OrvaneInterface* api, const OrvaneChar* path);

/* ---- The system --------------------------------------------------------- */

/* Scans the SDR repository and reads at most 17 FRU images into the system
 * list, with progress (phase ORVANE_PROGRESS_LOAD). Unreadable devices are
 * skipped. Does not change the selection. */
ORVANE_API uint32_t LoadConfigurationFromSystem(OrvaneInterface* api);
/* Writes the selected FRU of the system list back to its device, with
 * progress (phase ORVANE_PROGRESS_COMMIT). ORVANE_E_DEVICE_WRITE on failure. */
ORVANE_API uint32_t CommitConfigurationToSystem(OrvaneInterface* api);

/* ---- System properties ------------------------------------------------- */

/* Reads the three properties: 0 the BMC's IPMI version, 1 the number of FRU
 * devices found, 2 the number of FRU images read. Does not need a load. */
ORVANE_API uint32_t LoadPropertiesFromSystem(OrvaneInterface* api);
/* 3 once the properties are loaded, else ORVANE_E_NOT_LOADED. */
ORVANE_API uint32_t GetNumberOfProperties(OrvaneInterface* api, uint32_t* count);
/* Selects property 0 to 2; ORVANE_E_BAD_ARGUMENT otherwise (none selected). */
ORVANE_API uint32_t SelectProperty(OrvaneInterface* api, uint32_t index);
/* The selected property's title, a catalogue text. */
ORVANE_API uint32_t GetPropertyTitle(OrvaneInterface* api, const OrvaneChar** title);
/* The selected property's value text, owned by the library until the next
 * LoadPropertiesFromSystem or DeInitialize. */
ORVANE_API uint32_t GetPropertyValue(OrvaneInterface* api, const OrvaneChar** value);

/* ---- Catalogue ---------------------------------------------------------- */

/* Loads the message catalogue <language><locale>/orvane/str/orvane.str (from
 * the current directory, else $ORVANE_DATA_DIR, else the installed data
 * folder) and makes it the library's catalogue; works before Initialize.
 * Returns ORVANE_OK, ORVANE_E_STRING_RESOURCE (the catalogue in use stays) or
 * ORVANE_E_NO_MEMORY. */
ORVANE_API uint32_t SetLanguageLocale(OrvaneInterface* api, const OrvaneChar* language,
                                      const OrvaneChar* locale);

#ifdef __cplusplus
}
#endif
#endif
