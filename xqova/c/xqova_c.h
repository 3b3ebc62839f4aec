/* xqova from C, and from any language that calls C functions in a DLL or
 * shared library (C#, Delphi, VB, Python ctypes).
 *
 * Plain C (C89 with <stdint.h>, C99, C++): opaque handles, fixed-size
 * integers, UTF-8 texts as const char*, byte buffers as pointer and length.
 * Every function uses the C calling convention (cdecl), so the 32-bit DLL
 * exports each one under its plain name.
 *
 * Status. Every function but xqova_version, xqova_last_error,
 * xqova_status_name and the _free functions returns an xqova_status:
 * XQOVA_OK (0) or one of the XQOVA_E_* codes. After a failure,
 * xqova_last_error() gives a message for people; the message is kept per
 * thread and lasts until the next call of this interface on the same
 * thread. No C++ exception crosses this interface; a failure to allocate
 * memory is XQOVA_E_NO_MEMORY.
 *
 * Buffers. A function that writes into a caller's buffer takes its capacity
 * and a `size` out-parameter, which always receives the size the whole
 * result needs. A null buffer with capacity 0 asks for that size alone
 * (XQOVA_OK); a buffer that is too small gets nothing and the call returns
 * XQOVA_E_BUFFER_TOO_SMALL. Texts are terminated by a zero, counted in the
 * size.
 *
 * Ownership. Each handle has its free function; freeing null does nothing.
 * Dictionaries and string tables are counted: an object keeps the dictionary
 * it was built on and the string table attached to it, so they may be freed
 * in any order. Texts that the interface hands out as const char* (versions,
 * names of codes, xqova_last_error) are the library's and are not freed.
 *
 * Threads. A dictionary with all its definitions added, and a string table
 * with all its tables, may be shared by threads that build, decode and read
 * objects at once. An object, a string table being filled and a stream
 * reader belong to one thread at a time.
 *
 * Sizes are 32-bit: one input or output of this interface is at most
 * 4 GiB - 1 bytes. The JSON functions are in xqova/c/xqova_json_c.h, in the
 * JSON component's library. */
#ifndef XQOVA_C_XQOVA_C_H
#define XQOVA_C_XQOVA_C_H

#include <stdint.h>

/* XQOVA_C_API exports the functions from the library (XQOVA_BUILDING),
 * leaves them plain for users of the static library (XQOVA_STATIC) and
 * imports them from the DLL otherwise. */
#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(XQOVA_BUILDING)
#    define XQOVA_C_API __declspec(dllexport)
#  elif defined(XQOVA_STATIC)
#    define XQOVA_C_API
#  else
#    define XQOVA_C_API __declspec(dllimport)
#  endif
#  define XQOVA_CALL __cdecl
#else
#  if defined(XQOVA_BUILDING)
#    define XQOVA_C_API __attribute__((visibility("default")))
#  else
#    define XQOVA_C_API
#  endif
#  define XQOVA_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t xqova_status;

enum {
    XQOVA_OK = 0,
    XQOVA_E_ARGUMENT = 1,          /* a null pointer, or a value outside what the call takes */
    XQOVA_E_NO_MEMORY = 2,         /* memory, or the budget of objects and bytes, ran out */
    XQOVA_E_BUFFER_TOO_SMALL = 3,  /* nothing written; `size` says what is needed */
    XQOVA_E_REFUSED = 4,           /* input bytes refused; the reason says why */
    XQOVA_E_NOT_FOUND = 5,         /* no member at that path, no definition of that class */
    XQOVA_E_KIND = 6,              /* the member holds another kind of value than the call reads or writes */
    XQOVA_E_RANGE = 7,             /* the value does not fit the member */
    XQOVA_E_INTERNAL = 8           /* an unexpected failure inside the library */
};

/* What a member holds. */
enum {
    XQOVA_KIND_NO_MEMBER = 0,
    XQOVA_KIND_SIGNED = 1,
    XQOVA_KIND_UNSIGNED = 2,
    XQOVA_KIND_FLOAT = 3,
    XQOVA_KIND_TEXT = 4,
    XQOVA_KIND_BITMASK = 5,
    XQOVA_KIND_TIME = 6,
    XQOVA_KIND_OBJECT = 7,
    XQOVA_KIND_VECTOR = 8,
    XQOVA_KIND_BASE = 9,
    XQOVA_KIND_UNKNOWN = 10
};

/* Why an object encoding was refused (xqova_reason.check of a decode). */
enum {
    XQOVA_DECODE_HEADER = 1,         /* too short for its header */
    XQOVA_DECODE_LENGTH = 2,         /* stated length beyond the input */
    XQOVA_DECODE_TOO_SMALL = 3,      /* stated length below the smallest encoding */
    XQOVA_DECODE_CHECKSUM = 4,       /* checksum mismatch */
    XQOVA_DECODE_UNKNOWN_CLASS = 5,  /* no definition serves the class */
    XQOVA_DECODE_NEWER_VERSION = 6,  /* newer than the object reads */
    XQOVA_DECODE_FIXED_SECTION = 7,  /* fixed section of the wrong size */
    XQOVA_DECODE_MEMBER_DATA = 8,    /* member data running past the encoding */
    XQOVA_DECODE_NESTED_SIZE = 9,    /* nested size disagrees with the nested encoding */
    XQOVA_DECODE_NESTED_CLASS = 10,  /* nested class disagrees with its member */
    XQOVA_DECODE_VECTOR_COUNT = 11,  /* fixed-count vector with another count */
    XQOVA_DECODE_LAYOUT = 12,        /* bytes that belong to no member */
    XQOVA_DECODE_TOO_DEEP = 13,      /* nested deeper than objects may nest */
    XQOVA_DECODE_OUT_OF_MEMORY = 14  /* memory or the budget ran out */
};

/* Why a frame was refused (xqova_reason.check of a frame call). */
enum {
    XQOVA_FRAME_HEADER = 1,     /* too short for its header */
    XQOVA_FRAME_LENGTH = 2,     /* stated size beyond the input */
    XQOVA_FRAME_TOO_SMALL = 4,  /* payload too short for its checksum */
    XQOVA_FRAME_CHECKSUM = 5    /* checksum mismatch */
};

/* The built-in dictionaries a new dictionary starts from. */
enum {
    XQOVA_BUILTIN_NONE = 0,    /* no class: only the definitions added */
    XQOVA_BUILTIN_DEVICE = 1,  /* the 40 device classes */
    XQOVA_BUILTIN_SDK = 2,     /* the 17 general (SDK) classes */
    XQOVA_BUILTIN_ALL = 3      /* both, 57 classes */
};

/* What the stream reader found (xqova_stream_reader_next). */
enum {
    XQOVA_STREAM_NEED_MORE = 0,  /* no complete frame buffered: feed more bytes */
    XQOVA_STREAM_FRAME = 1,      /* a frame whose checksum holds was copied out */
    XQOVA_STREAM_CORRUPT = 2     /* a complete candidate failed its checksum; its first byte was dropped */
};

/* Why bytes were refused: filled by the calls that take one (null allowed)
 * whenever they return XQOVA_E_REFUSED, and emptied (check 0) otherwise.
 * A plain record of fixed size (528 bytes). */
typedef struct xqova_reason {
    int32_t check;      /* the XQOVA_DECODE_* or XQOVA_FRAME_* code; for definition blocks and
                           string tables the number of the check they failed (0 for a block not
                           newer than the one serving its class); 1 for a JSON document */
    uint32_t offset;    /* where the part at fault starts in the input (the nested encoding, frame,
                           block or table) */
    uint32_t at;        /* where the failing field starts in the input */
    uint32_t class_id;  /* the class of the part at fault; 0xFFFFFFFF when it was not read */
    char path[256];     /* the member path to the part at fault ("NIBPData", "Readings[2]"); for JSON
                           the JSON pointer of the place; empty for the outermost */
    char message[256];  /* the reason for people: printable ASCII, cut to fit */
} xqova_reason;

/* A time stamp: year, month, day, hour, minute, second, and a two-digit
 * fraction carried as is. 8 bytes. */
typedef struct xqova_time {
    uint16_t year;
    uint8_t month, day, hour, minute, second, fraction;
} xqova_time;

typedef struct xqova_dictionary xqova_dictionary;
typedef struct xqova_object xqova_object;
typedef struct xqova_string_table xqova_string_table;
typedef struct xqova_stream_reader xqova_stream_reader;

/* ---- The library --------------------------------------------------- */

/* "0.1.0": the library's version. */
XQOVA_C_API const char* XQOVA_CALL xqova_version(void);
/* The message of the last failure of a call on this thread ("" after a
 * success); valid until the next call of this interface on the thread. */
XQOVA_C_API const char* XQOVA_CALL xqova_last_error(void);
/* A short name of a status code ("buffer too small"). */
XQOVA_C_API const char* XQOVA_CALL xqova_status_name(xqova_status status);
/* The 16-bit checksum that ends every encoding, frame, block and table. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_checksum(const uint8_t* bytes, uint32_t length, uint16_t* checksum);

/* ---- Dictionaries -------------------------------------------------- */

/* A new dictionary on one of the built-in sets (XQOVA_BUILTIN_*). */
XQOVA_C_API xqova_status XQOVA_CALL xqova_dictionary_new(int32_t builtin, xqova_dictionary** dictionary);
/* Adds the definition blocks lying back to back in `length` bytes; `added`
 * (null allowed) receives how many went in. A damaged block, or one not newer
 * than the definition serving its class, stops the walk: XQOVA_E_REFUSED,
 * the blocks before it stay added. Not while other threads use the dictionary. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_dictionary_add_definitions(xqova_dictionary* dictionary, const uint8_t* bytes,
                                                                   uint32_t length, uint32_t* added,
                                                                   xqova_reason* reason);
/* A copy of the definition block that serves a class (to hand to another
 * dictionary); XQOVA_E_NOT_FOUND when none does. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_dictionary_definition(const xqova_dictionary* dictionary, uint32_t class_id,
                                                               uint8_t* buffer, uint32_t capacity, uint32_t* size);
/* The number of classes the dictionary serves. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_dictionary_class_count(const xqova_dictionary* dictionary, uint32_t* count);
XQOVA_C_API void XQOVA_CALL xqova_dictionary_free(xqova_dictionary* dictionary);

/* ---- Objects ------------------------------------------------------- */

/* Builds an object from the encoding at the start of `bytes` and decodes it
 * strictly: the whole record, every nested object included, or
 * XQOVA_E_REFUSED with the reason (XQOVA_E_NO_MEMORY when memory or the
 * budget ran out). The object carries the English names the dictionary's
 * definitions give (xqova_member_name). */
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_decode(xqova_dictionary* dictionary, const uint8_t* bytes,
                                                      uint32_t length, xqova_object** object, xqova_reason* reason);
/* A new object of a class at a version (0xFFFF: the newest), members zero.
 * XQOVA_E_NOT_FOUND when the dictionary does not serve the class. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_new(xqova_dictionary* dictionary, uint32_t class_id, uint16_t version,
                                                   xqova_object** object);
XQOVA_C_API void XQOVA_CALL xqova_object_free(xqova_object* object);

/* The class identifier and version of the object. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_class(const xqova_object* object, uint32_t* class_id,
                                                     uint16_t* version);
/* The class's name in the attached string table's language ("CNIBPDStd");
 * XQOVA_E_NOT_FOUND when the table has none. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_class_name(const xqova_object* object, char* buffer,
                                                          uint32_t capacity, uint32_t* size);
/* The members the object holds at its version, inherited ones first, then
 * its own in definition order: how many, and the definition's name of the
 * one at `index` of that listing (a path the member functions take).
 * XQOVA_E_NOT_FOUND past the last. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_member_count(xqova_object* object, uint32_t* count);
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_member_at(xqova_object* object, uint32_t index, char* buffer,
                                                         uint32_t capacity, uint32_t* size);
/* The binary encoding at the object's version: big-endian, checksummed. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_encode(xqova_object* object, uint8_t* buffer, uint32_t capacity,
                                                      uint32_t* size);
/* The XML document, well-formed for any data: 8-bit (UTF-8) text, `size` in
 * bytes; and UTF-16 in host order, `capacity` and `size` in 16-bit units. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_xml(xqova_object* object, char* buffer, uint32_t capacity,
                                                   uint32_t* size);
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_xml_utf16(xqova_object* object, uint16_t* buffer, uint32_t capacity,
                                                         uint32_t* size);

/* ---- Members by name path ------------------------------------------ */
/* A path goes through nested objects and vectors: "NIBPData.Systolic",
 * "Readings[3].Value", "Samples[2]" (an array element). Names are the
 * definitions' own. A path that finds nothing is XQOVA_E_NOT_FOUND, with the
 * reason in xqova_last_error(); a member of another kind than the call reads
 * is XQOVA_E_KIND. */

XQOVA_C_API xqova_status XQOVA_CALL xqova_member_kind(xqova_object* object, const char* path, int32_t* kind);
/* The member's name in the attached string table's language. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_name(xqova_object* object, const char* path, char* buffer,
                                                    uint32_t capacity, uint32_t* size);
/* Signed, unsigned and bitmask members (not a 64-bit scalar). */
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_integer(xqova_object* object, const char* path, int64_t* value);
/* Integer, bitmask and float members. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_number(xqova_object* object, const char* path, double* value);
/* What xqova_member_number reads as a quantity: value = stored x coefficient
 * x 10^exponent, in the units the units code names (255: none). Any of the
 * out-parameters may be null. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_physical(xqova_object* object, const char* path, double* value,
                                                        double* stored, uint8_t* units, uint16_t* coefficient,
                                                        int8_t* exponent);
/* An 8-bit text member, up to its first zero character. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_text(xqova_object* object, const char* path, char* buffer,
                                                    uint32_t capacity, uint32_t* size);
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_time(xqova_object* object, const char* path, xqova_time* value);

/* Setters of one member (not an array element). The value is checked
 * against the member's type: XQOVA_E_RANGE when it does not fit (an integer
 * outside the member's width, a text longer than a fixed array holds with
 * its terminator). They do not mark the object dirty. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_set_integer(xqova_object* object, const char* path, int64_t value);
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_set_number(xqova_object* object, const char* path, double value);
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_set_text(xqova_object* object, const char* path, const char* text,
                                                        uint32_t length);
XQOVA_C_API xqova_status XQOVA_CALL xqova_member_set_time(xqova_object* object, const char* path,
                                                        const xqova_time* value);

/* ---- String tables ------------------------------------------------- */

/* An empty string table over a dictionary (which it keeps). */
XQOVA_C_API xqova_status XQOVA_CALL xqova_string_table_new(xqova_dictionary* dictionary, xqova_string_table** table);
/* Adds the English names of every class the dictionary's definitions carry,
 * as language 0; only into a table that holds no table yet. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_string_table_add_dictionary_names(xqova_string_table* table);
/* Adds language tables, or link tables, lying back to back in `length`
 * bytes; each is checked before it is stored. A refused one ends the walk
 * (XQOVA_E_REFUSED, the reason's check is the table check's number). */
XQOVA_C_API xqova_status XQOVA_CALL xqova_string_table_add_languages(xqova_string_table* table, const uint8_t* bytes,
                                                                   uint32_t length, uint32_t* added,
                                                                   xqova_reason* reason);
XQOVA_C_API xqova_status XQOVA_CALL xqova_string_table_add_links(xqova_string_table* table, const uint8_t* bytes,
                                                               uint32_t length, uint32_t* added,
                                                               xqova_reason* reason);
/* Makes a language the table's current one: XQOVA_E_NOT_FOUND when it holds
 * no language table of that id. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_string_table_select_language(xqova_string_table* table, uint8_t language);
/* Gives the object and everything in it (nested objects, vector elements)
 * the table, replacing the names it had; null gives them none. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_object_attach_string_table(xqova_object* object, xqova_string_table* table);
XQOVA_C_API void XQOVA_CALL xqova_string_table_free(xqova_string_table* table);

/* ---- Frames -------------------------------------------------------- */
/* A frame: class identifier (4 bytes), payload length (4 bytes for an
 * extended class, else 2), then the payload: version (2), flags (1), size
 * of the fixed part (2), the fixed part, the variable part and the checksum
 * of every byte before it (2). All big-endian. */

/* Checks the frame at the start of `bytes`: its header and stated size fit,
 * its payload holds a checksum and the checksum holds. `frame_size` (null
 * allowed) receives its size. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_frame_check(const uint8_t* bytes, uint32_t length, uint32_t* frame_size,
                                                    xqova_reason* reason);
/* Splits bytes holding frames laid end to end: `sizes` receives the size of
 * each (up to `capacity` of them), `count` how many there are. Each frame is
 * checked; the first refused one, or bytes left over that are no whole
 * frame, end the walk with XQOVA_E_REFUSED (`count` the frames before it).
 * More frames than `capacity` is XQOVA_E_BUFFER_TOO_SMALL. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_frame_split(const uint8_t* bytes, uint32_t length, uint32_t* sizes,
                                                    uint32_t capacity, uint32_t* count, xqova_reason* reason);
/* Writes a frame of the class from its parts; the fixed part is at most
 * 65535 bytes. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_frame_build(uint32_t class_id, uint16_t version, uint8_t flags,
                                                    const uint8_t* fixed, uint32_t fixed_length,
                                                    const uint8_t* variable, uint32_t variable_length,
                                                    uint8_t* buffer, uint32_t capacity, uint32_t* size);

/* A reader of frames out of a byte stream (a serial line, a socket): feed
 * the bytes as they arrive, take the frames whose checksum holds; noise and
 * damaged frames are skipped. `max_frame` (16 to 16 MiB) is the largest
 * frame it finds and the size of its buffer. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_stream_reader_new(uint32_t max_frame, xqova_stream_reader** reader);
/* Buffers as many of the bytes as there is room for; `taken` receives how
 * many. Take frames until XQOVA_STREAM_NEED_MORE, then feed the rest. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_stream_reader_feed(xqova_stream_reader* reader, const uint8_t* bytes,
                                                           uint32_t count, uint32_t* taken);
/* Looks for the next frame: `found` receives an XQOVA_STREAM_* code, and on
 * XQOVA_STREAM_FRAME the frame is in `buffer` (capacity at least max_frame,
 * else XQOVA_E_BUFFER_TOO_SMALL) and its size in `size`. With
 * `end_of_input` nonzero a candidate still waiting for bytes is given up. */
XQOVA_C_API xqova_status XQOVA_CALL xqova_stream_reader_next(xqova_stream_reader* reader, uint8_t* buffer,
                                                           uint32_t capacity, uint32_t* size, int32_t end_of_input,
                                                           int32_t* found);
/* Bytes buffered, bytes dropped as noise, candidates that failed their
 * checksum (null allowed for each). */
XQOVA_C_API xqova_status XQOVA_CALL xqova_stream_reader_counts(const xqova_stream_reader* reader, uint32_t* buffered,
                                                             uint32_t* discarded, uint32_t* corrupt);
XQOVA_C_API void XQOVA_CALL xqova_stream_reader_free(xqova_stream_reader* reader);

#ifdef __cplusplus
}
#endif

#endif
