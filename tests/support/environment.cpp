// environment.cpp -- environment variables for tests, on POSIX
#include "tests/support/environment.h"

#include <stdlib.h>

void SetEnvironmentVariable(const char* name, const char* value) {
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}
