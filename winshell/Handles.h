#pragma once

#include <windows.h>

#include <utility>

namespace vorlanx::winshell {

// Owns one GDI or USER handle and gives it back when it goes, so that nothing leaks when a
// window closes.
template <typename Handle, BOOL(WINAPI* Release)(Handle)> class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(Handle handle) : m_handle(handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.m_handle, nullptr));
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    Handle get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void reset(Handle handle = nullptr) {
        if (m_handle)
            Release(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = nullptr;
};

inline BOOL WINAPI deleteGdiObject(HGDIOBJ object) {
    return DeleteObject(object);
}
inline BOOL WINAPI deleteFont(HFONT font) {
    return DeleteObject(font);
}
inline BOOL WINAPI deleteBrush(HBRUSH brush) {
    return DeleteObject(brush);
}

using FontHandle = OwnedHandle<HFONT, deleteFont>;
using BrushHandle = OwnedHandle<HBRUSH, deleteBrush>;
using MenuHandle = OwnedHandle<HMENU, DestroyMenu>;

} // namespace vorlanx::winshell
