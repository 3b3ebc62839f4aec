/* Objects as JSON documents and back, from C: part of the JSON component.
 *
 * These functions live in the JSON component's library (xqova_json, or the
 * shared xqova_json beside the shared xqova), not in the core library: a C
 * host that uses them links both, e.g. `-lxqova_json -lxqova`. The documents
 * are those of xqova/json/json.h; handles, status codes and the reason
 * record are those of xqova/c/xqova_c.h. */
#ifndef XQOVA_C_XQOVA_JSON_C_H
#define XQOVA_C_XQOVA_JSON_C_H

#include "xqova/c/xqova_c.h"

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(XQOVA_JSON_BUILDING)
#    define XQOVA_JSON_C_API __declspec(dllexport)
#  elif defined(XQOVA_STATIC)
#    define XQOVA_JSON_C_API
#  else
#    define XQOVA_JSON_C_API __declspec(dllimport)
#  endif
#else
#  define XQOVA_JSON_C_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The object as a JSON document (UTF-8, zero-terminated); `indent` below 0
 * writes it on one line. */
XQOVA_JSON_C_API xqova_status XQOVA_CALL xqova_object_to_json(xqova_object* object, int32_t indent, char* buffer,
                                                              uint32_t capacity, uint32_t* size);
/* A new object from a document of that form, on the dictionary. A refused
 * document is XQOVA_E_REFUSED: the reason's path is the JSON pointer of the
 * place at fault, its message what is wrong there. */
XQOVA_JSON_C_API xqova_status XQOVA_CALL xqova_object_from_json(xqova_dictionary* dictionary, const char* text,
                                                                uint32_t length, xqova_object** object,
                                                                xqova_reason* reason);
/* Compiles a JSON definition document (one class, or a list under "classes";
 * the form `qova defs dump` writes) and adds its blocks to the dictionary, as
 * xqova_dictionary_add_definitions adds blocks. Member classes the document
 * does not describe are named from the dictionary. A refused document is
 * XQOVA_E_REFUSED with the JSON pointer of the place at fault as the reason's
 * path; nothing is added then. `added` (may be null) gets the number of
 * classes added. */
XQOVA_JSON_C_API xqova_status XQOVA_CALL xqova_dictionary_add_definitions_json(xqova_dictionary* dictionary,
                                                                               const char* text, uint32_t length,
                                                                               uint32_t* added, xqova_reason* reason);

#ifdef __cplusplus
}
#endif

#endif
