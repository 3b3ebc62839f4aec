/* The C interface from a C program: decoding, members by path, encoding,
 * XML, frames, the stream reader, string tables, dictionaries from bytes and
 * the argument checks. Prints each failed check and exits non-zero. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "xqova/c/xqova_c.h"
#include "xqova/version.h"
#ifdef XQOVA_TEST_JSON
#include "xqova/c/xqova_json_c.h"
#endif

static int failures = 0;
void test_count_allocations(void); /* live_allocations.cpp */
long test_live_allocations(void);

#define CHECK(cond) check((cond) != 0, #cond, __LINE__, "")
#define CHECK_AT(cond, label) check((cond) != 0, #cond, __LINE__, (label))
#define MUST(cond) do { if (!CHECK(cond)) return; } while (0)
/* A row of a status table: the call, as text too, and the status it must give. */
#define ROW(call, want) {#call, xqova_##call, XQOVA_##want}
typedef struct { const char* call; xqova_status got, want; } status_row;
#define CHECK_ROWS(rows) \
    for (i = 0; i < sizeof rows / sizeof rows[0]; ++i) CHECK_AT(rows[i].got == rows[i].want, rows[i].call)

static int check(int ok, const char* text, int line, const char* label) {
    if (!ok) {
        ++failures;
        printf("line %d%s%s: %s (last error: %s)\n", line, *label ? " " : "", label, text, xqova_last_error());
    }
    return ok;
}

/* A CNIBPDStd reading: 2024/03/05 14:32:10 00, Status 1, 120/80 mmHg, MAP 93,
 * HR 72, Source 10, Mode 10, Method 11 (examples/sample_reading.bin). */
static const uint8_t kReading[37] = {0x00, 0x05, 0x00, 0x00, 0x00, 0x1f, 0x00, 0x69, 0x40, 0x00, 0x18, 0x07, 0xe8,
                                     0x03, 0x05, 0x0e, 0x20, 0x0a, 0x00, 0x00, 0x01, 0x00, 0x78, 0x00, 0x50, 0x00,
                                     0x5d, 0x00, 0x48, 0x00, 0x00, 0x00, 0x0a, 0x0a, 0x0b, 0x90, 0x24};

/* Programs and bindings compiled against the header hold these numbers, so
 * none may change. (The status numbers are pinned by their names below, the
 * decode and frame checks by the library's own numbers.) */
#define ABI(cond) extern char xqova_abi_numbers[(cond) ? 1 : -1]
ABI(XQOVA_KIND_NO_MEMBER == 0 && XQOVA_KIND_SIGNED == 1 && XQOVA_KIND_UNSIGNED == 2 && XQOVA_KIND_FLOAT == 3 &&
    XQOVA_KIND_TEXT == 4 && XQOVA_KIND_BITMASK == 5 && XQOVA_KIND_TIME == 6 && XQOVA_KIND_OBJECT == 7 &&
    XQOVA_KIND_VECTOR == 8 && XQOVA_KIND_BASE == 9 && XQOVA_KIND_UNKNOWN == 10);
ABI(XQOVA_STREAM_NEED_MORE == 0 && XQOVA_STREAM_FRAME == 1 && XQOVA_STREAM_CORRUPT == 2);
ABI(XQOVA_BUILTIN_NONE == 0 && XQOVA_BUILTIN_DEVICE == 1 && XQOVA_BUILTIN_SDK == 2 && XQOVA_BUILTIN_ALL == 3);

static const uint32_t kNIBP = 0x00050000u;
static const uint32_t kNIBPSettings = 0x00050800u;
static const uint32_t kRecord = 0x00170001u;

/* Rewrites the checksum at the end of `bytes` after a change. */
static void reseal(uint8_t* bytes, uint32_t length) {
    uint16_t crc = 0;
    xqova_checksum(bytes, length - 2, &crc);
    bytes[length - 2] = (uint8_t)(crc >> 8), bytes[length - 1] = (uint8_t)crc;
}

static void test_library_and_arguments(void) {
    static const char* const names[] = {"ok", "invalid argument", "out of memory", "buffer too small",
                                        "input refused", "not found", "another kind of member", "out of range",
                                        "internal failure", "unknown status"};
    xqova_dictionary *d = NULL, *other = (xqova_dictionary*)&d; /* out-parameters become null on failure */
    xqova_object *o = NULL, *none = (xqova_object*)&d;
    xqova_stream_reader *r = NULL, *no_reader = (xqova_stream_reader*)&d, *smallest = NULL, *largest = NULL;
    xqova_string_table *t = NULL, *no_table = (xqova_string_table*)&d;
    uint8_t buf[64];
    uint32_t size = 7, unset[4] = {7, 7, 7, 7}; /* sizes of failed calls: each becomes 0 */
    int64_t value = 0;
    uint16_t crc = 0;
    int32_t kind = 0;
    size_t i;

    CHECK(strcmp(xqova_version(), XQOVA_VERSION) == 0);
    CHECK(xqova_checksum((const uint8_t*)"123456789", 9, &crc) == XQOVA_OK && crc == 0x6F91);
    for (i = 0; i < 10; ++i) CHECK_AT(strcmp(xqova_status_name((xqova_status)i), names[i]) == 0, names[i]);
    MUST(xqova_dictionary_new(XQOVA_BUILTIN_DEVICE, &d) == 0 && xqova_stream_reader_new(64, &r) == 0 &&
         xqova_string_table_new(d, &t) == 0 && xqova_object_decode(d, kReading, 37, &o, NULL) == 0 &&
         xqova_last_error()[0] == '\0');
    {
        const status_row rows[] = {
            /* the library, dictionaries and string tables */
            ROW(dictionary_definition(d, 0x7FFF0000u, NULL, 0, &unset[0]), E_NOT_FOUND), ROW(checksum(NULL, 0, &crc), OK),
            ROW(dictionary_add_definitions(d, NULL, 5, NULL, NULL), E_ARGUMENT),
            ROW(dictionary_definition(d, kNIBP, buf, 64, NULL), E_ARGUMENT), ROW(dictionary_new(4, &other), E_ARGUMENT),
            ROW(string_table_add_links(t, NULL, 1, NULL, NULL), E_ARGUMENT), ROW(checksum(NULL, 3, &crc), E_ARGUMENT),
            ROW(dictionary_new(XQOVA_BUILTIN_DEVICE, NULL), E_ARGUMENT), ROW(string_table_new(NULL, NULL), E_ARGUMENT),
            ROW(dictionary_add_definitions(d, NULL, 0, NULL, NULL), OK), ROW(checksum(buf, 3, NULL), E_ARGUMENT),
            ROW(string_table_new(NULL, &no_table), E_ARGUMENT), ROW(member_set_text(o, "HR", NULL, 1), E_ARGUMENT),
            /* objects and members */
            ROW(object_member_at(o, 10, (char*)buf, 64, &unset[1]), E_NOT_FOUND),
            ROW(object_decode(NULL, kReading, 37, &none, NULL), E_ARGUMENT),
            ROW(object_decode(d, kReading, 37, NULL, NULL), E_ARGUMENT), ROW(member_set_number(o, "HR", 1e16), E_RANGE),
            ROW(member_integer(NULL, "Systolic", &value), E_ARGUMENT), ROW(member_integer(o, "STime", &value), E_KIND),
            ROW(object_decode(d, NULL, 37, &none, NULL), E_ARGUMENT), ROW(object_encode(o, NULL, 5, &size), E_ARGUMENT),
            ROW(member_text(o, "HR", (char*)buf, 64, &unset[2]), E_KIND), ROW(member_integer(o, "STime", NULL), E_ARGUMENT),
            ROW(object_new(d, 0x7FFF0000u, 0, &none), E_NOT_FOUND), ROW(member_set_text(o, "HR", "a", 1), E_KIND),
            ROW(object_encode(NULL, buf, 64, &size), E_ARGUMENT), ROW(member_set_number(o, "STime", HUGE_VAL), E_KIND),
            ROW(object_class(o, NULL, NULL), E_ARGUMENT), ROW(member_kind(o, NULL, &kind), E_ARGUMENT),
            /* frames: a payload of 65535 bytes is the most a 16-bit length states; a 32-bit one stops at 4 GiB */
            ROW(frame_build(0x00010000u, 0, 0, NULL, 0, buf, 0xFFFFFFF1u, NULL, 0, &size), E_RANGE),
            ROW(frame_build(0x00010000u, 0, 0, NULL, 0, buf, 0xFFFFFFF0u, NULL, 0, &size), OK),
            ROW(frame_build(kNIBP, 100, 0, NULL, 3, NULL, 0, buf, 64, &size), E_ARGUMENT),
            ROW(frame_build(kNIBP, 100, 0, NULL, 0, NULL, 3, buf, 64, &size), E_ARGUMENT),
            ROW(frame_build(kNIBP, 100, 0, buf, 70000, NULL, 0, buf, 64, &unset[3]), E_RANGE),
            ROW(frame_build(kNIBP, 100, 0, NULL, 0, NULL, 0, buf, 64, NULL), E_ARGUMENT),
            ROW(frame_build(kNIBP, 0, 0, NULL, 0, buf, 65529, NULL, 0, &size), E_RANGE),
            ROW(frame_build(kNIBP, 0, 0, NULL, 0, buf, 65528, NULL, 0, &size), OK),
            ROW(frame_split(buf, 10, NULL, 0, NULL, NULL), E_ARGUMENT),
            ROW(frame_split(buf, 5, NULL, 2, &size, NULL), E_ARGUMENT),
            ROW(frame_check(NULL, 10, &size, NULL), E_ARGUMENT), ROW(frame_split(NULL, 1, NULL, 0, &size, NULL), E_ARGUMENT),
            /* the stream reader takes frames of 16 bytes to 16 MiB */
            ROW(stream_reader_next(r, NULL, 64, &size, 0, &kind), E_ARGUMENT),
            ROW(stream_reader_new((16u << 20) + 1, &no_reader), E_RANGE), ROW(stream_reader_new(64, NULL), E_ARGUMENT),
            ROW(stream_reader_feed(r, NULL, 1, &size), E_ARGUMENT), ROW(stream_reader_counts(r, NULL, NULL, NULL), OK),
            ROW(stream_reader_new(16u << 20, &largest), OK), ROW(stream_reader_feed(r, NULL, 0, &size), OK),
            ROW(stream_reader_new(16, &smallest), OK), ROW(stream_reader_new(15, &no_reader), E_RANGE),
#ifdef XQOVA_TEST_JSON
            ROW(dictionary_add_definitions_json(d, "{", 1, NULL, NULL), E_REFUSED),
            ROW(object_from_json(d, "{}", 2, NULL, NULL), E_ARGUMENT), ROW(object_to_json(o, 2, NULL, 0, &size), OK),
            ROW(object_from_json(d, "{", 1, &none, NULL), E_REFUSED),
            ROW(object_to_json(o, 2, NULL, 0, NULL), E_ARGUMENT),
#endif
        };
        CHECK_ROWS(rows);
    }
    for (i = 0; i < 4; ++i) CHECK_AT(unset[i] == 0, "the size of a failed call");
    CHECK(none == NULL && no_reader == NULL && other == NULL && no_table == NULL && xqova_last_error()[0] != '\0');
    xqova_object_free(NULL), xqova_dictionary_free(NULL), xqova_string_table_free(NULL), xqova_stream_reader_free(NULL);
    xqova_stream_reader_free(r), xqova_stream_reader_free(smallest), xqova_stream_reader_free(largest);
    xqova_string_table_free(t), xqova_object_free(o), xqova_dictionary_free(d);
}

static void test_decode_read_encode(xqova_dictionary* d) {
    xqova_object* o = NULL;
    xqova_reason why;
    uint32_t class_id = 0, size = 0, needed = 0, i;
    uint16_t version = 0, coefficient = 0, *wide = NULL;
    uint8_t out[40], units = 0;
    int8_t exponent = 9;
    int64_t value = 0;
    int32_t kind = -1;
    double physical = 0, stored = 0;
    char text[64], *xml = NULL;
    xqova_time t;
    const struct { const char* path; int64_t value; int32_t kind; } reads[] = {{"Systolic", 120, XQOVA_KIND_SIGNED},
                                                                                {"HR", 72, XQOVA_KIND_UNSIGNED}};

    MUST(xqova_object_decode(d, kReading, sizeof kReading, &o, &why) == XQOVA_OK && why.check == 0 && !why.message[0]);
    CHECK(xqova_object_class(o, &class_id, &version) == XQOVA_OK && class_id == kNIBP && version == 105);
    CHECK(xqova_object_class_name(o, text, sizeof text, &size) == XQOVA_OK && !strcmp(text, "CNIBPDStd") && size == 10);
    CHECK(xqova_object_member_count(o, &needed) == XQOVA_OK && needed == 10);
    CHECK(xqova_object_member_at(o, 9, text, sizeof text, &size) == XQOVA_OK && strcmp(text, "Method") == 0);
    for (i = 0; i < 2; ++i)
        CHECK_AT(xqova_member_integer(o, reads[i].path, &value) == XQOVA_OK && value == reads[i].value &&
                 xqova_member_number(o, reads[i].path, &physical) == XQOVA_OK && physical == (double)reads[i].value &&
                 xqova_member_kind(o, reads[i].path, &kind) == XQOVA_OK && kind == reads[i].kind, reads[i].path);
    CHECK(xqova_member_physical(o, "Systolic", &physical, &stored, &units, &coefficient, &exponent) == XQOVA_OK &&
          physical == 120.0 && stored == 120.0 && units == 255 && coefficient == 1 && exponent == 0);
    CHECK(xqova_member_time(o, "STime", &t) == XQOVA_OK && t.year == 2024 && t.month == 3 && t.day == 5 &&
          t.hour == 14 && t.minute == 32 && t.second == 10 && t.fraction == 0);
    /* The path's ESC is written \x1B once, not escaped again. */
    CHECK(xqova_member_integer(o, "Sys\x1Btolc", &value) == XQOVA_E_NOT_FOUND && kind == XQOVA_KIND_UNSIGNED &&
          strcmp(xqova_last_error(), "no member of that name at offset 0 (\"Sys\\x1Btolc\") in CNIBPDStd") == 0);
    CHECK(xqova_member_kind(o, "Pulse", &kind) == XQOVA_E_NOT_FOUND && kind == XQOVA_KIND_NO_MEMBER);

    /* The encoding: a size query, a buffer one byte short, then the bytes. */
    CHECK(xqova_object_encode(o, NULL, 0, &needed) == XQOVA_OK && needed == sizeof kReading);
    memset(out, 0xAA, sizeof out);
    CHECK(xqova_object_encode(o, out, sizeof kReading - 1, &size) == XQOVA_E_BUFFER_TOO_SMALL &&
          size == sizeof kReading && out[0] == 0xAA);
    CHECK(xqova_object_encode(o, out, sizeof out, &size) == XQOVA_OK && size == sizeof kReading &&
          memcmp(out, kReading, sizeof kReading) == 0 && out[sizeof kReading] == 0xAA);

    /* The XML document, in 8 and 16 bits (one unit short: no room), then whole. */
    MUST(xqova_object_xml(o, NULL, 0, &needed) == XQOVA_OK && needed > 100 && (xml = (char*)malloc(needed)) != NULL);
    CHECK(xqova_object_xml(o, xml, needed, &size) == XQOVA_OK && size == needed && strlen(xml) == needed - 1 &&
          strstr(xml, "Systolic") != NULL && strstr(xml, "CNIBPDStd") != NULL);
    free(xml);
    MUST(xqova_object_xml_utf16(o, NULL, 0, &needed) == XQOVA_OK && needed > 100 &&
         (wide = (uint16_t*)malloc(needed * sizeof *wide)) != NULL);
    CHECK(xqova_object_xml_utf16(o, wide, needed - 1, &size) == XQOVA_E_BUFFER_TOO_SMALL && size == needed);
    CHECK(xqova_object_xml_utf16(o, wide, needed, &size) == XQOVA_OK && size == needed && wide[0] == '<' &&
          wide[needed - 1] == 0 && wide[needed - 2] != 0);
    free(wide);

    /* A changed member goes into the encoding. */
    CHECK(xqova_member_set_integer(o, "Systolic", 118) == XQOVA_OK);
    t.day = 6;
    CHECK(xqova_member_set_time(o, "STime", &t) == XQOVA_OK && xqova_member_time(o, "STime", &t) == XQOVA_OK && t.day == 6);
    CHECK(xqova_object_encode(o, out, sizeof out, &size) == XQOVA_OK && out[21] == 0x00 && out[22] == 118);
    xqova_object_free(o);

    /* A reading of another class, resealed: cut to its header, then whole. */
    memcpy(out, kReading, sizeof kReading), out[1] = 0x7E, reseal(out, sizeof kReading);
    CHECK(xqova_object_decode(d, out, 3, &o, &why) == XQOVA_E_REFUSED && o == NULL && why.offset == 0 &&
          why.check == XQOVA_DECODE_HEADER && why.class_id == 0xFFFFFFFFu && why.path[0] == '\0' &&
          why.message[0] != '\0' && strcmp(why.message, xqova_last_error()) == 0);
    o = (xqova_object*)out;
    CHECK(xqova_object_decode(d, out, sizeof kReading, &o, &why) == XQOVA_E_REFUSED && o == NULL &&
          why.check == XQOVA_DECODE_UNKNOWN_CLASS && why.offset == 0 && why.class_id == 0x007E0000u &&
          why.path[0] == '\0' && strcmp(why.message, "unknown class at offset 0 (class 0x007E0000)") == 0 &&
          strcmp(why.message, xqova_last_error()) == 0);
}

/* A combined record built member by member, encoded, damaged inside its
 * nested NIBP reading: refused with the member path and the nested offset. */
static void test_record(xqova_dictionary* d) {
    xqova_object *record = NULL, *back = NULL;
    xqova_reason why;
    uint8_t bytes[2048];
    uint32_t size = 0, i, nested = 150;
    char text[32];
    double value = 0;

    MUST(xqova_object_new(d, kRecord, 0xFFFF, &record) == XQOVA_OK);
    /* A null text of no characters empties the member (of one, it is refused: the first table). */
    CHECK(xqova_member_set_text(record, "Patient.Identifier", NULL, 0) == XQOVA_OK &&
          xqova_member_text(record, "Patient.Identifier", text, sizeof text, &size) == XQOVA_OK && size == 1);
    CHECK(xqova_member_set_text(record, "Patient.Identifier", "P-0042", 6) == XQOVA_OK);
    {
        const struct { const char* path; int64_t value; xqova_status want; } rows[] = {
            {"NIBPData.Diastolic", 32767, XQOVA_OK},  {"NIBPData.Diastolic", 32768, XQOVA_E_RANGE},
            {"NIBPData.MAP", -32768, XQOVA_OK},       {"NIBPData.MAP", -32769, XQOVA_E_RANGE},
            {"NIBPData.HR", 65535, XQOVA_OK},         {"NIBPData.HR", -1, XQOVA_E_RANGE},
            {"NIBPData.Mode", 255, XQOVA_OK},         {"NIBPData.Mode", 256, XQOVA_E_RANGE},
            {"WeightData.Weight", 4294967295, XQOVA_OK}, {"WeightData.Weight", 4294967296, XQOVA_E_RANGE},
            {"Patient.Identifier", 1, XQOVA_E_KIND},  {"NIBPData", 1, XQOVA_E_KIND},
            {"NIBPData.Nothing", 1, XQOVA_E_NOT_FOUND}};
        for (i = 0; i < sizeof rows / sizeof rows[0]; ++i)
            CHECK_AT(xqova_member_set_integer(record, rows[i].path, rows[i].value) == rows[i].want, rows[i].path);
    }
    /* A number: whole ones set integers, fractions suit no integer (and no number a time: the first table). */
    CHECK(xqova_member_set_number(record, "NIBPData.Systolic", 120.0) == XQOVA_OK);
    CHECK(xqova_member_set_number(record, "NIBPData.MAP", 1.5) == XQOVA_E_RANGE);
    CHECK(xqova_member_set_number(record, "NIBPData.HR", 1.5) == XQOVA_E_RANGE);
    MUST(xqova_object_encode(record, bytes, sizeof bytes, &size) == XQOVA_OK);
    MUST(xqova_object_decode(d, bytes, size, &back, NULL) == XQOVA_OK);
    CHECK(xqova_member_physical(back, "NIBPData.Systolic", NULL, &value, NULL, NULL, NULL) == 0 && value == 120.0);
    CHECK(xqova_member_text(back, "Patient.Identifier", text, sizeof text, &size) == XQOVA_OK &&
          strcmp(text, "P-0042") == 0 && size == 7);
    CHECK(xqova_member_text(back, "Patient.Identifier", text, 6, &size) == XQOVA_E_BUFFER_TOO_SMALL && size == 7);
    CHECK(xqova_member_name(back, "NIBPData.Systolic", text, sizeof text, &size) == XQOVA_OK &&
          strcmp(text, "Systolic") == 0);
    xqova_object_free(back), back = NULL;

    /* The nested reading starts where its class identifier is. */
    MUST(xqova_object_encode(record, bytes, sizeof bytes, &size) == XQOVA_OK && memcmp(bytes + nested, "\0\5\0\0", 4) == 0);
    bytes[nested + 4 + 2 + ((uint32_t)bytes[nested + 4] << 8 | bytes[nested + 5]) - 1] ^= 1, reseal(bytes, size);
    CHECK(xqova_object_decode(d, bytes, size, &back, &why) == XQOVA_E_REFUSED && back == NULL);
    CHECK(why.check == XQOVA_DECODE_CHECKSUM && why.offset == nested && strcmp(why.path, "NIBPData") == 0 &&
          why.class_id == kNIBP && strstr(why.message, "NIBPData (class 0x00050000)") != NULL);
    xqova_object_free(record);
}

static void test_frames(void) {
    static const uint8_t fixed[3] = {1, 2, 3}, variable[2] = {4, 5};
    static const uint8_t layout[16] = {0x00, 0x02, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x65,
                                       0x40, 0x00, 0x03, 1,    2,    3,    4,    5};
    uint8_t wide[20], frame[18], stream[3 * 18 + 3], copy[64], bad[18];
    uint32_t size = 0, sizes[4] = {0}, count, i, good = 0, damaged = 0, taken, buffered = 9, discarded, corrupt;
    uint16_t crc = 0;
    int32_t found = 9; /* a failed call sets it to XQOVA_STREAM_NEED_MORE */
    xqova_reason why;
    xqova_stream_reader* reader = NULL;

    CHECK(xqova_frame_build(0x00020000u, 101, 0x40, fixed, 3, variable, 2, NULL, 0, &size) == XQOVA_OK && size == 18);
    CHECK(xqova_frame_build(0x00020000u, 101, 0x40, fixed, 3, variable, 2, frame, 17, &size) ==
          XQOVA_E_BUFFER_TOO_SMALL);
    MUST(xqova_frame_build(0x00020000u, 101, 0x40, fixed, 3, variable, 2, frame, sizeof frame, &size) == XQOVA_OK);
    xqova_checksum(frame, 16, &crc);
    CHECK(memcmp(frame, layout, sizeof layout) == 0 && frame[16] == (crc >> 8) && frame[17] == (crc & 0xFF));
    /* A class with a 32-bit length field; a frame of no parts. */
    CHECK(xqova_frame_build(0x00010000u, 101, 0x40, fixed, 3, variable, 2, wide, sizeof wide, &size) == XQOVA_OK &&
          size == 20 && memcmp(wide, "\0\1\0\0\0\0\0\x0c", 8) == 0 && memcmp(wide + 8, layout + 6, 10) == 0 &&
          xqova_frame_check(wide, 20, NULL, NULL) == 0);
    CHECK(xqova_frame_build(0x00020000u, 101, 0x40, NULL, 0, NULL, 0, wide, sizeof wide, &size) == XQOVA_OK &&
          size == 13 && wide[5] == 7 && wide[10] == 0 && xqova_frame_check(wide, 13, NULL, NULL) == 0);
    CHECK(xqova_frame_check(frame, sizeof frame, &size, &why) == XQOVA_OK && size == 18 && why.check == 0);

    memcpy(bad, frame, sizeof bad);
    bad[12] ^= 0x10;
    CHECK(xqova_frame_check(bad, sizeof bad, &size, &why) == XQOVA_E_REFUSED && size == 0 &&
          why.check == XQOVA_FRAME_CHECKSUM && why.at == 16 && why.class_id == 0x00020000u);
    CHECK(xqova_frame_check(bad, 3, NULL, &why) == XQOVA_E_REFUSED && why.class_id == 0xFFFFFFFFu);

    /* Two frames end to end, then three bytes that are no frame; a damaged one. */
    memcpy(stream, frame, 18), memcpy(stream + 18, frame, 18), memset(stream + 36, 0, 3);
    CHECK(xqova_frame_split(stream, 36, sizes, 2, &count, &why) == XQOVA_OK && count == 2 && sizes[0] == 18 &&
          sizes[1] == 18 && why.check == 0 && why.class_id == 0xFFFFFFFFu);
    CHECK(xqova_frame_split(stream, 36, NULL, 0, &count, NULL) == XQOVA_OK && count == 2);
    CHECK(xqova_frame_split(stream, 36, sizes, 1, &count, NULL) == XQOVA_E_BUFFER_TOO_SMALL && count == 2);
    CHECK(xqova_frame_split(stream, 39, sizes, 4, &count, &why) == XQOVA_E_REFUSED && count == 2 &&
          why.offset == 36 && why.check == XQOVA_FRAME_HEADER && why.class_id == 0xFFFFFFFFu);
    CHECK(xqova_frame_split(bad, 18, NULL, 0, &count, &why) == XQOVA_E_REFUSED && why.class_id == 0x00020000u);

    /* The stream reader: noise, a good frame, a damaged one, a good one. */
    MUST(xqova_stream_reader_new(64, &reader) == XQOVA_OK);
    memset(stream, 0xFF, 3), memcpy(stream + 3, frame, 18), memcpy(stream + 21, bad, 18);
    memcpy(stream + 39, frame, 18);
    CHECK(xqova_stream_reader_next(reader, copy, 63, &size, 0, &found) == XQOVA_E_BUFFER_TOO_SMALL && size == 64 &&
          found == XQOVA_STREAM_NEED_MORE);
    for (i = 0; i < 2; ++i) { /* all but the last byte, then the last and the end of the input */
        const uint32_t from = i == 0 ? 0 : sizeof stream - 1, part = i == 0 ? sizeof stream - 1 : 1;
        MUST(xqova_stream_reader_feed(reader, stream + from, part, &taken) == XQOVA_OK && taken == part);
        do {
            MUST(xqova_stream_reader_next(reader, copy, sizeof copy, &size, (int32_t)i, &found) == XQOVA_OK);
            good += found == XQOVA_STREAM_FRAME && size == 18 && memcmp(copy, frame, 18) == 0;
            damaged += found == XQOVA_STREAM_CORRUPT;
        } while (found != XQOVA_STREAM_NEED_MORE);
    }
    CHECK(xqova_stream_reader_counts(reader, &buffered, &discarded, &corrupt) == XQOVA_OK && buffered == 0 &&
          corrupt == 1 && discarded >= 3);
    CHECK(good == 2 && damaged == 1);
    xqova_stream_reader_free(reader);
}

/* Names from tables given as bytes: language 7 with the one string "Druck",
 * and a link table giving every name of CNIBPDStd that string. */
static void test_string_tables(xqova_dictionary* d) {
    uint8_t language[19] = {7, 0, 1, 0, 0, 0, 11, 0, 0, 0, 19, 'D', 'r', 'u', 'c', 'k', 0, 0, 0};
    uint8_t link[10 + 16 * 4 + 2] = {0, 5, 0, 0, 0, 10 + 16 * 4 + 2, 0, 10, 0, 16}; /* CNIBPDStd's 16 names */
    xqova_string_table *table = NULL, *names = NULL;
    xqova_object* o = NULL;
    xqova_reason why;
    uint32_t added = 0, size = 0, i;
    char text[32];

    for (i = 0; i < 16; ++i) link[10 + 4 * i] = link[11 + 4 * i] = 0xFF;
    reseal(language, sizeof language);

    MUST(xqova_string_table_new(d, &table) == XQOVA_OK);
    /* A damaged table is refused, with the check that failed and the link table's class. */
    CHECK(xqova_string_table_add_links(table, link, sizeof link, &added, &why) == XQOVA_E_REFUSED && added == 0 &&
          why.check != 0 && why.class_id == kNIBP && strncmp(why.message, "link table at offset 0: ", 24) == 0);
    reseal(link, sizeof link);
    language[12] ^= 1;
    CHECK(xqova_string_table_add_languages(table, language, sizeof language, &added, &why) == XQOVA_E_REFUSED &&
          added == 0 && why.check == 4 && why.offset == 0 && why.class_id == 0xFFFFFFFFu);
    language[12] ^= 1;
    CHECK(xqova_string_table_add_languages(table, language, sizeof language, &added, &why) == XQOVA_OK && added == 1);
    CHECK(xqova_string_table_add_links(table, link, sizeof link, NULL, &why) == XQOVA_OK && why.check == 0);
    CHECK(xqova_string_table_select_language(table, 8) == XQOVA_E_NOT_FOUND &&
          xqova_string_table_select_language(table, 7) == XQOVA_OK);
    /* The dictionary's own names go only into a table that holds none. */
    CHECK(xqova_string_table_add_dictionary_names(table) == XQOVA_E_ARGUMENT);
    MUST(xqova_string_table_new(d, &names) == XQOVA_OK && xqova_string_table_add_dictionary_names(names) == XQOVA_OK);

    MUST(xqova_object_decode(d, kReading, sizeof kReading, &o, NULL) == XQOVA_OK);
    CHECK(xqova_object_attach_string_table(o, table) == XQOVA_OK);
    xqova_string_table_free(table); /* the object keeps it */
    CHECK(xqova_member_name(o, "Systolic", text, sizeof text, &size) == XQOVA_OK && strcmp(text, "Druck") == 0);
    CHECK(xqova_object_class_name(o, text, sizeof text, &size) == XQOVA_OK && strcmp(text, "Druck") == 0);
    CHECK(xqova_object_attach_string_table(o, names) == XQOVA_OK &&
          xqova_member_name(o, "Systolic", text, sizeof text, &size) == XQOVA_OK && strcmp(text, "Systolic") == 0);
    xqova_string_table_free(names);
    CHECK(xqova_object_attach_string_table(o, NULL) == XQOVA_OK &&
          xqova_member_name(o, "Systolic", text, sizeof text, &size) == XQOVA_E_NOT_FOUND && size == 0 &&
          xqova_object_class_name(o, text, sizeof text, &size) == XQOVA_E_NOT_FOUND && size == 0);
    xqova_object_free(o);
}

/* Dictionaries: the built-in sets, and one made from definition bytes. */
static void test_dictionaries(xqova_dictionary* device) {
    const struct { int32_t builtin; uint32_t classes; } rows[] = {
        {XQOVA_BUILTIN_NONE, 0}, {XQOVA_BUILTIN_DEVICE, 40}, {XQOVA_BUILTIN_SDK, 17}, {XQOVA_BUILTIN_ALL, 57}};
    xqova_dictionary* d = NULL;
    xqova_object *o = NULL, *settings = NULL;
    xqova_reason why;
    uint8_t block[1024];
    uint32_t size = 0, count = 0, added = 9;
    char name[16];
    size_t i;

    for (i = 0; i < sizeof rows / sizeof rows[0]; ++i, xqova_dictionary_free(d)) {
        CHECK(xqova_dictionary_new(rows[i].builtin, &d) == XQOVA_OK && xqova_dictionary_class_count(d, &count) == 0 &&
              count == rows[i].classes);
    }

    MUST(xqova_dictionary_definition(device, kNIBP, NULL, 0, &count) == XQOVA_OK &&
         xqova_dictionary_definition(device, kNIBP, block, sizeof block, &size) == XQOVA_OK && size == count);
    MUST(xqova_dictionary_new(XQOVA_BUILTIN_NONE, &d) == XQOVA_OK);
    block[size - 1] ^= 1;
    CHECK(xqova_dictionary_add_definitions(d, block, size, &added, &why) == XQOVA_E_REFUSED && added == 0 &&
          why.check != 0 && why.offset == 0 && why.class_id == kNIBP);
    CHECK(xqova_dictionary_add_definitions(d, block, 3, NULL, &why) == XQOVA_E_REFUSED && why.class_id == 0xFFFFFFFFu);
    block[size - 1] ^= 1;
    CHECK(xqova_dictionary_add_definitions(d, block, size, &added, &why) == XQOVA_OK && added == 1 && why.check == 0);
    /* A block not newer than the one serving its class stops the walk. */
    CHECK(xqova_dictionary_add_definitions(d, block, size, &added, &why) == XQOVA_E_REFUSED && added == 0 &&
          why.check == 0 && why.class_id == kNIBP);
    CHECK(xqova_dictionary_class_count(d, &count) == XQOVA_OK && count == 1);
    CHECK(xqova_object_decode(d, kReading, sizeof kReading, &o, NULL) == XQOVA_OK);
    /* A class added after objects were built gets its names too. */
    MUST(xqova_dictionary_definition(device, kNIBPSettings, block, sizeof block, &size) == XQOVA_OK);
    CHECK(xqova_dictionary_add_definitions(d, block, size, NULL, NULL) == XQOVA_OK);
    CHECK(xqova_object_new(d, kNIBPSettings, 0xFFFF, &settings) == XQOVA_OK &&
          xqova_object_class_name(settings, name, sizeof name, &size) == XQOVA_OK && strcmp(name, "CNIBPCStd") == 0);
    xqova_object_free(settings);
    xqova_dictionary_free(d); /* the object keeps it */
    CHECK(xqova_member_name(o, "HR", name, sizeof name, &size) == XQOVA_OK && strcmp(name, "HR") == 0);
    xqova_object_free(o);
}

#ifdef XQOVA_TEST_JSON
/* An object through JSON and back; a class of the host's own from its JSON
 * definition, with a member class named from the dictionary (a wrong type
 * word is refused at its place). */
static void test_json(xqova_dictionary* d) {
    static const char kClass[] =
        "{\"name\": \"CHostDStd\", \"identifier\": \"0x00C80000\", \"members\": ["
        "{\"name\": \"Level\", \"type\": \"uint16\"}, {\"name\": \"Reading\", \"type\": \"object CNIBPDStd\"},"
        "{\"name\": \"Gain\", \"type\": \"float32\"}, {\"name\": \"Gains\", \"type\": \"float32[2]\"},"
        "{\"name\": \"Ratio\", \"type\": \"float64\"}, {\"name\": \"Big\", \"type\": \"int64\"},"
        "{\"name\": \"Flags\", \"type\": \"bitmask uint8\"}, {\"name\": \"Samples\", \"type\": \"int16[3]\"},"
        "{\"name\": \"Note\", \"type\": \"ansichar[UNBOUNDED]\"}, {\"name\": \"Code\", \"type\": \"ansichar[4]\"},"
        "{\"name\": \"Wide\", \"type\": \"widechar[4]\"}]}";
    static const char kZeros[65534]; /* the longest text an UNBOUNDED member takes, its terminator added */
    char wrong[sizeof kClass], doc[400], code[8], *text = NULL, *at = NULL;
    xqova_object *o = NULL, *back = NULL;
    xqova_reason why;
    uint32_t needed = 0, size = 0, added = 9, i;
    int64_t integer = 0;
    double gain = 0, ratio = 0;

    MUST(xqova_object_decode(d, kReading, sizeof kReading, &o, NULL) == XQOVA_OK);
    MUST(xqova_object_to_json(o, -1, NULL, 0, &needed) == XQOVA_OK && (text = (char*)malloc(needed)) != NULL);
    CHECK(xqova_object_to_json(o, -9, text, needed, &size) == XQOVA_OK && strlen(text) == needed - 1 &&
          strchr(text, '\n') == NULL);
    CHECK(xqova_object_from_json(d, text, needed - 1, &back, &why) == XQOVA_OK &&
          xqova_object_encode(back, (uint8_t*)doc, sizeof doc, &size) == XQOVA_OK && size == sizeof kReading &&
          memcmp(doc, kReading, size) == 0 && why.check == 0);
    xqova_object_free(back), back = NULL;
    MUST((at = strstr(text, "\"Systolic\"")) != NULL);
    /* No member named TAB, backslash, e-acute (UTF-8), DEL, tilde: the reason shows all but the tilde as \xHH. */
    memcpy(at + 1, "\\t\\\\\xC3\xA9\x7F~", 8);
    CHECK(xqova_object_from_json(d, text, needed - 1, &back, &why) == XQOVA_E_REFUSED && back == NULL &&
          !strncmp(why.path, "/members", 8) && strstr(why.message, "member \"\\x09\\x5C\\xC3\\xA9\\x7F~\"") != NULL);
    /* A path and a message longer than the reason holds are cut to fit. */
    snprintf(doc, sizeof doc, "{\"classId\": \"0x00050000\", \"version\": 105, \"members\": {\"%0300d\": 1}}", 0);
    CHECK(xqova_object_from_json(d, doc, (uint32_t)strlen(doc), &back, &why) == XQOVA_E_REFUSED && why.check == 1 &&
          why.class_id == 0xFFFFFFFFu && strlen(why.path) == 255 && !strcmp(why.message, xqova_last_error()) &&
          strlen(why.message) == 255);
    free(text);
    xqova_object_free(o);

    memcpy(wrong, kClass, sizeof kClass), memcpy(strstr(wrong, "uint16"), "uint17", 6);
    CHECK(xqova_dictionary_add_definitions_json(d, wrong, sizeof wrong - 1, &added, &why) == XQOVA_E_REFUSED &&
          added == 0 && strcmp(why.path, "/members/0/type") == 0);
    CHECK(xqova_dictionary_add_definitions_json(d, kClass, sizeof kClass - 1, &added, &why) == XQOVA_OK && added == 1 &&
          xqova_last_error()[0] == '\0'); /* a success clears the refusal's words */
    MUST(xqova_object_new(d, 0x00C80000u, 0xFFFF, &o) == XQOVA_OK);
    {
        /* Each kind of member takes what fits it; the largest 32-bit float is in range. */
        const status_row rows[] = {
            ROW(member_set_number(o, "Gain", 3.4028234663852886e38), OK), ROW(member_set_text(o, "Code", "abc", 3), OK),
            ROW(member_set_integer(o, "Reading.Systolic", 118), OK), ROW(member_set_number(o, "Gain", 3.5e38), E_RANGE),
            ROW(member_set_text(o, "Note", kClass, 65535), E_RANGE), ROW(member_set_text(o, "Code[1]", "a", 1), E_KIND),
            ROW(member_set_integer(o, "Samples[1]", 1), E_KIND), ROW(member_set_text(o, "Code", "abcd", 4), E_RANGE),
            ROW(member_set_integer(o, "Flags", 256), E_RANGE), ROW(member_set_number(o, "Ratio", -HUGE_VAL), OK),
            ROW(member_set_integer(o, "Samples", 1), E_KIND), ROW(member_set_number(o, "Gains[0]", 1), E_KIND),
            ROW(member_set_text(o, "Wide", "a", 1), E_KIND), ROW(member_set_integer(o, "Flags", 255), OK),
            ROW(member_set_integer(o, "Big", 1), E_KIND), ROW(member_set_text(o, "Note", kZeros, 65534), OK),
        };
        CHECK_ROWS(rows);
    }
    CHECK(xqova_member_integer(o, "Reading.Systolic", &integer) == XQOVA_OK && integer == 118 &&
          xqova_member_integer(o, "Flags", &integer) == XQOVA_OK && integer == 255 &&
          xqova_member_number(o, "Gain", &gain) == XQOVA_OK && gain == 3.4028234663852886e38 &&
          xqova_member_number(o, "Ratio", &ratio) == XQOVA_OK && ratio == -HUGE_VAL &&
          xqova_member_text(o, "Code", code, sizeof code, &size) == XQOVA_OK && strcmp(code, "abc") == 0);
    xqova_object_free(o);
}
#endif

int main(void) {
    xqova_dictionary* device = NULL;
    test_count_allocations();
    test_library_and_arguments();
    if (xqova_dictionary_new(XQOVA_BUILTIN_DEVICE, &device) != XQOVA_OK) return printf("no device dictionary\n"), 1;
    test_decode_read_encode(device);
    test_record(device);
    test_frames();
    test_string_tables(device);
    test_dictionaries(device);
#ifdef XQOVA_TEST_JSON
    test_json(device); /* last: adds a class to the device dictionary */
#endif
    xqova_dictionary_free(device);
    CHECK(test_live_allocations() == 0);
    printf("%s: %d failed checks\n", failures ? "FAILED" : "passed", failures);
    return failures ? 1 : 0;
}
