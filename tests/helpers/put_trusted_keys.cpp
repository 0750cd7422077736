// Test helper: put_trusted_keys.exe <executable> <keys file> makes the file's bytes the
// executable's "TRUSTEDKEYS" resource (RCDATA, language neutral), as a build with those keys would
// carry them. Exits 0 when the executable was rewritten.

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) return 3;
    std::string keys(std::istreambuf_iterator<char>(in), {});
    HANDLE update = ::BeginUpdateResourceW(argv[1], FALSE);
    if (update == nullptr) return 4;
    // No data at all removes the resource: UpdateResourceW refuses a pointer with size 0.
    const BOOL put = ::UpdateResourceW(
        update, RT_RCDATA, L"TRUSTEDKEYS", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
        keys.empty() ? nullptr : keys.data(), static_cast<DWORD>(keys.size()));
    return ::EndUpdateResourceW(update, !put) && put ? 0 : 5;
}
