#pragma once
// Marks a function that takes a printf format, so the compiler checks its
// callers. MinGW's "printf" means the Windows C library's dialect; the
// program is built with the C99 one (__USE_MINGW_ANSI_STDIO), which GCC
// calls gnu_printf there.
#if defined(__MINGW32__)
#define REFLASH_PRINTF_FORMAT(format_index, first_arg) __attribute__((format(gnu_printf, format_index, first_arg)))
#else
#define REFLASH_PRINTF_FORMAT(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#endif
