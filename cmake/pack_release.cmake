# cmake -DARCHIVE=out.zip -DSTAGE=folder -DSOURCE=root -DPROGRAMS=a.exe;b.exe -P pack_release.cmake,
# run in STAGE.
# Stages the release's members and packs them, in a fixed order, with fixed times and
# permissions, so that the same sources give the same archive from any folder:
# - README.txt and opener-template.txt: the user's guide and the tool's reference,
#   docs/usage.md and docs/opener-template.md, with Windows line ends, read in Notepad:
#   a line over 100 columns stops the packing;
# - SHA256SUMS: the programs, README.txt and LICENSE, as `sha256sum -c` reads them.
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
  string(REPLACE "\n" "\r\n" content "${content}")
  file(WRITE "${STAGE}/${member}" "${content}")
  list(APPEND members "${member}")
endforeach()
file(COPY_FILE "${SOURCE}/LICENSE" "${STAGE}/LICENSE")
list(APPEND members LICENSE)

set(sums "")
foreach(member IN LISTS members)
  file(SHA256 "${STAGE}/${member}" hash)
  string(APPEND sums "${hash}  ${member}\n")
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
