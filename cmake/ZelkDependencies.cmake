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
if(WIN32 AND ZLIB_USE_STATIC_LIBS)
  # libzip's .pc names -lz, which find_library resolves to the import library
  # libz.dll.a, while curl links the static libz.a: a program with both gets
  # every zlib symbol twice. libzip takes the static zlib as well.
  find_package(ZLIB REQUIRED)
  get_target_property(_zelk_zip_libs PkgConfig::LIBZIP INTERFACE_LINK_LIBRARIES)
  list(TRANSFORM _zelk_zip_libs REPLACE "^.*/libz\\.dll\\.a$" "ZLIB::ZLIB")
  set_target_properties(PkgConfig::LIBZIP PROPERTIES INTERFACE_LINK_LIBRARIES "${_zelk_zip_libs}")
endif()

# What a subsystem names after USES in zelk_add_subsystem, and the targets it links.
set(ZELK_USES_fmt fmt::fmt)
set(ZELK_USES_pugixml pugixml::pugixml)
set(ZELK_USES_curl CURL::libcurl)
set(ZELK_USES_json nlohmann_json::nlohmann_json)
set(ZELK_USES_sodium PkgConfig::SODIUM)
set(ZELK_USES_zip PkgConfig::LIBZIP)
set(ZELK_USES_gsl "")
if(TARGET Microsoft.GSL::GSL)
  set(ZELK_USES_gsl Microsoft.GSL::GSL)
endif()
# The Windows libraries only the platform layer calls.
set(ZELK_PLATFORM_SYSTEM_LIBS "")
if(WIN32)
  set(ZELK_PLATFORM_SYSTEM_LIBS ws2_32 shell32 ole32 uuid winmm advapi32 version user32 gdi32)
endif()

# Everything at once, for the tests and tools (not for the program's libraries).
add_library(zelk_deps INTERFACE)
target_link_libraries(zelk_deps INTERFACE
  fmt::fmt pugixml::pugixml CURL::libcurl nlohmann_json::nlohmann_json
  PkgConfig::SODIUM PkgConfig::LIBZIP Threads::Threads)
if(TARGET Microsoft.GSL::GSL)
  target_link_libraries(zelk_deps INTERFACE Microsoft.GSL::GSL)
endif()
target_link_libraries(zelk_deps INTERFACE ${ZELK_PLATFORM_SYSTEM_LIBS})
