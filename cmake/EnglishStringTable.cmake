# Generates the English string table compiled into the program from resources/lang/English.ini.
# Sets ORVANE_ENGLISH_STRING_TABLE to the generated source for the target that compiles it.
set(ORVANE_ENGLISH_STRING_TABLE "${PROJECT_BINARY_DIR}/generated/EnglishStringTable.cpp")
set(_english_ini "${PROJECT_SOURCE_DIR}/resources/lang/English.ini")
add_custom_command(
  OUTPUT "${ORVANE_ENGLISH_STRING_TABLE}"
  COMMAND "${CMAKE_COMMAND}" "-DINPUT=${_english_ini}" "-DOUTPUT=${ORVANE_ENGLISH_STRING_TABLE}"
          -P "${PROJECT_SOURCE_DIR}/cmake/GenerateStringTable.cmake"
  DEPENDS "${_english_ini}" "${PROJECT_SOURCE_DIR}/cmake/GenerateStringTable.cmake"
  COMMENT "Generating the English string table from English.ini"
  VERBATIM)
