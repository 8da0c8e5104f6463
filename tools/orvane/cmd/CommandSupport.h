// What the subcommands share: usage failures, loading and selecting the FRU,
// area and field a command names, and turning a value into field bytes.
#pragma once
#include "app/Options.h"
#include "app/Session.h"
#include "device/GuardedWrite.h"
#include "view/FieldNames.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Commands {
// The longest text a type/length byte can announce.
constexpr uint32_t kMaxFieldBytes = 63;

std::u16string Wide(const std::string& s);
int Usage(const std::string& command, const std::string& problem);
// The usage error for a name that is no field, with the nearest field name.
int NoSuchField(const std::string& command, const std::string& name);
// Loads a configuration file into the file list (selecting its FRU), after
// checking that it is a readable regular file; false after a report, also
// when it changed while the library read it.
bool LoadFile(Session& s, const std::string& path);
// Loads the FRUs a command works on: the system, or one configuration file.
bool LoadSource(Session& s, const Options& o);
// Selects the FRU a command names: the file's FRU, or a FRU of the system.
bool SelectTarget(Session& s, const Options& o, const std::string* designation, uint32_t* position);
// The FRU a command names as a view: a FRU the library holds, or, for an
// image the library refuses, what can be read of its raw bytes (not
// editable; refused with --strict).
bool DescribeTarget(Session& s, const Options& o, const std::string* designation,
                    uint32_t* position, FruView* view);
// The area of a view holding the field that a name or enumerator stands
// for, and the field's index there; null when the FRU has no such field (the
// reason is printed).
const ImageModel::AreaImage* FindField(const FruView& view, const FieldNames::Field& field,
                                       const std::string& name, size_t* index);
bool SelectArea(Session& s, int32_t area);
// The device a command names: any position, id:N, name or address of a
// located device, or any other address. *position is the system list's FRU
// of that device, when there is one (then selected). With write, a position
// whose device was not read is refused (kExitRefused); its address or id:N
// names it on purpose. Returns an exit code.
int ResolveDevice(Session& s, const std::string& designation, FruAddress* address,
                  std::optional<uint32_t>* position, bool write);
bool SelectNamedField(Session& s, const FieldNames::Field& field, const std::string& name);
// The bytes a value stands for in a field: hex for the internal use data, a
// date for the board's manufacturing date, a chassis type by name or number
// (current: the field's bytes now), the text itself otherwise.
bool FieldBytes(const FieldNames::Field& field, uint32_t index, const std::string& value,
                const std::vector<uint8_t>& current, std::vector<uint8_t>* bytes,
                std::string* problem);
// The bytes the selected FRU holds now in a field named by its area and its
// value and setter index (not by enumerator). The library's field-data
// getter counts custom fields in image order, unlike its setters, so it
// would read another custom field's bytes.
std::vector<uint8_t> HeldBytes(const FieldNames::Field& field);
// Sets the selected field (or the internal use data) to bytes, after the
// checks that keep a FRU readable. Returns an exit code.
// typeBits other than 8-bit text (0xC0) store the bytes in that encoding;
// typed is the value as given, for the refusals. No bytes clear a text field.
int ApplyValue(Session& s, const Options& o, const FieldNames::Field& field,
               const std::string& name, const std::string& typed, const std::vector<uint8_t>& bytes,
               uint8_t typeBits = 0xC0);
// The type bits a text keeps in a field: the packed encoding the field uses
// when the text can be stored there (*bytes then holds the packed bytes),
// else 8-bit text; the user is told which (key names the field).
uint8_t KeepEncoding(const ImageModel::FieldImage& target, const std::string& key,
                     const std::string& value, std::vector<uint8_t>* bytes);
// The area of kind as fru holds it now, described into *held; null when
// absent.
const ImageModel::AreaImage* HeldArea(CFru* fru, ImageModel::ImageView* held, int32_t kind);
// The field of an area whose value and setter index is valueIndex: fields
// are listed in image order, custom ones are set counting from the last.
// Null when there is none.
const ImageModel::FieldImage* FieldBySetter(const ImageModel::AreaImage& area, uint32_t valueIndex);

// A field a change gives a new value (set, apply): its stable name, apply's
// JSON path of it, and both values as a person reads them.
struct FieldChange {
    int32_t area = 0;
    std::string name, path, before, after;
    std::vector<uint8_t> bytesBefore, bytesAfter;
};
// What a change did or, --dry-run, would do.
struct ChangeOutcome {
    std::vector<FieldChange> fields;
    // The device's areas written (or that would be) and the backup; without
    // a device write, areas stays empty and the fields' areas are told.
    GuardedWrite::Written device;
    bool written = false; // the device or image file was written
    std::string saved;    // the configuration file written, or ""
};
// A field's value as get prints it: typed fields decoded, the others as the
// library renders them.
std::string PrintedValue(const ImageModel::AreaImage& area, size_t index);
// The fields whose value or bytes differ between two images of a FRU.
std::vector<FieldChange> ChangedFields(const ImageModel::ImageView& before,
                                       const ImageModel::ImageView& after);
// The one JSON document of a change's result on standard output: the FRU,
// its address, "changed", "dry_run", the fields (old and new), the areas,
// "committed", "saved" and "backup".
void PrintChange(const FruView& view, const Options& o, const ChangeOutcome& outcome);
} // namespace Commands
