// Only platform/ may talk to the system directly.
#include <windows.h>
