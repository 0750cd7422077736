#include "net/trust_win.h"

#include <vector>

#include "net/http.h"
#include "win/owners_win.h"
#include "win/text_win.h"
#include "win/user_mutex_win.h"

namespace zendro {
namespace {

constexpr wchar_t kTrustedKeysResource[] = L"TRUSTEDKEYS";
constexpr DWORD kReadPieceBytes = 64 * 1024;
// Hosts that accept signatures at the same moment take turns at moving the times up, so that
// none moves one down again.
constexpr wchar_t kAcceptedSignaturesMutex[] = L"AcceptedSignatures";
constexpr DWORD kAcceptedSignaturesWaitMs = 2000;

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
    const PublicKey* signer = FindSigner(check.keys, check.signature);
    if (signer == nullptr) {
        return Result::Failed(step, "signature by a key this build does not trust");
    }
    // All that can be checked without the file is checked before it is asked for.
    if (!VerifyTrustedComment(*signer, check.signature, check.fileName)) {
        return Result::Failed(step,
                              "its signature's trusted comment is not genuine or does not "
                              "name the file " +
                                  check.fileName);
    }
    check.timestamp = SignatureTimestamp(check.signature.trustedComment);
    if (const std::optional<uint64_t> accepted = AcceptedSignatureTime(check.fileName);
        IsRollback(accepted, check.timestamp)) {
        return Result::Failed(step, "its signature, made " +
                                        DescribeSignatureTime(check.timestamp) +
                                        ", is older than the one accepted before, made " +
                                        DescribeSignatureTime(*accepted));
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
    if (signer == nullptr || !DigestOpenFile(file, digest) ||
        !VerifySignature(*signer, check.signature, digest, check.fileName)) {
        return false;
    }
    RememberSignatureTime(check.fileName, check.timestamp);
    return true;
}

std::optional<uint64_t> AcceptedSignatureTime(const std::string& fileName) {
    UniqueKey key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kAcceptedSignaturesKey, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    ULONGLONG value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    if (::RegQueryValueExW(key.get(), ToWide(fileName).c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_QWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

bool RememberSignatureTime(const std::string& fileName, uint64_t timestamp) {
    const UserMutex turn(kAcceptedSignaturesMutex, kAcceptedSignaturesWaitMs);
    const std::optional<uint64_t> accepted = AcceptedSignatureTime(fileName);
    if (accepted && *accepted >= timestamp) return true;
    UniqueKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kAcceptedSignaturesKey, 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const ULONGLONG value = timestamp;
    return ::RegSetValueExW(key.get(), ToWide(fileName).c_str(), 0, REG_QWORD,
                            reinterpret_cast<const BYTE*>(&value), sizeof value) == ERROR_SUCCESS;
}

}  // namespace zendro
