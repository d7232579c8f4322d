# Writes the table of Unicode simple case folding that UTF-8 searches fold by,
# from the Unicode data files (Debian's unicode-data), as C++ initialisers.
# Run as: cmake -DINPUT=CaseFolding.txt -DOUTPUT=case_folding.inc -P case_folding.cmake
#
# Two lists of {code point, folded code point}: one ordered by the code point, to
# fold a letter, one ordered by the folded code point, to find every letter that
# folds to it. Only the common (C) and simple (S) foldings count: a letter's
# case forms are then single letters, never strings.
if(NOT EXISTS "${INPUT}")
  message(FATAL_ERROR "No case folding data at ${INPUT} (install unicode-data)")
endif()

file(STRINGS "${INPUT}" lines REGEX "^[0-9A-F]+; [CS]; [0-9A-F]+;")
set(by_letter "")
set(by_folded "")
foreach(line IN LISTS lines)
  string(REGEX MATCH "^([0-9A-F]+); [CS]; ([0-9A-F]+);" _ "${line}")
  set(letter "${CMAKE_MATCH_1}")
  set(folded "${CMAKE_MATCH_2}")
  string(LENGTH "${letter}" letter_length)
  string(LENGTH "${folded}" folded_length)
  math(EXPR letter_pad "6 - ${letter_length}")
  math(EXPR folded_pad "6 - ${folded_length}")
  string(REPEAT "0" ${letter_pad} letter_zeros)
  string(REPEAT "0" ${folded_pad} folded_zeros)
  list(APPEND by_letter "${letter_zeros}${letter} ${folded_zeros}${folded}")
  list(APPEND by_folded "${folded_zeros}${folded} ${letter_zeros}${letter}")
endforeach()
list(SORT by_letter)
list(SORT by_folded)
list(LENGTH by_letter count)
if(count LESS 1000)
  message(FATAL_ERROR "${INPUT} holds only ${count} simple case foldings")
endif()

set(text "// Generated at build time from ${INPUT}; not to be edited.\n")
string(APPEND text "#define QUORVE_CASE_FOLDING_COUNT ${count}\n")
string(APPEND text "#define QUORVE_CASE_FOLDING_BY_LETTER")
foreach(entry IN LISTS by_letter)
  string(REPLACE " " ", 0x" pair "${entry}")
  string(APPEND text " \\\n  {0x${pair}},")
endforeach()
string(APPEND text "\n#define QUORVE_CASE_FOLDING_BY_FOLDED")
foreach(entry IN LISTS by_folded)
  string(REGEX MATCH "^([0-9A-F]+) ([0-9A-F]+)$" _ "${entry}")
  string(APPEND text " \\\n  {0x${CMAKE_MATCH_2}, 0x${CMAKE_MATCH_1}},")
endforeach()
string(APPEND text "\n")
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
