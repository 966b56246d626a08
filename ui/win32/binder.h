#pragma once
// Binding functions by name from their libraries. Kept in a header so that the unit tests
// can bind tables of their own.
#include <windows.h>

#include <span>
#include <string>

struct Binding {
    const char* library;  // e.g. "user32.dll"
    const char* name;     // the exported name
    void** slot;          // receives the address
};

// Binds the entries in order; the name of the first that cannot be bound (library or
// function missing), or nullptr when all are bound.
inline const char* bind_functions(std::span<const Binding> table) {
    for (const Binding& binding : table) {
        HMODULE library = LoadLibraryA(binding.library);
        FARPROC address = library ? GetProcAddress(library, binding.name) : nullptr;
        if (!address) return binding.name;
        *binding.slot = reinterpret_cast<void*>(address);
    }
    return nullptr;
}

// The text of the "Fatal Error" box for a function that could not be bound.
inline std::string link_failure_text(const char* name) {
    return std::string("Couldn't link function:\n\n") + name + "()";
}
