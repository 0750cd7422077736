#pragma once

// Owners of Windows resources. Every handle the host opens is held by one of these, so no early
// return can leak it.

#include <windows.h>
#include <oleauto.h>
#include <cstdio>

#include "base/unique_resource.h"

namespace zendro {

// Kernel handles take two forms of none: CreateFile and FindFirstFile report failure as
// INVALID_HANDLE_VALUE, most other calls as null. INVALID_HANDLE_VALUE is a cast, not a constant a
// template argument may be, so these owners keep traits of their own.
template <auto close>
struct KernelHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Value v) { return v != INVALID_HANDLE_VALUE && v != nullptr; }
    static void Close(Value v) { close(v); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits<::CloseHandle>>;
using UniqueFindHandle = UniqueResource<KernelHandleTraits<::FindClose>>;

using UniqueKey = UniqueAny<HKEY, ::RegCloseKey>;
using UniqueFile = UniqueAny<FILE*, std::fclose>;
using UniqueLocalMemory = UniqueAny<HLOCAL, ::LocalFree>;
using UniqueBstr = UniqueAny<BSTR, ::SysFreeString>;  // from SysAllocString or a COM call

// A COM interface pointer, released once when the owner goes: closing is a call on the object
// itself, so each interface gets its own closing function.
template <typename Interface>
void ReleaseInterface(Interface* object) {
    object->Release();
}
template <typename Interface>
using ComPtr = UniqueAny<Interface*, ReleaseInterface<Interface>>;

}  // namespace zendro
