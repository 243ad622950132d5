# Warnings are errors in our own code.
function(opener_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror)
endfunction()

# Turns TEXT into the body of a C string literal.
function(opener_c_literal out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "\n" "\\n" text "${text}")
  string(REPLACE "\r" "\\r" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# Static runtimes, stripped: the .exe needs no DLL but KERNEL32.dll and msvcrt.dll.
# No link time stamp, so that the same sources give the same bytes wherever they are built.
function(opener_windows_exe target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ -s -Wl,--no-insert-timestamp)
endfunction()

# opener_add_resources(TARGET DESCRIPTION [NAME]): embeds the UTF-8 manifest and a
# version resource, naming the program NAME (default: TARGET).
function(opener_add_resources target description)
  set(name "${target}")
  if(ARGC GREATER 2)
    set(name "${ARGV2}")
  endif()
  set(OPENER_DESCRIPTION "${description}")
  set(OPENER_FILENAME "${name}.exe")
  set(OPENER_INTERNAL "${name}")
  set(OPENER_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(OPENER_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(manifest "${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest")
  configure_file("${opener_SOURCE_DIR}/launcher/opener.manifest" "${manifest}" @ONLY)
  set(OPENER_MANIFEST "${manifest}")
  configure_file("${opener_SOURCE_DIR}/launcher/resources.rc.in" "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc" @ONLY)
  target_sources(${target} PRIVATE "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
endfunction()

# Small: no exception or unwind machinery, unused sections dropped, and std::string
# compiled here rather than taken whole from the library (the assertions mode does that).
function(opener_launcher_options target)
  target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti
                                           -fno-asynchronous-unwind-tables)
  target_compile_definitions(${target} PRIVATE _GLIBCXX_ASSERTIONS)
  target_include_directories(${target} PRIVATE "${opener_SOURCE_DIR}/core" "${opener_SOURCE_DIR}/launcher")
  target_compile_definitions(${target} PRIVATE $<TARGET_PROPERTY:opener_core,INTERFACE_COMPILE_DEFINITIONS>)
endfunction()

# opener_add_launcher(NAME TEMPLATE text [WAIT] [AS SHIPPED]): a launcher whose block holds
# TEXT; with WAIT it waits for the program it started and ends with its exit code
# (opener-wait.exe). AS: a copy of the shipped launcher SHIPPED but for its block (the
# tests' launchers), byte for byte, so that opener-template recognises it.
function(opener_add_launcher name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "WAIT" "TEMPLATE;AS" "")
  if(NOT arg_AS)
    set(arg_AS "${name}")
  endif()
  string(LENGTH "${arg_TEMPLATE}" length)
  if(length GREATER OPENER_MAX_TEMPLATE_SIZE)
    message(FATAL_ERROR "opener: the template for ${name} is ${length} bytes long; the stored block holds at most "
                        "${OPENER_MAX_TEMPLATE_SIZE}:\n  ${arg_TEMPLATE}")
  endif()
  opener_c_literal(OPENER_TEMPLATE_LITERAL "${arg_TEMPLATE}")
  configure_file("${opener_SOURCE_DIR}/launcher/stored_template.cpp.in" "${CMAKE_CURRENT_BINARY_DIR}/${name}_template.cpp" @ONLY)
  set(start opener_start_and_leave)
  if(arg_WAIT)
    set(start opener_start_and_wait)
  endif()
  # The launch sequence and the way to start, compiled once (launcher/CMakeLists.txt) for
  # every launcher, and this launcher's block.
  add_executable(${name} WIN32 "${CMAKE_CURRENT_BINARY_DIR}/${name}_template.cpp")
  target_link_libraries(${name} PRIVATE opener_launch ${start})
  opener_launcher_options(${name})
  target_link_options(${name} PRIVATE -Wl,--gc-sections)
  opener_warnings(${name})
  opener_windows_exe(${name})
  # The description is the name Windows shows for a program ("Open with", Task Manager).
  opener_add_resources(${name} "${arg_AS}" "${arg_AS}")
endfunction()
