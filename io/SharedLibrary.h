#pragma once
// Opening a shared library at run time and finding its symbols, the same on
// every platform: the sound system layer and libsndfile are both loaded on
// first use.

#include <string>

namespace sonabel {

class SharedLibrary {
public:
    // The library's handle, or null with the system's reason in *error.
    // Everything it needs is bound at once (RTLD_NOW): a library that does
    // not fit fails here, with the missing symbol named, rather than in the
    // middle of playing a file. Its symbols stay out of the global scope.
    // The handle is never closed: what the library made may outlive anyone.
    static void* open(const std::string& file, std::string* error);
    // The symbol's address, or null.
    static void* find(void* handle, const char* name);
};

} // namespace sonabel
