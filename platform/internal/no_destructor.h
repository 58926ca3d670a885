// A static object that is never destroyed. The platform's tables (GDI
// objects, open files, heap blocks) must outlive every other static object:
// the program's static windows release their GDI objects and heap blocks at
// process exit, after main has returned, in whatever order the exit runs.
#pragma once

#include <new>
#include <utility>

namespace platform {

template <class T>
class NoDestructor {
public:
    template <class... Args>
    explicit NoDestructor(Args&&... args) {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;

    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace platform
