/* The host of the end-to-end test: loads the system's FRUs through orvane.h
 * and prints every field of every FRU, one line each, so a script can compare
 * them with other FRU tools. With "set", it first changes fields of one FRU
 * and commits that FRU to the system.
 *
 *   e2e-host                      print every FRU
 *   e2e-host set FRU AREA FIELD VALUE [AREA FIELD VALUE ...]
 *                                 FRU: position in the system list, AREA: 3
 *                                 chassis, 4 board, 5 product, FIELD: index;
 *                                 after "COMMITTED" the system is loaded again
 *                                 in this process and printed
 *   e2e-host wait                 print every FRU, print "WAITING", wait for a
 *                                 line on standard input, then load again in
 *                                 this process and print every FRU
 */
#include <orvane/orvane.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Prints a UTF-16 text; the test's system is ASCII, anything else shows as '?'. */
static void print_text(const OrvaneChar* text) {
    for (; text && *text; ++text)
        putchar(*text < 0x80 ? (int)*text : '?');
}

static int failed(OrvaneInterface* api, const char* what, uint32_t status) {
    const OrvaneChar* message = NULL;
    GetLastErrorMessage(api, &message);
    printf("ERROR %s: 0x%08X ", what, (unsigned)status);
    print_text(message);
    putchar('\n');
    return 1;
}

static void print_area(OrvaneInterface* api, int kind) {
    uint32_t count = 0;
    if (SelectAreaEnum(api, kind) != ORVANE_OK || GetNumberOfFields(api, &count) != ORVANE_OK)
        return;
    for (uint32_t i = 0; i < count; ++i) {
        const OrvaneChar* title = NULL;
        const OrvaneChar* value = NULL;
        if (SelectFieldInteger(api, i) != ORVANE_OK)
            continue;
        GetFieldTitle(api, &title);
        printf("    FIELD %d.%u ", kind, (unsigned)i);
        print_text(title);
        printf(" = ");
        if (GetFieldStringValue(api, &value) == ORVANE_OK)
            print_text(value);
        putchar('\n');
    }
}

static void print_fru(OrvaneInterface* api, uint32_t index) {
    uint32_t nvsType = 0;
    uint8_t lun = 0, device = 0, bus = 0, controller = 0, id = 0;
    const OrvaneChar* name = NULL;
    if (SelectFru(api, index) != ORVANE_OK)
        return;
    GetFruAddress(api, &nvsType, &lun, &device, &bus, &controller, &id);
    GetFruName(api, &name);
    printf("FRU %u type=%u lun=%u device=0x%02X bus=0x%02X controller=0x%02X id=%u name=",
           (unsigned)index, (unsigned)nvsType, lun, device, bus, controller, id);
    print_text(name);
    putchar('\n');
    print_area(api, ORVANE_AREA_INTERNAL_USE);
    print_area(api, ORVANE_AREA_CHASSIS);
    print_area(api, ORVANE_AREA_BOARD);
    print_area(api, ORVANE_AREA_PRODUCT);
}

static int set_fields(OrvaneInterface* api, int argc, char** argv) {
    uint32_t status = SelectFru(api, (uint32_t)atoi(argv[2]));
    if (status != ORVANE_OK)
        return failed(api, "SelectFru", status);
    for (int i = 3; i + 2 < argc; i += 3) {
        if ((status = SelectAreaEnum(api, atoi(argv[i]))) != ORVANE_OK)
            return failed(api, "SelectAreaEnum", status);
        if ((status = SelectFieldInteger(api, (uint32_t)atoi(argv[i + 1]))) != ORVANE_OK)
            return failed(api, "SelectFieldInteger", status);
        status = SetFieldDataValue(api, (const uint8_t*)argv[i + 2], (uint32_t)strlen(argv[i + 2]));
        if (status != ORVANE_OK)
            return failed(api, "SetFieldDataValue", status);
    }
    if ((status = CommitConfigurationToSystem(api)) != ORVANE_OK)
        return failed(api, "CommitConfigurationToSystem", status);
    printf("COMMITTED\n");
    return 0;
}

/* Initialize, load the system and print it (or change and commit one FRU). */
static int load(int argc, char** argv) {
    OrvaneInterface api;
    memset(&api, 0, sizeof api);
    api.setLanguage = SetLanguageLocale;
    uint32_t status = Initialize(&api);
    if (status != ORVANE_OK) {
        printf("ERROR Initialize: 0x%08X (is ORVANE_DATA_DIR set?)\n", (unsigned)status);
        return 1;
    }
    int rc = 0;
    uint32_t present = 0, loaded = 0;
    if ((status = LoadConfigurationFromSystem(&api)) != ORVANE_OK) {
        rc = failed(&api, "LoadConfigurationFromSystem", status);
    } else if ((status = SelectList(&api, ORVANE_LIST_SYSTEM)) != ORVANE_OK ||
               (status = GetNumberOfFrus(&api, &present, &loaded)) != ORVANE_OK) {
        rc = failed(&api, "SelectList", status);
    } else if (argc >= 6 && strcmp(argv[1], "set") == 0) {
        rc = set_fields(&api, argc, argv);
    } else {
        printf("FRUS present=%u loaded=%u\n", (unsigned)present, (unsigned)loaded);
        for (uint32_t i = 0; i < loaded; ++i)
            print_fru(&api, i);
    }
    DeInitialize(&api);
    return rc;
}

int main(int argc, char** argv) {
    int rc = load(argc, argv);
    if (rc == 0 && argc >= 2 && strcmp(argv[1], "wait") == 0) {
        char line[16];
        printf("WAITING\n");
        fflush(stdout);
        if (!fgets(line, sizeof line, stdin))
            return 1;
        rc = load(1, argv);
    } else if (rc == 0 && argc >= 6 && strcmp(argv[1], "set") == 0) {
        rc = load(1, argv);
    }
    return rc;
}
