#pragma once
// Sets an environment variable for the tests that follow, or removes it (null).
#include <cstdlib>

namespace vandrel::test {

inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

} // namespace vandrel::test
