/* A minimal Orvane host in C: initializes the library with the English
 * catalogue, prints the revision, shows how a failure's text is handed over,
 * then loads the system's FRUs and prints each one's board manufacturer and
 * product name.
 *
 * Against the simulated demo system:
 *   ORVANE_DRIVER=sim ORVANE_SIM_SYSTEM=examples/demo-system/system.json ./orvane-hello
 */
#include <orvane/orvane.h>

#include <stdio.h>

/* Prints a UTF-16 text; characters outside ASCII are shown as '?'. */
static void print_text(const OrvaneChar* text) {
    for (; text && *text; ++text)
        putchar(*text < 0x80 ? (char)*text : '?');
}

/* Prints the value of one field of the selected FRU, or "-" when the FRU has
 * no such area or field. */
static void print_field(OrvaneInterface* api, int32_t area, int32_t field) {
    const OrvaneChar* value = NULL;
    if (SelectAreaEnum(api, area) == ORVANE_OK && SelectFieldEnum(api, field) == ORVANE_OK &&
        GetFieldStringValue(api, &value) == ORVANE_OK && value && *value)
        print_text(value);
    else
        putchar('-');
}

int main(void) {
    OrvaneInterface api = {0};
    api.setLanguage = SetLanguageLocale; /* Initialize loads "en" / "us" through it */

    printf("Orvane revision %u.%02u\n", (unsigned)(Revision >> 16), (unsigned)(Revision & 0xFFFF));
    uint32_t status = Initialize(&api);
    if (status != ORVANE_OK) {
        printf("Initialize failed: 0x%08X (is the catalogue built? see ORVANE_DATA_DIR)\n",
               (unsigned)status);
        return 1;
    }

    /* Nothing is loaded yet, so IsModified fails; the library keeps a text. */
    uint8_t modified = 0;
    status = IsModified(&api, &modified);
    const OrvaneChar* message = NULL;
    GetLastErrorMessage(&api, &message);
    printf("IsModified before a load: 0x%08X: ", (unsigned)status);
    print_text(message);
    putchar('\n');

    /* The text is handed over once; a second call gives null. */
    GetLastErrorMessage(&api, &message);
    printf("Again: %s\n", message ? "a text" : "no new failure");

    /* The system: scan the SDR repository and read every FRU device. */
    status = LoadConfigurationFromSystem(&api);
    uint32_t present = 0, loaded = 0;
    if (status == ORVANE_OK && SelectList(&api, ORVANE_LIST_SYSTEM) == ORVANE_OK)
        GetNumberOfFrus(&api, &present, &loaded);
    printf("%u FRU devices found, %u read\n", (unsigned)present, (unsigned)loaded);
    for (uint32_t i = 0; i < loaded; ++i) {
        const OrvaneChar* name = NULL;
        if (SelectFru(&api, i) != ORVANE_OK)
            continue;
        GetFruName(&api, &name);
        printf("  %u ", (unsigned)i);
        print_text(name);
        printf(": board manufacturer ");
        print_field(&api, ORVANE_AREA_BOARD, 6);
        printf(", product name ");
        print_field(&api, ORVANE_AREA_PRODUCT, 12);
        putchar('\n');
    }
    if (loaded == 0)
        printf("(set ORVANE_DRIVER=sim and ORVANE_SIM_SYSTEM to a system description, such as "
               "examples/demo-system/system.json)\n");

    DeInitialize(&api);
    return 0;
}
