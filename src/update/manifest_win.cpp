#include "update/manifest_win.h"

#include <climits>
#include <optional>
#include <windows.h>
#include <msxml.h>
#include <ole2.h>

#include "win/owners_win.h"

namespace zendro {
namespace {

// mingw-w64 links neither of these: the published values of MSXML's DOMDocument and its interface.
constexpr CLSID kDomDocumentClsid = {
    0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kXmlDomDocumentIid = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

UniqueBstr AnsiToBstr(const std::string& text) {
    if (text.size() > INT_MAX) return UniqueBstr();
    const int length = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (needed <= 0 && length != 0) return UniqueBstr();
    UniqueBstr converted(SysAllocStringLen(nullptr, static_cast<UINT>(needed)));
    if (!converted) return converted;
    if (needed > 0 &&
        MultiByteToWideChar(CP_ACP, 0, text.data(), length, converted.get(), needed) != needed) {
        return UniqueBstr();
    }
    return converted;
}

std::string BstrToAnsi(BSTR text) {
    const UINT length = SysStringLen(text);
    if (length == 0 || length > INT_MAX) return {};
    const int needed = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0,
                                           nullptr, nullptr);
    if (needed <= 0) return {};
    std::string converted(static_cast<size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), converted.data(), needed,
                            nullptr, nullptr) != needed) {
        return {};
    }
    return converted;
}

ComPtr<IXMLDOMDocument> CreateDomDocument() {
    ComPtr<IUnknown> unknown;
    if (FAILED(CoCreateInstance(kDomDocumentClsid, nullptr, CLSCTX_ALL, IID_IUnknown,
                                reinterpret_cast<void**>(unknown.put())))) {
        return {};
    }
    ComPtr<IXMLDOMDocument> document;
    if (FAILED(OleRun(unknown.get())) ||
        FAILED(unknown.get()->QueryInterface(kXmlDomDocumentIid,
                                             reinterpret_cast<void**>(document.put())))) {
        return {};
    }
    return document;
}

// The text of the first node that `path` selects; nothing when there is none or a call fails.
std::optional<std::string> SelectText(IXMLDOMDocument* document, const wchar_t* path) {
    UniqueBstr query(SysAllocString(path));
    if (!query) return std::nullopt;
    ComPtr<IXMLDOMNode> node;
    if (document->selectSingleNode(query.get(), node.put()) != S_OK || !node) return std::nullopt;
    UniqueBstr text;
    if (FAILED(node.get()->get_text(text.put()))) return std::nullopt;
    return BstrToAnsi(text.get());
}

}  // namespace

void ParseUpdateManifest(const std::string& manifestText, std::string& hostUrl,
                         std::string& hostVersion) {
    CoInitialize(nullptr);  // stays initialised for the rest of the run
    const ComPtr<IXMLDOMDocument> document = CreateDomDocument();
    if (!document) return;

    UniqueBstr xml = AnsiToBstr(manifestText);
    if (!xml) return;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document.get()->loadXML(xml.get(), &loaded)) || loaded != VARIANT_TRUE) return;

    std::optional<std::string> url = SelectText(document.get(), L"/cpupdate/hosturl");
    if (!url) return;
    hostUrl = std::move(*url);
    std::optional<std::string> version = SelectText(document.get(), L"/cpupdate/hostver");
    if (!version) return;
    hostVersion = std::move(*version);
}

}  // namespace zendro
