#pragma once
// Forced into every Windows compilation (cmake/windows.cmake): names the
// Windows C library lacks. The errno names the network code uses get the
// Winsock codes, which the socket calls pass on as they are
// (platform/net/winsock_win32.h); descriptors are never inherited there
// unless asked for, so O_CLOEXEC has nothing to add.
#include <fcntl.h>

#include <errno.h>  // C files get this header too

#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif

#ifndef ESHUTDOWN
#define ESHUTDOWN 10058  // WSAESHUTDOWN
#endif
#ifndef ESOCKTNOSUPPORT
#define ESOCKTNOSUPPORT 10044  // WSAESOCKTNOSUPPORT
#endif
