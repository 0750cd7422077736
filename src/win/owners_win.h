#pragma once

// Owners of Windows resources. Every handle the host opens is held by one of these, so no early
// return can leak it.

#include <windows.h>
#include <oleauto.h>
#include <cstdio>

#include "win/unique_resource.h"

namespace zendro {

struct KernelHandleTraits {  // CreateFile and friends report failure as INVALID_HANDLE_VALUE
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Value v) { return v != INVALID_HANDLE_VALUE && v != nullptr; }
    static void Close(Value v) { ::CloseHandle(v); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct RegistryKeyTraits {
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::RegCloseKey(v); }
};
using UniqueKey = UniqueResource<RegistryKeyTraits>;

struct FileStreamTraits {
    using Value = FILE*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { std::fclose(v); }
};
using UniqueFile = UniqueResource<FileStreamTraits>;

struct LocalMemoryTraits {
    using Value = HLOCAL;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::LocalFree(v); }
};
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

// COM interface pointer: released once, when the owner goes.
template <typename Interface>
struct ComTraits {
    using Value = Interface*;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { v->Release(); }
};
template <typename Interface>
using ComPtr = UniqueResource<ComTraits<Interface>>;

// A BSTR from SysAllocString or handed out by a COM call.
struct BstrTraits {
    using Value = BSTR;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { ::SysFreeString(v); }
};
using UniqueBstr = UniqueResource<BstrTraits>;

struct FindHandleTraits {  // FindFirstFileW
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Value v) { return v != INVALID_HANDLE_VALUE && v != nullptr; }
    static void Close(Value v) { ::FindClose(v); }
};
using UniqueFindHandle = UniqueResource<FindHandleTraits>;

}  // namespace zendro
