// environment.h -- for tests: setting the process's environment variables
#pragma once

// Sets `name` to `value` for this process (null `value` removes it). Call
// before the code that reads it starts threads.
void SetEnvironmentVariable(const char* name, const char* value);
