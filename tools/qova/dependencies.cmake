# qova and its tests use CLI11 and nlohmann-json (both header-only) and are
# built only for the machine that builds: cross builds (32-bit Linux,
# Windows) configure without them. Sets XQOVA_QOVA_ENABLED.
set(XQOVA_QOVA_ENABLED OFF)
if(XQOVA_BUILD_TOOLS AND NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG QUIET)
  find_package(nlohmann_json 3 CONFIG QUIET)
  if(CLI11_FOUND AND nlohmann_json_FOUND)
    set(XQOVA_QOVA_ENABLED ON)
  endif()
endif()
