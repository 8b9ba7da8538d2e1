# The Windows build (MinGW-w64, cmake/mingw-w64-x86_64.cmake). Debian ships
# no Qt, Google Benchmark or libFuzzer for MinGW: the window is the native
# dialog host, and benchmarks and fuzzers stay on Linux.
set(REFLASH_QT OFF)
set(REFLASH_BENCH OFF)
set(REFLASH_FUZZ OFF)

# Windows 10 calls, the narrow headers, and no min/max macros.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX)
# rand_s, and the errno names the C library lacks.
# The C library's printf and scanf as C99 has them (%zu, two-digit
# exponents), so texts read the same as on Linux.
add_compile_definitions(_CRT_RAND_S __USE_MINGW_ANSI_STDIO=1)
add_compile_options("SHELL:-include ${PROJECT_SOURCE_DIR}/platform/core/posix_names_win32.h")
# Tests (and their support library) get the POSIX calls they use.
set(REFLASH_TEST_SHIM "SHELL:-include ${PROJECT_SOURCE_DIR}/tests/support/posix_shim_win32.h")

# The JSON library is header-only: its Debian headers serve both builds.
# Only its own folder is put on the path, never all of /usr/include.
set(reflash_json_root ${PROJECT_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${reflash_json_root})
file(CREATE_LINK /usr/include/nlohmann ${reflash_json_root}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${reflash_json_root})

# GoogleTest from Debian's source package, built with this compiler.
if(REFLASH_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gmock gtest_main)
    # Its own code is not ours to hold to our warnings.
    target_compile_options(${t} PRIVATE -w)
  endforeach()
endif()

# What the Linux build links for a service, and what stands in for it here.
# The idle wait blocks on sockets and the message queue together.
set(REFLASH_OS_CORE_LIBS ws2_32 user32)
set(REFLASH_OS_MIDI_LIBS winmm)
set(REFLASH_OS_FILES_LIBS lz32)
set(REFLASH_OS_NET_LIBS ws2_32 iphlpapi)
set(REFLASH_OS_SESSION_LIBS "")

# Test folders that start the program or the network simulator as
# processes, or talk multicast DNS in a private network namespace.
set(REFLASH_LINUX_ONLY_TEST_DIRS e2e faults)

# Sources that use Linux itself (processes, network namespaces, ALSA,
# sysfs) rather than a platform service; their Windows twins, where there
# are any, are the *_win32.cpp files beside them.
set(REFLASH_LINUX_ONLY_SOURCES)
foreach(f IN ITEMS
    tests/support/card_peers.cpp
    tests/support/network_simulator.cpp
    tests/support/private_network.cpp
    tests/transports/alsa_midi_test.cpp
    tests/platform/abort_signals_test.cpp
    tests/platform/dynamic_library_test.cpp
    tests/platform/files_linux_test.cpp
    tests/platform/power_test.cpp
    tests/platform/program_files_test.cpp
    tests/platform/system_info_test.cpp
    # Multicast DNS against the simulator's responder or a Python peer, in
    # a private network namespace; the kernel's interface description.
    tests/network/browse_interop_test.cpp
    tests/network/browse_test.cpp
    tests/network/dante_if_test.cpp
    tests/network/device_resolve_test.cpp
    tests/network/environment_test.cpp
    tests/network/interop_test.cpp
    tests/network/mdns_client_test.cpp
    tests/network/responder_test.cpp
    tests/network/sim_network_process_test.cpp)
  list(APPEND REFLASH_LINUX_ONLY_SOURCES ${PROJECT_SOURCE_DIR}/${f})
endforeach()
