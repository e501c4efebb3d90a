#pragma once

#include <memory>
#include <new>

#include <pthread.h>

namespace vaultpack {

// One T per thread, made on the thread's first Get and destroyed when the
// thread ends. Instead of a thread_local with a destructor: the C library
// ends the whole process when it cannot register such a destructor for lack
// of memory, while here running out of memory is an answer (nullptr) that
// the caller turns into a failure or a slower path. Meant for function-local
// statics, which live until the program ends.
template <typename T>
class PerThread {
public:
    PerThread() {
        if (::pthread_key_create(&key_, [](void* value) { delete static_cast<T*>(value); }) != 0) {
            throw std::bad_alloc();
        }
    }
    PerThread(const PerThread&) = delete;
    PerThread& operator=(const PerThread&) = delete;

    // This thread's T, or nullptr when it could not be made for lack of memory.
    T* Get() noexcept {
        if (auto* value = static_cast<T*>(::pthread_getspecific(key_)); value != nullptr) {
            return value;
        }
        try {
            auto made = std::make_unique<T>();
            if (::pthread_setspecific(key_, made.get()) != 0) {
                return nullptr;
            }
            return made.release();
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

private:
    pthread_key_t key_{};
};

}  // namespace vaultpack
