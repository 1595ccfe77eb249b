#include "io/SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace sonabel {

void* SharedLibrary::open(const std::string& file, std::string* error) {
#ifdef _WIN32
    void* handle = reinterpret_cast<void*>(LoadLibraryA(file.c_str()));
    if (!handle) *error = "cannot open " + file;
    return handle;
#else
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        *error = reason ? reason : "cannot open " + file;
    }
    return handle;
#endif
}

void* SharedLibrary::find(void* handle, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

} // namespace sonabel
