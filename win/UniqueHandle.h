#pragma once
// Move-only owners of Win32 handles: one small template in the shape of wil's unique_any,
// with an alias for every kind of handle the program holds.
#include <windows.h>
#include <wininet.h>
#include <bcrypt.h>
#include <commctrl.h>
#include <oleauto.h>
#include <objbase.h>

namespace vw {

// Traits: a type `Type`, `static Type Invalid()` and `static void Close(Type)`.
template <typename Traits>
class UniqueAny {
    using T = typename Traits::Type;

public:
    UniqueAny() noexcept = default;
    explicit UniqueAny(T value) noexcept : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueAny() { reset(); }

    T get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    void reset(T value = Traits::Invalid()) noexcept
    {
        if (value_ != Traits::Invalid())
            Traits::Close(value_);
        value_ = value;
    }
    T release() noexcept
    {
        T value = value_;
        value_ = Traits::Invalid();
        return value;
    }
    // For out-parameters of creating calls: frees the current value first.
    T* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    T value_ = Traits::Invalid();
};

namespace detail {
template <typename T, void (*CloseFn)(T)>
struct NullTraits {
    using Type = T;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type value) noexcept { CloseFn(value); }
};
template <void (*CloseFn)(HANDLE)>
struct FileTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type value) noexcept { CloseFn(value); }
};
inline void CloseHandleNoThrow(HANDLE h) noexcept { ::CloseHandle(h); }
inline void FindCloseNoThrow(HANDLE h) noexcept { ::FindClose(h); }
inline void RegCloseKeyNoThrow(HKEY k) noexcept { ::RegCloseKey(k); }
inline void DestroyIconNoThrow(HICON i) noexcept { ::DestroyIcon(i); }
inline void DestroyMenuNoThrow(HMENU m) noexcept { ::DestroyMenu(m); }
inline void DeleteObjectNoThrow(HGDIOBJ o) noexcept { ::DeleteObject(o); }
inline void DestroyWindowNoThrow(HWND w) noexcept { ::DestroyWindow(w); }
inline void DeleteDCNoThrow(HDC dc) noexcept { ::DeleteDC(dc); }
inline void InternetCloseHandleNoThrow(HINTERNET h) noexcept { ::InternetCloseHandle(h); }
inline void CloseAlgorithmNoThrow(BCRYPT_ALG_HANDLE a) noexcept { ::BCryptCloseAlgorithmProvider(a, 0); }
inline void DestroyHashNoThrow(BCRYPT_HASH_HANDLE h) noexcept { ::BCryptDestroyHash(h); }
inline void DestroyKeyNoThrow(BCRYPT_KEY_HANDLE k) noexcept { ::BCryptDestroyKey(k); }
inline void UnhookNoThrow(HHOOK hook) noexcept { ::UnhookWindowsHookEx(hook); }
inline void ImageListDestroyNoThrow(HIMAGELIST list) noexcept { ::ImageList_Destroy(list); }
inline void SysFreeStringNoThrow(BSTR s) noexcept { ::SysFreeString(s); }
inline void CoTaskMemFreeNoThrow(void* p) noexcept { ::CoTaskMemFree(p); }
inline void LocalFreeNoThrow(HLOCAL p) noexcept { ::LocalFree(p); }
}  // namespace detail

// Events, threads, mutexes: invalid is NULL.
using UniqueHandle = UniqueAny<detail::NullTraits<HANDLE, detail::CloseHandleNoThrow>>;
// Files opened by CreateFileW: invalid is INVALID_HANDLE_VALUE.
using UniqueFile = UniqueAny<detail::FileTraits<detail::CloseHandleNoThrow>>;
using UniqueFindHandle = UniqueAny<detail::FileTraits<detail::FindCloseNoThrow>>;
using UniqueHKey = UniqueAny<detail::NullTraits<HKEY, detail::RegCloseKeyNoThrow>>;
using UniqueIcon = UniqueAny<detail::NullTraits<HICON, detail::DestroyIconNoThrow>>;
using UniqueMenu = UniqueAny<detail::NullTraits<HMENU, detail::DestroyMenuNoThrow>>;
using UniqueGdiObject = UniqueAny<detail::NullTraits<HGDIOBJ, detail::DeleteObjectNoThrow>>;
using UniqueWindow = UniqueAny<detail::NullTraits<HWND, detail::DestroyWindowNoThrow>>;
// Device contexts made by CreateCompatibleDC / CreateDCW; window DCs are WindowDC of win/GdiScope.h.
using UniqueDC = UniqueAny<detail::NullTraits<HDC, detail::DeleteDCNoThrow>>;
// WinINet session, connection and request handles.
using UniqueInternet = UniqueAny<detail::NullTraits<HINTERNET, detail::InternetCloseHandleNoThrow>>;
// BCrypt algorithm providers, hash objects and keys.
using UniqueAlgorithm = UniqueAny<detail::NullTraits<BCRYPT_ALG_HANDLE, detail::CloseAlgorithmNoThrow>>;
using UniqueHash = UniqueAny<detail::NullTraits<BCRYPT_HASH_HANDLE, detail::DestroyHashNoThrow>>;
using UniqueCryptKey = UniqueAny<detail::NullTraits<BCRYPT_KEY_HANDLE, detail::DestroyKeyNoThrow>>;
using UniqueHook = UniqueAny<detail::NullTraits<HHOOK, detail::UnhookNoThrow>>;
using UniqueImageList = UniqueAny<detail::NullTraits<HIMAGELIST, detail::ImageListDestroyNoThrow>>;
// Strings made by SysAllocString for COM calls.
using UniqueBstr = UniqueAny<detail::NullTraits<BSTR, detail::SysFreeStringNoThrow>>;
// Memory the shell or COM hands over (item id lists, strings), freed with CoTaskMemFree.
using UniqueCoTaskMem = UniqueAny<detail::NullTraits<void*, detail::CoTaskMemFreeNoThrow>>;
// Memory the system allocates for the caller with LocalAlloc (SID strings, formatted messages).
using UniqueLocalMem = UniqueAny<detail::NullTraits<HLOCAL, detail::LocalFreeNoThrow>>;

}  // namespace vw
