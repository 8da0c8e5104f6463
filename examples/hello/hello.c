/* A minimal Orvane host in C: initializes the library with the English
 * catalogue, prints the revision, provokes one failure and prints its text. */
#include <orvane/orvane.h>

#include <stdio.h>

/* Prints a UTF-16 text; characters outside ASCII are shown as '?'. */
static void print_text(const OrvaneChar* text) {
    for (; text && *text; ++text)
        putchar(*text < 0x80 ? (char)*text : '?');
    putchar('\n');
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

    /* The text is handed over once; a second call gives null. */
    GetLastErrorMessage(&api, &message);
    printf("Again: %s\n", message ? "a text" : "no new failure");

    DeInitialize(&api);
    return 0;
}
