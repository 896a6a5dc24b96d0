function(zelk_compile_options)
  add_compile_options(-Wall -Wextra -Wpedantic)
  if(ZELK_WERROR)
    add_compile_options(-Werror)
  endif()
  if(ZELK_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(WIN32)
    add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  endif()
endfunction()

# Each subsystem folder becomes one static library of the sources it holds.
# The subsystems call each other in both directions (traffic <-> ground,
# traffic <-> simlink), so every library links all the others; CMake repeats
# static libraries in cycles as the linker needs.
set(ZELK_SUBSYSTEMS core app traffic ground simlink feed liveries airports gui update)
