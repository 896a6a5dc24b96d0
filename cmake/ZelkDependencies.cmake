# Third-party libraries, found the same way natively and in the mingw prefix.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(fmt REQUIRED)
find_package(pugixml REQUIRED)
find_package(CURL REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(Microsoft.GSL QUIET)
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)

add_library(zelk_deps INTERFACE)
target_link_libraries(zelk_deps INTERFACE
  fmt::fmt pugixml::pugixml CURL::libcurl nlohmann_json::nlohmann_json
  PkgConfig::SODIUM PkgConfig::LIBZIP Threads::Threads)
if(TARGET Microsoft.GSL::GSL)
  target_link_libraries(zelk_deps INTERFACE Microsoft.GSL::GSL)
endif()
if(WIN32)
  target_link_libraries(zelk_deps INTERFACE ws2_32 shell32 ole32 uuid winmm advapi32 version)
endif()
