# Helpers shared by every folder of the project.

# Strict warnings and the chosen sanitizers for a target of our own code.
function(orvane_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  if(ORVANE_SANITIZE)
    list(JOIN ORVANE_SANITIZE "," _san)
    target_compile_options(${target} PRIVATE -fsanitize=${_san} -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=${_san})
  endif()
  # The fuzz preset instruments our own code for libFuzzer's coverage feedback.
  if(ORVANE_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

# A static library of our own code:
# orvane_library(NAME SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...] [FOLDER name])
# Headers are included as "<folder>/File.h". Each library publishes only its own folder
# (through a link in its own include tree), so a layer can include the headers of the
# libraries it links and nothing else: the build enforces the layers.
function(orvane_library name)
  cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  if(NOT ARG_FOLDER)
    get_filename_component(ARG_FOLDER "${CMAKE_CURRENT_SOURCE_DIR}" NAME)
  endif()
  set(_root "${PROJECT_BINARY_DIR}/include/${name}")
  file(MAKE_DIRECTORY "${_root}")
  if(NOT EXISTS "${_root}/${ARG_FOLDER}")
    file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}" "${_root}/${ARG_FOLDER}" SYMBOLIC)
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  orvane_target_options(${name})
  target_include_directories(${name} PUBLIC "${_root}" "${PROJECT_SOURCE_DIR}/drivers/include")
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# A run-time loaded shared library with a C ABI (driver libraries, codec, ...).
function(orvane_module name)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  orvane_target_options(${name})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/drivers/include")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(ARG_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME} PREFIX "")
  endif()
  set_target_properties(${name} PROPERTIES C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden)
endfunction()

# A GoogleTest executable registered with CTest:
# orvane_gtest(NAME SOURCES ... LIBS ... [LABELS ...] [DEPENDS ...])
# Tests run from the output folder so run-time libraries and data files are found as in a real start.
function(orvane_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  orvane_target_options(${name})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/drivers/include" "${PROJECT_SOURCE_DIR}/tests")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${name} PRIVATE ORVANE_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
                                             ORVANE_OUTPUT_DIR="${ORVANE_OUTPUT_DIR}")
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST WORKING_DIRECTORY "${ORVANE_OUTPUT_DIR}"
                       TEST_LIST ${name}_TESTS PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  # The discovery hands properties on as a flat list, which would split several labels;
  # they are set afterwards, on the discovered tests, by a script of our own.
  if(ARG_LABELS)
    set(_labels_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake")
    file(WRITE "${_labels_file}"
         "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES LABELS \"${ARG_LABELS}\")\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${_labels_file}")
  endif()
endfunction()
