#include "plugin_library.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace kadrel::stand_in {

namespace {

// The compiler's decorated name of void talk(BotEvent&): __stdcall on 32-bit
// Windows, the Itanium name everywhere else.
#if defined(_WIN32) && !defined(_WIN64)
constexpr const char* talkSymbol = "?talk@@YGXAAUBotEvent@@@Z";
#else
constexpr const char* talkSymbol = "_Z4talkR8BotEvent";
#endif

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) {
#ifdef _WIN32
    library = LoadLibraryA(path.c_str());
    if (library == nullptr) throw std::runtime_error("cannot load the plug-in " + path);
    entry = reinterpret_cast<decltype(entry)>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), talkSymbol)));
#else
    library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) throw std::runtime_error(std::string("cannot load the plug-in: ") + dlerror());
    entry = reinterpret_cast<decltype(entry)>(dlsym(library, talkSymbol));
#endif
    if (entry == nullptr) {
        unload();
        throw std::runtime_error("the plug-in " + path + " exports no talk");
    }
}

PluginLibrary::~PluginLibrary() { unload(); }

void PluginLibrary::unload() {
    if (library == nullptr) return;
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
    library = nullptr;
}

}  // namespace kadrel::stand_in
