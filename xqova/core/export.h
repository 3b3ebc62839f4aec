// Symbol export control for the xqova library.
//
// The library's sources are compiled once and packed both into the static
// library and into the shared library (a DLL on Windows). XQOVA_API marks the
// public classes and functions:
//   - while building the library (XQOVA_BUILDING), it exports them: dllexport on
//     Windows, default visibility on ELF, where everything else stays hidden;
//   - for users of the static library (XQOVA_STATIC), it expands to nothing;
//   - for users of the shared library on Windows, it imports them.
#ifndef XQOVA_CORE_EXPORT_H
#define XQOVA_CORE_EXPORT_H

#if defined(_WIN32) || defined(__CYGWIN__)
#  if defined(XQOVA_BUILDING)
#    define XQOVA_API __declspec(dllexport)
#  elif defined(XQOVA_STATIC)
#    define XQOVA_API
#  else
#    define XQOVA_API __declspec(dllimport)
#  endif
#else
#  if defined(XQOVA_BUILDING) || defined(XQOVA_STATIC)
#    define XQOVA_API __attribute__((visibility("default")))
#  else
#    define XQOVA_API
#  endif
#endif

#endif
