# Writes OUT, a C++ source that defines kOurLaunchers: the fingerprints of the launchers
# EXES (separated by |), one after another, each followed by a space. A fingerprint is the
# SHA-256 of the file's bytes as lowercase hex text, with its 256-byte template block and
# its PE CheckSum field as zero bytes: the same for every copy of a launcher whatever its
# template. opener-template computes it the same way to recognise a launcher of this build.
#   cmake -DEXES=a.exe|b.exe -DOUT=our_launchers.cpp -P launcher_prints.cmake

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
  string(APPEND prints "${print} ")
endforeach()

file(WRITE "${OUT}.new" "// Made by cmake/launcher_prints.cmake from this build's launchers.\n"
                        "extern const char kOurLaunchers[];\n"
                        "const char kOurLaunchers[] = \"${prints}\";\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
