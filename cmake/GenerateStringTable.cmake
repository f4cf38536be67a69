# Turns the English language file into the string table compiled into the program, so that
# the file stays the one source of the English texts.
#   cmake -DINPUT=<English.ini> -DOUTPUT=<EnglishStringTable.cpp> -P GenerateStringTable.cmake
# Reads the file as the program's INI reader does (sections in brackets, "key=value" lines,
# lines starting with ";" are comments, blanks around keys and values dropped, a value in
# matching quotes loses them). Every key must be a decimal string id, unique and non-empty.
cmake_minimum_required(VERSION 3.25)

if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "GenerateStringTable: INPUT and OUTPUT are required")
endif()

file(READ "${INPUT}" content)
file(READ "${INPUT}" head LIMIT 3 HEX)
if(head STREQUAL "efbbbf")
  string(SUBSTRING "${content}" 3 -1 content)
endif()

# Characters that CMake lists treat specially are replaced by tokens while lines are split
# and sorted, and written back into the generated source at the end.
string(REPLACE "\\" "<<BS>>" content "${content}")
string(REPLACE ";" "<<SC>>" content "${content}")
string(REPLACE "[" "<<LB>>" content "${content}")
string(REPLACE "]" "<<RB>>" content "${content}")
string(REPLACE "\r" "" content "${content}")
string(REPLACE "\n" ";" lines "${content}")

set(entries)
set(seen)
set(section "")
set(lineNumber 0)
foreach(line IN LISTS lines)
  math(EXPR lineNumber "${lineNumber} + 1")
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^<<SC>>")
    continue()
  endif()
  if(line MATCHES "^<<LB>>(.*)<<RB>>")
    string(STRIP "${CMAKE_MATCH_1}" section)
    continue()
  endif()
  string(FIND "${line}" "=" equals)
  if(equals LESS 0)
    continue()
  endif()
  if(section STREQUAL "")
    message(FATAL_ERROR "${INPUT}:${lineNumber}: key outside a section")
  endif()
  string(SUBSTRING "${line}" 0 ${equals} key)
  math(EXPR valueStart "${equals} + 1")
  string(SUBSTRING "${line}" ${valueStart} -1 value)
  string(STRIP "${key}" key)
  string(STRIP "${value}" value)
  # Checked one at a time: a failed MATCHES clears the captures of an earlier one.
  if(value MATCHES "^\"(.*)\"$")
    set(value "${CMAKE_MATCH_1}")
  elseif(value MATCHES "^'(.*)'$")
    set(value "${CMAKE_MATCH_1}")
  endif()
  if(NOT key MATCHES "^[1-9][0-9]*$")
    message(FATAL_ERROR "${INPUT}:${lineNumber}: key '${key}' is not a string id")
  endif()
  if(value STREQUAL "")
    message(FATAL_ERROR "${INPUT}:${lineNumber}: string ${key} has no text")
  endif()
  if(key IN_LIST seen)
    message(FATAL_ERROR "${INPUT}:${lineNumber}: string ${key} appears twice")
  endif()
  list(APPEND seen "${key}")
  # Zero-padded ids sort numerically as text.
  string(LENGTH "${key}" keyLength)
  math(EXPR padLength "8 - ${keyLength}")
  string(REPEAT "0" ${padLength} pad)
  list(APPEND entries "${pad}${key}=${value}")
endforeach()
list(SORT entries)

set(body "")
foreach(entry IN LISTS entries)
  string(SUBSTRING "${entry}" 0 8 id)
  string(REGEX REPLACE "^0+" "" id "${id}")
  string(SUBSTRING "${entry}" 9 -1 text)
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "<<BS>>" "\\\\" text "${text}")
  string(REPLACE "<<SC>>" ";" text "${text}")
  string(REPLACE "<<LB>>" "[" text "${text}")
  string(REPLACE "<<RB>>" "]" text "${text}")
  string(REPLACE "\t" "\\t" text "${text}")
  string(APPEND body "    {${id}, \"${text}\"},\n")
endforeach()

file(WRITE "${OUTPUT}.tmp" "// Generated from English.ini by GenerateStringTable.cmake. Do not edit.
#include \"appcore/LanguageStrings.h\"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

struct EnglishString {
  std::int32_t id;
  const char* text;
};

// Sorted by id.
const EnglishString kEnglishStrings[] = {
${body}};

}  // namespace

const char* EnglishResourceString(std::int32_t id) {
  const auto found = std::lower_bound(std::begin(kEnglishStrings), std::end(kEnglishStrings), id,
                                      [](const EnglishString& entry, std::int32_t key) { return entry.id < key; });
  return (found != std::end(kEnglishStrings) && found->id == id) ? found->text : nullptr;
}
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
