# Turns data/win_errors_zh_cn.tsv (code<TAB>text, UTF-8) into the constant table behind
# SystemErrorText. Run as: cmake -DINPUT=<tsv> -DOUTPUT=<cpp> -P GenerateErrorTable.cmake
file(READ "${INPUT}" content ENCODING UTF-8)

# CMake lists split on ';' and treat brackets specially: hide them while the text is a list.
string(REPLACE ";" "@SEMICOLON@" content "${content}")
string(REPLACE "[" "@OPEN@" content "${content}")
string(REPLACE "]" "@CLOSE@" content "${content}")
string(REPLACE "\r" "" content "${content}")
string(REPLACE "\n" ";" lines "${content}")

set(rows "")
set(count 0)
set(previous -1)
foreach(line IN LISTS lines)
  if(line STREQUAL "")
    continue()
  endif()
  if(NOT line MATCHES "^([0-9]+)\t(.+)$")
    message(FATAL_ERROR "${INPUT}: malformed row: ${line}")
  endif()
  set(code ${CMAKE_MATCH_1})
  set(text "${CMAKE_MATCH_2}")
  if(NOT code GREATER previous)
    message(FATAL_ERROR "${INPUT}: codes must ascend (${code} after ${previous})")
  endif()
  set(previous ${code})
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "@SEMICOLON@" ";" text "${text}")
  string(REPLACE "@OPEN@" "[" text "${text}")
  string(REPLACE "@CLOSE@" "]" text "${text}")
  string(APPEND rows "    {${code}u, L\"${text}\"},\n")
  math(EXPR count "${count} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp"
"// Generated from data/win_errors_zh_cn.tsv by cmake/GenerateErrorTable.cmake. Do not edit.
#include \"engine/SystemErrorTable.h\"

namespace vw {

const SystemErrorRow kSystemErrorRows[] = {
${rows}};

const size_t kSystemErrorRowCount = ${count};

}  // namespace vw
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
