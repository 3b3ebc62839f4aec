// The two built-in dictionaries.
//
// Each function hands out the first node of a chain of TableEntry_s nodes,
// one per built-in class, for the CXQOVADictionary constructor:
//
//   CXQOVADictionary dictionary(RER_KLEV_ZENTO::Dictionary());
//
// The chain and its definition blocks are built and checksummed on the first
// call and live as long as the library; every later call returns the same
// address and changes nothing. No dictionary ever frees them.
#ifndef XQOVA_BUILTIN_BUILTIN_H
#define XQOVA_BUILTIN_BUILTIN_H

#include "xqova/core/export.h"

class CXQOVADictionary;

namespace RER_SDK {
// The base dictionary, 17 classes: flash and data transfer, file system,
// numeric values with their limits and alarm states, vitals and trend record.
XQOVA_API void* Dictionary();
}  // namespace RER_SDK

namespace RER_KLEV_ZENTO {
// The device dictionary, 40 classes: user interface, device, modules, the
// measurements (NIBP, temperature, SpO2, weight, height, BMI, respiration,
// pain), clinician, patient, the combined record, records, battery, printer,
// errors and network.
XQOVA_API void* Dictionary();
}  // namespace RER_KLEV_ZENTO

namespace xqova {
// Adds every class of the base dictionary to `dictionary`, which is normally
// built on the device dictionary; the two serve different classes, so one
// dictionary then knows all 57. Returns the first base block the dictionary
// refused (say, a class it already serves at a newer version), or null when
// every block went in.
XQOVA_API const void* AddBaseClasses(CXQOVADictionary& dictionary);

// One dictionary, built on first use and kept as long as the library, that
// knows every built-in class: the device dictionary with the base classes
// added. Lookups may come from many threads at once; nothing may add to it
// (build your own with AddBaseClasses for that).
XQOVA_API CXQOVADictionary& AllBuiltinClasses();
}  // namespace xqova

#endif
