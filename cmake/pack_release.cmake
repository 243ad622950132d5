# cmake -DARCHIVE=out.zip -DSTAGE=folder -DSOURCE=root -DPROGRAMS=a.exe;b.exe -P pack_release.cmake,
# run in STAGE.
# Stages the release's members and packs them, in a fixed order, with fixed times and
# permissions, so that the same sources give the same archive from any folder:
# - README.txt and opener-template.txt: the user's guide and the tool's reference,
#   docs/usage.md and docs/opener-template.md as plain text for Notepad (every Notepad):
#   Markdown's marks taken out, UTF-8 with a byte order mark, Windows line ends; a line
#   over 100 columns stops the packing;
# - LICENSE and SHA256SUMS (the programs and texts, as `sha256sum -c` reads them) with
#   Windows line ends too.

# Markdown as plain text: a code fence's own lines dropped and the lines between them
# indented by four spaces; the marks of `code` and **bold** dropped; a heading's #s dropped
# and the heading underlined (= for the title, - for the others).
function(plain_text var)
  set(text "${${var}}")
  set(plain "")
  string(FIND "${text}" "```" open)
  while(NOT open EQUAL -1)
    string(SUBSTRING "${text}" 0 ${open} before)
    string(SUBSTRING "${text}" ${open} -1 text)
    string(FIND "${text}" "\n" end)
    math(EXPR end "${end} + 1")
    string(SUBSTRING "${text}" ${end} -1 text)
    string(FIND "${text}" "```" close)
    string(SUBSTRING "${text}" 0 ${close} code)
    string(SUBSTRING "${text}" ${close} -1 text)
    string(FIND "${text}" "\n" end)
    math(EXPR end "${end} + 1")
    string(SUBSTRING "${text}" ${end} -1 text)
    string(REGEX REPLACE "([^\n]+)\n" "    \\1\n" code "${code}")
    string(APPEND plain "${before}${code}")
    string(FIND "${text}" "```" open)
  endwhile()
  string(APPEND plain "${text}")
  string(REPLACE "`" "" plain "${plain}")
  string(REPLACE "**" "" plain "${plain}")
  string(REGEX MATCHALL "(^|\n)#+ [^\n]*" headings "${plain}")
  foreach(heading IN LISTS headings)
    string(REGEX REPLACE "^\n?(#+) (.*)$" "\\2" title "${heading}")
    string(REGEX MATCH "#+" level "${heading}")
    string(LENGTH "${title}" length)
    set(mark "-")
    if(level STREQUAL "#")
      set(mark "=")
    endif()
    string(REPEAT "${mark}" ${length} line)
    string(REGEX REPLACE "^(\n?)#+ .*$" "\\1" start "${heading}")
    string(REPLACE "${heading}" "${start}${title}\n${line}" plain "${plain}")
  endforeach()
  set(${var} "${plain}" PARENT_SCOPE)
endfunction()

string(ASCII 239 187 191 bom)
file(GLOB old "${STAGE}/*")
if(old)
  file(REMOVE_RECURSE ${old})
endif()
set(members "")
foreach(program IN LISTS PROGRAMS)
  get_filename_component(name "${program}" NAME)
  file(COPY_FILE "${program}" "${STAGE}/${name}")
  list(APPEND members "${name}")
endforeach()

foreach(text "usage.md|README.txt" "opener-template.md|opener-template.txt")
  string(REPLACE "|" ";" text "${text}")
  list(GET text 0 source)
  list(GET text 1 member)
  file(STRINGS "${SOURCE}/docs/${source}" lines ENCODING UTF-8)
  foreach(line IN LISTS lines)
    string(LENGTH "${line}" length)
    if(length GREATER 100)
      message(FATAL_ERROR "docs/${source}: a line of ${length} characters, over the 100 that Notepad shows:\n${line}")
    endif()
  endforeach()
  file(READ "${SOURCE}/docs/${source}" content)
  plain_text(content)
  string(REPLACE "\n" "\r\n" content "${content}")
  file(WRITE "${STAGE}/${member}" "${bom}${content}")
  list(APPEND members "${member}")
endforeach()
file(READ "${SOURCE}/LICENSE" content)
string(REPLACE "\n" "\r\n" content "${content}")
file(WRITE "${STAGE}/LICENSE" "${content}")
list(APPEND members LICENSE)

set(sums "")
foreach(member IN LISTS members)
  file(SHA256 "${STAGE}/${member}" hash)
  string(APPEND sums "${hash}  ${member}\r\n")
endforeach()
file(WRITE "${STAGE}/SHA256SUMS" "${sums}")
list(APPEND members SHA256SUMS)

foreach(member IN LISTS members)
  file(CHMOD "${STAGE}/${member}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
# With SOURCE_DATE_EPOCH set, every time stored for a member is that one; a zip member's
# DOS date and time are written in local time, so that is UTC here whatever the builder's.
set(ENV{SOURCE_DATE_EPOCH} 1767225600)  # 2026-01-01 00:00:00 UTC
set(ENV{TZ} UTC)
get_filename_component(folder "${ARCHIVE}" DIRECTORY)
file(MAKE_DIRECTORY "${folder}")
file(REMOVE "${ARCHIVE}")
file(ARCHIVE_CREATE OUTPUT "${ARCHIVE}" PATHS ${members} FORMAT zip)
