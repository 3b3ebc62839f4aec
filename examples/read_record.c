/* A host written in C reads two members of a combined record (CSESDZentoRec)
 * by name through the C interface: the systolic pressure of its NIBP
 * reading, named and as a physical value with its units code, and the
 * patient's identifier. It prints what read_record.cpp prints.
 *
 *     read_record_c RECORD.bin
 */
#include <stdio.h>
#include <stdlib.h>

#include "xqova/c/xqova_c.h"

int main(int argc, char** argv) {
    static unsigned char bytes[1 << 20];
    size_t length;
    FILE* in;
    xqova_dictionary* dictionary = NULL;
    xqova_object* record = NULL;
    xqova_reason why;
    double systolic = 0;
    uint8_t units = 0;
    uint32_t size = 0;
    char name[64], patient[64];
    int status = 1;

    if (argc != 2) return fprintf(stderr, "usage: read_record_c RECORD.bin\n"), 2;
    in = fopen(argv[1], "rb");
    if (in == NULL) return fprintf(stderr, "cannot open %s\n", argv[1]), 1;
    length = fread(bytes, 1, sizeof bytes, in);
    fclose(in);

    if (xqova_dictionary_new(XQOVA_BUILTIN_DEVICE, &dictionary) != XQOVA_OK) return 1;
    if (xqova_object_decode(dictionary, bytes, (uint32_t)length, &record, &why) != XQOVA_OK) {
        printf("refused: %s\n", why.message);
    } else if (xqova_member_physical(record, "NIBPData.Systolic", &systolic, NULL, &units, NULL, NULL) != XQOVA_OK ||
               xqova_member_name(record, "NIBPData.Systolic", name, sizeof name, &size) != XQOVA_OK ||
               xqova_member_text(record, "Patient.Identifier", patient, sizeof patient, &size) != XQOVA_OK) {
        printf("no such members: %s\n", xqova_last_error());
    } else {
        printf("%s: %g (units code %u)\n", name, systolic, (unsigned)units);
        printf("Patient.Identifier: %s\n", patient);
        status = 0;
    }
    xqova_object_free(record);        /* the object first or last: */
    xqova_dictionary_free(dictionary);  /* each keeps what it needs */
    return status;
}
