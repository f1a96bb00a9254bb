// The control object's document and security information, as records and
// as the one-line texts the viewer reads.
#include "engine/control/document_info.h"
#include "engine/control/vistrel.h"
#include "engine/doc/pdf_catalog.h"

namespace vistrel {

using namespace VISTRELLib;
using win::S_FALSE;
using win::S_OK;

HRESULT Vistrel::get_info(DocInfo* pVal) {
    if (!catalog_ || !catalog_->isLoaded() || !info_ || !pVal)
        return S_FALSE;
    readDocInfo(*info_, *pVal);
    return S_OK;
}

HRESULT Vistrel::get_infoInStr(BSTR* pVal) {
    if (!pVal)
        return win::E_POINTER;
    DocInfo record{};
    if (get_info(&record) != S_OK)
        return S_FALSE;
    const std::u16string text = docInfoText(record);
    clearDocInfo(record);
    // The slot takes a new text; what it held is the caller's.
    return newText(text, pVal) == S_OK ? S_OK : S_FALSE;
}

HRESULT Vistrel::get_SecurityInfo(SecurityInfo* pVal) {
    if (!pVal)
        return win::E_POINTER;
    if (!document_ || !catalog_ || !catalog_->isLoaded())
        return S_FALSE;
    *pVal = securityInfoOf(*document_);
    return S_OK;
}

HRESULT Vistrel::get_securityInfoInStr(BSTR* pVal) {
    if (!pVal)
        return win::E_POINTER;
    SecurityInfo record{};
    if (get_SecurityInfo(&record) != S_OK)
        return S_FALSE;
    const std::u16string text = securityInfoText(record);
    BSTR made = nullptr;
    if (newText(text, &made) != S_OK)
        return S_FALSE;
    win::SysFreeString(*pVal);
    *pVal = made;
    return S_OK;
}

}  // namespace vistrel
