# Data flows one way: front end -> app -> protocol -> transports -> platform.
# A lower folder owns the interfaces that higher ones implement, so it never
# includes from above. Fails, naming each offending line, when it does.
#   cmake -DROOT=<source tree> -P check_includes.cmake
if(NOT ROOT)
  message(FATAL_ERROR "check_includes: set ROOT to the source tree")
endif()

# folder : folders it must not include from
set(rules
  "protocol:transports app sim network"
  "transports:app sim"
  "network:protocol transports app sim"
  "platform:protocol transports app sim network")

set(offences "")
set(checked 0)

# Appends each line of `source` that matches `regex` to the offences.
function(note_offences source regex)
  file(STRINGS "${source}" lines REGEX "${regex}")
  foreach(line IN LISTS lines)
    file(RELATIVE_PATH shown "${ROOT}" "${source}")
    string(APPEND offences "  ${shown}: ${line}\n")
  endforeach()
  set(offences "${offences}" PARENT_SCOPE)
endfunction()

foreach(rule IN LISTS rules)
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(GET parts 1 forbidden)
  string(REPLACE " " "|" forbidden "${forbidden}")
  file(GLOB_RECURSE sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    note_offences("${source}" "^[ \t]*#[ \t]*include[ \t]*[\"<](${forbidden})/")
  endforeach()
endforeach()

# The system's own headers (Win32, Winsock, WinMM) belong to platform/ alone,
# and to the Windows files of our DNS-SD client, a library of its own that
# stands in for the system's and links nothing of ours.
set(system_headers "windows|winsock2|ws2tcpip|mmsystem|iphlpapi|shlobj|sddl|winioctl|mswsock")
foreach(folder IN ITEMS app protocol transports network sim)
  file(GLOB_RECURSE sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  list(FILTER sources EXCLUDE REGEX "/network/dnssd/[^/]*_win32\\.cpp$")
  foreach(source IN LISTS sources)
    note_offences("${source}" "^[ \t]*#[ \t]*include[ \t]*<(${system_headers})\\.h>")
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "check_includes: no sources under ${ROOT}")
endif()
if(offences)
  message(FATAL_ERROR "Includes against the layering:\n${offences}")
endif()
message(STATUS "check_includes: ${checked} files keep to the layering")
