# Writes a module-definition file for a system DLL from mingw-w64's import library: every
# function it exports, with the stdcall decoration the i686 import names carry.
# -DNM=<nm> -DIMPORT_LIB=<lib...a> -DDLL=<name.dll> -DDEF=<out.def>
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${NM} ${IMPORT_LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} ${IMPORT_LIB} failed")
endif()
string(REGEX MATCHALL " I __imp_[^\r\n]+" imports "${symbols}")
set(text "LIBRARY ${DLL}\nEXPORTS\n")
foreach(i ${imports})
  string(REGEX REPLACE "^ I __imp_" "" name "${i}")
  # i686 names are "_Name@N": the leading underscore belongs to the C name, not the export.
  string(REGEX REPLACE "^_(.*@[0-9]+)$" "\\1" name "${name}")
  string(APPEND text "${name}\n")
endforeach()
file(WRITE ${DEF} "${text}")
