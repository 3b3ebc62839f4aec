# qova and its tests use CLI11 and nlohmann-json (both header-only). Native
# builds find them as installed packages. Cross builds (Windows) build the
# tool only when XQOVA_QOVA_HEADERS names a directory holding CLI/ and
# nlohmann/ alone (the machine's /usr/include cannot be put on a cross
# compiler's path); their tool tests are not run. Sets XQOVA_QOVA_ENABLED.
set(XQOVA_QOVA_ENABLED OFF)
set(XQOVA_QOVA_HEADERS "" CACHE PATH "Cross builds: a directory with the CLI/ and nlohmann/ headers, to build qova")
if(XQOVA_BUILD_TOOLS AND NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG QUIET)
  find_package(nlohmann_json 3 CONFIG QUIET)
  if(CLI11_FOUND AND nlohmann_json_FOUND)
    set(XQOVA_QOVA_ENABLED ON)
  endif()
elseif(XQOVA_BUILD_TOOLS AND XQOVA_QOVA_HEADERS AND EXISTS "${XQOVA_QOVA_HEADERS}/CLI/CLI.hpp"
       AND EXISTS "${XQOVA_QOVA_HEADERS}/nlohmann/json.hpp")
  foreach(dependency CLI11::CLI11 nlohmann_json::nlohmann_json)
    if(NOT TARGET ${dependency})
      add_library(${dependency} INTERFACE IMPORTED GLOBAL)
      set_target_properties(${dependency} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${XQOVA_QOVA_HEADERS}")
    endif()
  endforeach()
  set(XQOVA_QOVA_ENABLED ON)
endif()
