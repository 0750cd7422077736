#include "net/trust_win.h"

#include <vector>

#include "net/http.h"

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

bool DigestOpenFile(HANDLE file, FileDigest& digest) {
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    std::vector<unsigned char> piece(kReadPieceBytes);
    FileHasher hasher;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, piece.data(), kReadPieceBytes, &read, nullptr)) return false;
        if (read == 0) break;
        hasher.Update(piece.data(), read);
    }
    digest = hasher.Finish();
    return true;
}

Result PrepareDownloadCheckFor(const std::string& step, const std::string& url,
                               DownloadCheck& check) {
    check.keys = LoadTrustedKeys();
    if (check.keys.mode == TrustedKeys::Mode::kUnverified) return Result::Ok();
    if (check.keys.mode == TrustedKeys::Mode::kRefuseAll) {
        return Result::Failed(step, "this build's trusted keys cannot be read");
    }
    if (sodium_init() < 0) return Result::Failed(step, "the signature library did not start");
    // A URL whose file cannot be named can have no signature that names it.
    check.fileName = SignedFileName(url);
    if (check.fileName.empty()) {
        return Result::Failed(step, "the URL " + UrlForLog(url) + " names no file to sign");
    }
    std::string text;
    const Result fetched = HttpGetToString(url + kSignatureSuffix, text, kMaxSignatureFileBytes);
    if (!fetched) return Result::Failed(step, "its signature: " + fetched.Describe());
    if (!ParseSignatureFile(text, check.signature)) {
        return Result::Failed(
            step, "the signature at " + UrlForLog(url + kSignatureSuffix) + " is malformed");
    }
    if (FindSigner(check.keys, check.signature) == nullptr) {
        return Result::Failed(step, "signature by a key this build does not trust");
    }
    return Result::Ok();
}

bool PrepareDownloadCheck(const std::string& url, DownloadCheck& check) {
    return PrepareDownloadCheckFor("", url, check).ok();
}

bool IsFileTrusted(const DownloadCheck& check, HANDLE file) {
    if (check.keys.mode == TrustedKeys::Mode::kUnverified) return true;
    if (check.keys.mode != TrustedKeys::Mode::kVerify) return false;
    const PublicKey* signer = FindSigner(check.keys, check.signature);
    FileDigest digest;
    return signer != nullptr && DigestOpenFile(file, digest) &&
           VerifySignature(*signer, check.signature, digest, check.fileName);
}

}  // namespace zendro
