# The release archive, dist/opener-VERSION-windows-ARCH.zip: the programs, README.txt (the
# user's guide, docs/usage.md), opener-template.txt (docs/opener-template.md), LICENSE and
# SHA256SUMS. `cmake --build --preset release`
# makes it (scripts/package); cmake/pack_release.cmake says how it stays the same bytes.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(arch x86)
else()
  set(arch x64)
endif()
set(programs opener opener-wait opener-template)
set(program_files "")
foreach(program IN LISTS programs)
  list(APPEND program_files "$<TARGET_FILE:${program}>")
endforeach()
add_custom_target(release_zip
  COMMAND ${CMAKE_COMMAND} "-DARCHIVE=${opener_SOURCE_DIR}/dist/opener-${PROJECT_VERSION}-windows-${arch}.zip"
          "-DSTAGE=${CMAKE_BINARY_DIR}/release" "-DSOURCE=${opener_SOURCE_DIR}" "-DPROGRAMS=${program_files}"
          -P "${opener_SOURCE_DIR}/cmake/pack_release.cmake"
  WORKING_DIRECTORY "${CMAKE_BINARY_DIR}/release"
  DEPENDS ${programs} "${opener_SOURCE_DIR}/docs/usage.md" "${opener_SOURCE_DIR}/docs/opener-template.md"
  VERBATIM)
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/release")
