# Encrypts every plain data set in data/ into the working folder's input/, as
# the program reads them only in their ".enc" form.
file(GLOB ZELK_PLAIN_DATA_SETS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/*.xml)
set(ZELK_ENCRYPTED_DATA_SETS "")
foreach(plain IN LISTS ZELK_PLAIN_DATA_SETS)
  get_filename_component(stem ${plain} NAME_WE)
  set(enc ${ZELK_RUN_DIR}/input/${stem}.enc)
  add_custom_command(OUTPUT ${enc}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ZELK_RUN_DIR}/input
    # The bare target name lets a cross build run the tool through its emulator.
    COMMAND zelk_encrypt ${plain} ${enc}
    DEPENDS zelk_encrypt ${plain}
    COMMENT "Encrypting data set ${stem}"
    VERBATIM)
  list(APPEND ZELK_ENCRYPTED_DATA_SETS ${enc})
endforeach()
add_custom_target(zelk_data_sets ALL DEPENDS ${ZELK_ENCRYPTED_DATA_SETS})
