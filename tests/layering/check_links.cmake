# The libraries keep to the layering too: data flows one way, and only the
# program itself links a front end (the console or the desktop window).
# Reads the build files of the source folders; fails, naming each library
# that links against the layering.
#   cmake -DROOT=<source tree> -P check_links.cmake
if(NOT ROOT)
  message(FATAL_ERROR "check_links: set ROOT to the source tree")
endif()

# folder : folders whose libraries it must not link
set(front_ends "platform/console platform/qt platform/win32ui")
set(rules
  "protocol:transports app sim network ${front_ends}"
  "transports:app sim ${front_ends}"
  "network:protocol transports app sim ${front_ends}"
  "app:sim ${front_ends}"
  "platform:protocol transports app sim network"
  "platform/core:${front_ends}"
  "platform/ui:${front_ends}"
  "platform/files:${front_ends}"
  "platform/midi:${front_ends}"
  "platform/net:${front_ends}"
  "platform/devctl:${front_ends}"
  "platform/session:${front_ends}")

# True in `out` when `folder` is `prefix` or lies under it.
function(under folder prefix out)
  if(folder STREQUAL prefix OR folder MATCHES "^${prefix}/")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

set(libraries "")
set(files "")
foreach(top protocol transports network app platform sim)
  file(GLOB_RECURSE found "${ROOT}/${top}/CMakeLists.txt" "${ROOT}/${top}/*.cmake")
  list(APPEND files ${found})
endforeach()
if(NOT files)
  message(FATAL_ERROR "check_links: no build files under ${ROOT}")
endif()

foreach(build_file IN LISTS files)
  get_filename_component(dir "${build_file}" DIRECTORY)
  file(RELATIVE_PATH here "${ROOT}" "${dir}")
  file(STRINGS "${build_file}" lines)
  set(text "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^[ \t]*#")
      string(APPEND text " ${line}")
    endif()
  endforeach()
  string(REGEX MATCHALL "(reflash_library|add_library|target_link_libraries)[ \t]*\\([^)]*\\)" calls "${text}")
  foreach(call IN LISTS calls)
    string(REGEX REPLACE "^([a-z_]+)[ \t]*\\((.*)\\)$" "\\1" command "${call}")
    string(REGEX REPLACE "^([a-z_]+)[ \t]*\\((.*)\\)$" "\\2" args "${call}")
    string(STRIP "${args}" args)
    string(REGEX REPLACE "[ \t]+" ";" args "${args}")
    list(POP_FRONT args name)
    if(command STREQUAL "reflash_library")
      list(POP_FRONT args sub)
      set(folder "${here}")
      if(NOT sub STREQUAL ".")
        set(folder "${here}/${sub}")
      endif()
      set(folder_${name} "${folder}")
      list(APPEND libraries ${name})
    elseif(command STREQUAL "add_library")
      set(folder_${name} "${here}")
      list(APPEND libraries ${name})
      set(args "")
    endif()
    list(APPEND links_${name} ${args})
  endforeach()
endforeach()

set(offences "")
foreach(library IN LISTS libraries)
  foreach(rule IN LISTS rules)
    string(REPLACE ":" ";" parts "${rule}")
    list(GET parts 0 layer)
    list(GET parts 1 forbidden)
    under("${folder_${library}}" "${layer}" applies)
    if(NOT applies)
      continue()
    endif()
    string(REPLACE " " ";" forbidden "${forbidden}")
    foreach(dep IN LISTS links_${library})
      if(NOT DEFINED folder_${dep})
        continue()  # a system library or a keyword
      endif()
      foreach(bad IN LISTS forbidden)
        under("${folder_${dep}}" "${bad}" hit)
        if(hit)
          string(APPEND offences "  ${folder_${library}}: ${library} links ${dep} (${folder_${dep}})\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

list(LENGTH libraries checked)
if(offences)
  message(FATAL_ERROR "Links against the layering:\n${offences}")
endif()
message(STATUS "check_links: ${checked} libraries keep to the layering")
