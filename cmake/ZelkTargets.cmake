function(zelk_compile_options)
  add_compile_options(-Wall -Wextra -Wpedantic)
  if(ZELK_WERROR)
    add_compile_options(-Werror)
  endif()
  if(ZELK_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(ZELK_FUZZ)
    # Coverage for libFuzzer in every library; the targets add the fuzzer's main.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(ZELK_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
  endif()
  if(WIN32)
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  endif()
endfunction()

# The subsystems, bottom first: each may use only those before it (platform is
# built on its own below all of them). scripts/check-layers.sh holds the same
# order and docs/ARCHITECTURE.md explains it.
set(ZELK_SUBSYSTEMS core simlink gui update liveries airports traffic ground feed app)

# One static library of a subsystem folder's sources (its win32/ folder only
# for Windows), linked to exactly the libraries it uses: PUBLIC for those its
# headers include, PRIVATE for those only its sources do. A folder without
# sources makes no library. scripts/check-layers.sh compares these lists with
# the includes. After USES come the third-party libraries its files include
# (fmt, pugixml, curl, json, sodium, zip, gsl; see ZelkDependencies.cmake).
#   zelk_add_subsystem(<name> [PUBLIC <subsystem>...] [PRIVATE <subsystem>...] [USES <library>...])
function(zelk_add_subsystem name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "PUBLIC;PRIVATE;USES")
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/win32/")
  if(WIN32)
    file(GLOB_RECURSE winsrcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/win32/*.cpp)
    list(APPEND srcs ${winsrcs})
  endif()
  # The entry points belong to the program, not to a library.
  list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/app/main.cpp ${CMAKE_CURRENT_SOURCE_DIR}/gui/win32/WinMain.cpp)
  if(NOT srcs)
    return()
  endif()
  add_library(zelk_${name} STATIC ${srcs})
  target_include_directories(zelk_${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}
                             ${CMAKE_CURRENT_BINARY_DIR}/generated)
  list(TRANSFORM ARG_PUBLIC PREPEND zelk_)
  list(TRANSFORM ARG_PRIVATE PREPEND zelk_)
  set(uses "")
  foreach(library IN LISTS ARG_USES)
    if(NOT DEFINED ZELK_USES_${library})
      message(FATAL_ERROR "zelk_add_subsystem(${name}): unknown third-party library '${library}'")
    endif()
    list(APPEND uses ${ZELK_USES_${library}})
  endforeach()
  target_link_libraries(zelk_${name} PUBLIC ${uses} ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  if(TARGET zelk_check_layers)
    add_dependencies(zelk_${name} zelk_check_layers)
  endif()
  set_property(GLOBAL APPEND PROPERTY ZELK_LIBS zelk_${name})
endfunction()
