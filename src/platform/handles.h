#pragma once
// Scoped owners for everything the system hands out: each value is closed on every path by the one
// function that knows how (closing failures are logged there, never raised). Move-only.
#include <cstdint>
#include <utility>

#include "platform/win32.h"
#include "platform/win_errors.h"

namespace handles_detail {

inline void freeLocal(HLOCAL p) { LocalFree(p); }
inline void closeFind(HANDLE h) { FindClose(h); }
inline void freeLibrary(HMODULE h) { FreeLibrary(h); }
void freeCoTaskMem(void* p);

}  // namespace handles_detail

// T is a pointer type; Close is called for any value other than null and all bits set (the
// INVALID_HANDLE_VALUE of the file and search functions).
template <class T, void (*Close)(T)>
class unique_any {
public:
    unique_any() noexcept = default;
    explicit unique_any(T value) noexcept : value_(value) {}
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    ~unique_any() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return holds(value_); }
    T release() noexcept { return std::exchange(value_, T()); }
    void reset(T value = T()) noexcept {
        const T old = std::exchange(value_, value);
        if (holds(old)) Close(old);
    }
    // For out-parameters: closes what is held and hands out the slot.
    T* put() noexcept {
        reset();
        return &value_;
    }

private:
    static bool holds(T value) noexcept {
        return value != T() && value != reinterpret_cast<T>(static_cast<intptr_t>(-1));
    }
    T value_ = T();
};

// Kernel handles (events, processes, threads, files); null and INVALID_HANDLE_VALUE both mean none.
using unique_handle = unique_any<HANDLE, closeHANDLE>;
using unique_hkey = unique_any<HKEY, closeRegHandle>;
using unique_hlocal = unique_any<HLOCAL, handles_detail::freeLocal>;
using unique_hmodule = unique_any<HMODULE, handles_detail::freeLibrary>;
using unique_cotaskmem = unique_any<void*, handles_detail::freeCoTaskMem>;

// FindFirstFile's search handle (closed with FindClose, failure is INVALID_HANDLE_VALUE).
using unique_hfind = unique_any<HANDLE, handles_detail::closeFind>;

// LocalFree'd typed memory that a system call allocates (security descriptors, SID strings, texts).
template <class T>
class unique_hlocal_ptr {
public:
    unique_hlocal_ptr() noexcept = default;
    explicit unique_hlocal_ptr(T* p) noexcept : owner_(static_cast<HLOCAL>(p)) {}
    T* get() const noexcept { return static_cast<T*>(owner_.get()); }
    explicit operator bool() const noexcept { return static_cast<bool>(owner_); }
    // For out-parameters of type T**.
    T** put() noexcept { return reinterpret_cast<T**>(owner_.put()); }

private:
    unique_hlocal owner_;
};

// Keeps handle open until the process ends: for what must stay held after the code that opened it
// returns (a checked folder, a written archive). Safe from any thread; the holder is never
// destroyed, so no exit-time destructor races a thread that still adds to it.
void holdUntilProcessEnds(unique_handle handle);

// A started process: both handles of PROCESS_INFORMATION are closed together.
class unique_process_information {
public:
    unique_process_information() noexcept = default;
    unique_process_information(unique_process_information&& other) noexcept
        : info_(std::exchange(other.info_, PROCESS_INFORMATION{})) {}
    unique_process_information& operator=(unique_process_information&& other) noexcept {
        if (this != &other) {
            reset();
            info_ = std::exchange(other.info_, PROCESS_INFORMATION{});
        }
        return *this;
    }
    unique_process_information(const unique_process_information&) = delete;
    unique_process_information& operator=(const unique_process_information&) = delete;
    ~unique_process_information() { reset(); }

    PROCESS_INFORMATION* put() noexcept {
        reset();
        return &info_;
    }
    const PROCESS_INFORMATION& get() const noexcept { return info_; }
    HANDLE process() const noexcept { return info_.hProcess; }
    HANDLE thread() const noexcept { return info_.hThread; }
    void reset() noexcept {
        closeHANDLE(info_.hThread);
        closeHANDLE(info_.hProcess);
        info_ = PROCESS_INFORMATION{};
    }

private:
    PROCESS_INFORMATION info_{};
};
