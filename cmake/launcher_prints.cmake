# Writes OUT, a C++ source that defines kOurLaunchers: the kind and fingerprint of each of
# the launchers EXES (separated by |), as KIND:PRINT, each followed by a space (the kind is
# the file's name: opener, opener-wait); and kReleasedLaunchers, the same of every release
# listed in the file RELEASED (lines "VERSION KIND PRINT"; # starts a comment). A fingerprint is the
# SHA-256 of the file's bytes as lowercase hex text, with its 256-byte template block and
# its PE CheckSum field as zero bytes: the same for every copy of a launcher whatever its
# template. opener-template computes it the same way to recognise a launcher of this build.
#   cmake -DEXES=a.exe|b.exe -DRELEASED=released_launchers.txt -DOUT=our_launchers.cpp -P launcher_prints.cmake

# `count` zero bytes in place of those at byte `offset` of the hex text in the variable `var`.
function(zero_bytes var offset count)
  math(EXPR at "2 * ${offset}")
  math(EXPR after "2 * (${offset} + ${count})")
  string(SUBSTRING "${${var}}" 0 ${at} head)
  string(SUBSTRING "${${var}}" ${after} -1 tail)
  string(REPEAT "00" ${count} zeros)
  set(${var} "${head}${zeros}${tail}" PARENT_SCOPE)
endfunction()

string(HEX "__FILENAME__" marker)
string(REPLACE "|" ";" exes "${EXES}")
set(prints "")
foreach(exe IN LISTS exes)
  file(READ "${exe}" hex HEX)
  string(FIND "${hex}" "${marker}" at)
  math(EXPR odd "${at} % 2")
  if(at EQUAL -1 OR odd)
    message(FATAL_ERROR "${exe}: no template block")
  endif()
  math(EXPR block "${at} / 2")
  zero_bytes(hex ${block} 256)
  # The PE header's offset, a little-endian 32-bit value at 0x3c; CheckSum is 88 bytes on.
  string(SUBSTRING "${hex}" 120 8 le)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" be "${le}")
  math(EXPR checksum "0x${be} + 88")
  zero_bytes(hex ${checksum} 4)
  string(SHA256 print "${hex}")
  get_filename_component(kind "${exe}" NAME_WE)
  string(APPEND prints "${kind}:${print} ")
endforeach()

set(released "")
file(STRINGS "${RELEASED}" lines REGEX "^[^#]")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[^ ]+ ([a-z-]+) ([0-9a-f]+)$")
    message(FATAL_ERROR "${RELEASED}: not VERSION KIND PRINT: ${line}")
  endif()
  string(APPEND released "${CMAKE_MATCH_1}:${CMAKE_MATCH_2} ")
endforeach()

file(WRITE "${OUT}.new" "// Made by cmake/launcher_prints.cmake from this build's launchers.\n"
                        "extern const char kOurLaunchers[], kReleasedLaunchers[];\n"
                        "const char kOurLaunchers[] = \"${prints}\";\n"
                        "const char kReleasedLaunchers[] = \"${released}\";\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
