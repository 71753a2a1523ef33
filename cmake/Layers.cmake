# Every build checks each #include below src/ against the layers' allowed
# dependencies (docs/ARCHITECTURE.md), so a wrong include fails the build even
# where no target links the wrong library (a header used for a type only).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
file(GLOB_RECURSE layered_sources CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/src/*.h ${PROJECT_SOURCE_DIR}/src/*.cpp)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/layers.checked
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check-layers.py
          ${PROJECT_SOURCE_DIR}/src --stamp ${CMAKE_BINARY_DIR}/layers.checked
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/check-layers.py ${layered_sources}
  COMMENT "Checking the includes of src/ against the layers"
  VERBATIM)
add_custom_target(quillmere_layers ALL DEPENDS ${CMAKE_BINARY_DIR}/layers.checked)
