#include "net/trust_win.h"

#include <windows.h>

#include <vector>

#include "net/http.h"
#include "win/owners_win.h"

namespace zendro {
namespace {

constexpr wchar_t kTrustedKeysResource[] = L"TRUSTEDKEYS";
constexpr DWORD kReadPieceBytes = 64 * 1024;

}  // namespace

TrustedKeys LoadTrustedKeys() {
    const HRSRC found = ::FindResourceW(nullptr, kTrustedKeysResource, RT_RCDATA);
    if (found == nullptr) return {};
    const HGLOBAL loaded = ::LoadResource(nullptr, found);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(nullptr, found);
    if (data == nullptr && size != 0) return {TrustedKeys::Mode::kRefuseAll, {}};
    return ParseTrustedKeys(std::string_view(static_cast<const char*>(data), size));
}

bool DigestFile(const std::wstring& path, FileDigest& digest) {
    const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    std::vector<unsigned char> piece(kReadPieceBytes);
    FileHasher hasher;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), piece.data(), kReadPieceBytes, &read, nullptr)) return false;
        if (read == 0) break;
        hasher.Update(piece.data(), read);
    }
    digest = hasher.Finish();
    return true;
}

bool IsDownloadTrusted(const std::string& url, const std::wstring& path) {
    const TrustedKeys keys = LoadTrustedKeys();
    if (keys.mode == TrustedKeys::Mode::kUnverified) return true;
    if (keys.mode == TrustedKeys::Mode::kRefuseAll || sodium_init() < 0) return false;

    std::string text;
    if (!HttpGetToStringAtMost(url + kSignatureSuffix, kMaxSignatureFileBytes, text)) return false;
    Signature signature;
    if (!ParseSignatureFile(text, signature)) return false;
    const PublicKey* signer = FindSigner(keys, signature);
    FileDigest digest;
    return signer != nullptr && DigestFile(path, digest) &&
           VerifySignature(*signer, signature, digest, SignedFileName(url));
}

}  // namespace zendro
