// Objects as JSON documents and back: the optional component xqova::json.
//
// A document holds an object's class (name and identifier), version, valid
// and dirty flags and every member present at its version, the base-class
// members first, by name:
//
//   {"class": "CNIBPDStd", "classId": "0x00050000", "speciesName": "SpSTANDARD",
//    "version": 105, "valid": true, "dirty": false,
//    "members": {"Systolic": {"type": "int16", "value": 120},
//                "Mode": {"type": "uint8", "value": 11, "enumerator": "MODE_NEONATAL"},
//                "StatusBits": {"type": "uint16 BITMASK", "value": 3, "bits": [...]},
//                "NIBPData": {"type": "OBJECT of CNIBPDStd", "value": {...a nested document...}},
//                "Container": {"type": "OBJECT UNBOUNDED of ANY_CLASS", "value": [{...}, {...}]}}}
//
// The value is the authority; "enumerator" and "bits" name it for people
// and may be given instead of a value when reading ("bits" lists every set
// bit, by name, or as its value "0x0040" when it has none); "type" is for
// people too, and when given it must be the member's. A number member with
// units or a scale has "physical" (value x coefficient x 10^exponent) and
// "units" (its units code) beside its value: for people as well, and when
// given they must be what the value gives. A TIME string must be a date of
// the calendar (day within its month) and a time of day. Floats are written as
// the shortest decimal that reads back as the same number; the non-finite
// ones as the strings "NaN", "Infinity" and "-Infinity". TIME values are
// "YYYY/MM/DD hh:mm:ss ff" when their fields lie in the calendar (or the
// record is all zero) and an object of the seven fields otherwise. Texts are
// strings (8-bit characters as the code points U+0000 to U+00FF); a 16-bit
// text holding an unpaired surrogate is an array of its code units.
//
// Reading checks every value against its member and stops at the first
// fault, with the JSON pointer of the place and the reason. This header does
// not depend on the JSON library the component is built with.
#ifndef XQOVA_JSON_JSON_H
#define XQOVA_JSON_JSON_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "xqova/core/limits.h"
#include "xqova/core/types.h"

class CXQOVADictionary;
class CXQOVAObject;

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(XQOVA_JSON_BUILDING)
#    define XQOVA_JSON_API __declspec(dllexport)
#  elif defined(XQOVA_STATIC)
#    define XQOVA_JSON_API
#  else
#    define XQOVA_JSON_API __declspec(dllimport)
#  endif
#else
#  define XQOVA_JSON_API __attribute__((visibility("default")))
#endif

namespace xqova {

// Bounds on what one ObjectFromJson call reads and builds.
struct JsonLimits {
    std::size_t maxInputBytes = std::size_t{16} << 20;  // longer input is refused before parsing
    unsigned maxDepth = 4 * kMaxNestingDepth + 8;       // nesting of JSON arrays and objects
    std::uint32_t maxObjects = kDefaultObjectBudget;    // objects built, nested ones and elements included
    // Refuse a value that its member's names do not cover: an enumerated
    // member's value outside its enumeration, a bitmask's set bit without a
    // name. Off, every value the member's type holds is taken (documents of
    // ObjectToJson always read back).
    bool refuseUnnamed = false;
};

// Why a document was refused: `path` is the JSON pointer of the place at
// fault ("" for the document itself), `reason` says what is wrong.
struct JsonError {
    std::string path;
    std::string reason;
    bool unnamedValue = false;  // refused under JsonLimits::refuseUnnamed
    explicit operator bool() const { return !reason.empty(); }
    // "at /members/Mode/value: 99 is not ..." or the reason alone.
    std::string Text() const { return path.empty() ? reason : "at " + path + ": " + reason; }
};

// The object as a JSON document; `indent` < 0 writes it on one line. Empty
// when memory runs out.
XQOVA_JSON_API std::string ObjectToJson(CXQOVAObject& object, int indent = 2);

// A new object built in `dictionary` from a document of ObjectToJson's
// form; null with `error` (when given) filled when the text is refused.
XQOVA_JSON_API std::unique_ptr<CXQOVAObject> ObjectFromJson(CXQOVADictionary* dictionary, const char* text,
                                                            std::size_t length, JsonError* error,
                                                            const JsonLimits& limits = JsonLimits());

// Why a time is not a date of the (Gregorian) calendar with a time of day
// and a two-digit fraction ("day 30 is not 1 to 29 (month 2 of 2024)");
// empty when it is. Such times are written as strings, others as objects.
XQOVA_JSON_API std::string TimeFault(const QOVA_TIME& time);

}  // namespace xqova

#endif
