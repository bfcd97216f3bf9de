#include "platform/messagebox.h"

#include <cstdio>

int MessageBoxA(void* /*owner*/, const char* text, const char* caption, unsigned /*type*/) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    return IDOK;
}
