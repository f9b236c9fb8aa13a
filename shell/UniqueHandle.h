#pragma once
// One move-only owner per Win32 resource kind, so that "released on every
// path" holds by construction. Each kind is one line: the handle type, the
// value that means "none", and the call that releases it.

#include <windows.h>
#include <objbase.h>

#include <string>
#include <utility>

namespace vo {

template <typename T, typename Traits>
class UniqueResource {
 public:
  UniqueResource() = default;
  explicit UniqueResource(T value) : fValue(value) {}
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : fValue(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueResource() { reset(); }

  T get() const { return fValue; }
  explicit operator bool() const { return fValue != Traits::Invalid(); }
  // For out-parameters: releases what is held and hands out the slot.
  T* put() { reset(); return &fValue; }
  T release() { return std::exchange(fValue, Traits::Invalid()); }
  void reset(T value = Traits::Invalid()) {
    T old = std::exchange(fValue, value);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  T fValue = Traits::Invalid();
};

struct FileHandleTraits {  // CreateFileW reports failure as INVALID_HANDLE_VALUE
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct KernelHandleTraits {  // process, mapping and event handles: null on failure
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY k) { ::RegCloseKey(k); }
};
struct FindHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::FindClose(h); }
};
struct GdiObjectTraits {
  static HGDIOBJ Invalid() { return nullptr; }
  static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};
struct CoTaskMemTraits {  // PIDLs and other shell allocations
  static void* Invalid() { return nullptr; }
  static void Close(void* p) { ::CoTaskMemFree(p); }
};

using UniqueFile = UniqueResource<HANDLE, FileHandleTraits>;
using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using UniqueRegKey = UniqueResource<HKEY, RegKeyTraits>;
using UniqueFindHandle = UniqueResource<HANDLE, FindHandleTraits>;
using UniqueGdiObject = UniqueResource<HGDIOBJ, GdiObjectTraits>;
using UniqueCoTaskMem = UniqueResource<void*, CoTaskMemTraits>;

// COM interface pointer: Release on reset, put() for CoCreateInstance and
// QueryInterface out-parameters.
template <typename I>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : fPtr(std::exchange(other.fPtr, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) { reset(); fPtr = std::exchange(other.fPtr, nullptr); }
    return *this;
  }
  ~ComPtr() { reset(); }

  I* get() const { return fPtr; }
  I* operator->() const { return fPtr; }
  explicit operator bool() const { return fPtr != nullptr; }
  I** put() { reset(); return &fPtr; }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() { if (I* p = std::exchange(fPtr, nullptr)) p->Release(); }

 private:
  I* fPtr = nullptr;
};

// COM initialised for the lifetime of a scope on the current thread: a
// single-threaded apartment by default (the folder picker needs it); a
// multithreaded one (COINIT_MULTITHREADED) creates no hidden window.
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) : fHr(::CoInitializeEx(nullptr, model)) {}
  ~ComApartment() { if (SUCCEEDED(fHr)) ::CoUninitialize(); }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  bool ok() const { return SUCCEEDED(fHr); }

 private:
  HRESULT fHr;
};

// The core keeps text as std::u16string; wchar_t is 16 bits on Windows, so the
// edge converts by reinterpretation.
inline const wchar_t* WStr(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline std::u16string U16(const wchar_t* s) { return std::u16string(reinterpret_cast<const char16_t*>(s)); }
inline std::u16string U16(const wchar_t* s, size_t n) { return std::u16string(reinterpret_cast<const char16_t*>(s), n); }

}  // namespace vo
