// The roots of a chain document: each Blob goes straight into the registry form of the
// machine's root store, unless its certificate has expired.
#include <cstring>

#include "CertificateChainOperate.h"
#include "CertificateFilter.h"
#include "ChainNodeContent.h"
#include "ChainTrace.h"
#include "ResourceRegistry.h"
#include "ZeroedArray.h"

namespace
{
// Property record: id, reserved, data length (little-endian), then the data.
const DWORD BLOB_RECORD_HEADER_SIZE = 12;
const DWORD CERT_RECORD_ID = 32;

DWORD ReadLittleEndian32(const BYTE* pb)
{
    return (DWORD)pb[0] | ((DWORD)pb[1] << 8) | ((DWORD)pb[2] << 16) | ((DWORD)pb[3] << 24);
}
} // namespace

HRESULT ParseRootCACertificateNode(IXMLDOMNode* pRootCACertificateNode)
{
    const LPCWSTR lpwszOperation = u"ParseRootCACertificateNode";
    TraceHelper trace(lpwszOperation);
    if (pRootCACertificateNode == NULL)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter.", u"pRootCACertificateNode == NULL",
                   E_INVALIDARG);
        return E_INVALIDARG;
    }

    CInterfaceHolder<IXMLDOMNodeList> pChildNodes;
    LONG lLength = 0;
    HRESULT hResult = GetChildNodeList(lpwszOperation, u"ParseRootCACertificateNode-get_childNodes",
                                       u"ParseRootCACertificateNode-get_length", pRootCACertificateNode, &pChildNodes,
                                       &lLength);
    if (FAILED(hResult))
    {
        return hResult;
    }

    FILETIME ftNow = {};
    hResult = GetMachineTime(&ftNow);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"GetMachineTime", u"FAILED(hResult)", hResult);
    if (FAILED(hResult))
    {
        return hResult;
    }

    // One bad certificate does not stop the others.
    for (LONG i = 0; i < lLength; ++i)
    {
        CInterfaceHolder<IXMLDOMNode> pCertificateNode;
        hResult = pChildNodes->get_item(i, &pCertificateNode);
        if (FAILED(hResult) || !pCertificateNode)
        {
            CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ParseRootCACertificateNode-get_item", u"FAILED(hResult)",
                       FAILED(hResult) ? hResult : E_XML_PARSE_FAILED);
            continue;
        }
        CBstrHolder bstrName;
        hResult = pCertificateNode->get_nodeName(&bstrName);
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"ParseRootCACertificateNode-get_text", u"FAILED(hResult)",
                   hResult);
        QM_TRACE_INFO((LPCWSTR)bstrName);

        hResult = ParseCertificateNode(ftNow, pCertificateNode);
        QM_TRACE_INFO(i, hResult);
    }
    return S_OK;
}

HRESULT ParseCertificateNode(const FILETIME& ftNow, IXMLDOMNode* pCertificateNode)
{
    const LPCWSTR lpwszOperation = u"ParseCertificateNode";
    TraceHelper trace(lpwszOperation);
    if (pCertificateNode == NULL)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"Check parameter.", u"pCertificateNode == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }

    LPWSTR lpwszPath = nullptr;
    LPWSTR lpwszKeyName = nullptr;
    LPWSTR lpwszContent = nullptr;
    BYTE* pbCert = nullptr;
    DWORD cbCert = 0;
    PCCERT_CONTEXT pstCertContext = nullptr;

    HRESULT hResult = GetRegisteredCertificateInfoNode(pCertificateNode, &lpwszPath, &lpwszKeyName, &lpwszContent);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"GetRegisteredCertificateInfoNode", u"FAILED(hResult)", hResult);
    if (SUCCEEDED(hResult))
    {
        hResult = GetCertFromCertificateBlobProperties(&pbCert, lpwszPath, lpwszKeyName, lpwszContent, &cbCert);
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"GetCertificateContent", u"FAILED(hResult)", hResult);
    }
    if (SUCCEEDED(hResult))
    {
        pstCertContext = CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, pbCert, cbCert);
        if (pstCertContext == NULL)
        {
            hResult = HResultOfFailedCallKeepCustomer();
            CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"CertCreateCertificateContext", u"pstCertContext == NULL",
                       hResult);
        }
    }
    if (SUCCEEDED(hResult))
    {
        // A failure of the check itself counts as not expired.
        BOOL bExpired = FALSE;
        HRESULT hrCheck = CheckCertValidTime(ftNow, &bExpired, pstCertContext);
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"CheckCertValidTime", u"FAILED(hResult)", hrCheck);
        if (SUCCEEDED(hrCheck) && bExpired)
        {
            QM_TRACE_INFO(lpwszKeyName, u"expired, not written");
        }
        else
        {
            hResult = WriteCertificatetoRegistry(lpwszPath, lpwszKeyName, lpwszContent);
            CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"WriteCertificatetoRegistry", u"FAILED(hResult)", hResult);
        }
    }

    if (pstCertContext)
    {
        CertFreeCertificateContext(pstCertContext);
    }
    delete[] pbCert;
    delete[] lpwszContent;
    delete[] lpwszKeyName;
    delete[] lpwszPath;
    return hResult;
}

HRESULT GetRegisteredCertificateInfoNode(IXMLDOMNode* pCertificateNode, LPWSTR* ppwszPath, LPWSTR* ppwszKeyName,
                                         LPWSTR* ppwszContent)
{
    const LPCWSTR lpwszOperation = u"GetRegisteredCertificateInfoNode";
    TraceHelper trace(lpwszOperation);

    CInterfaceHolder<IXMLDOMNodeList> pChildNodes;
    LONG lLength = 0;
    HRESULT hResult =
        GetChildNodeList(lpwszOperation, u"get_childNodes", u"get_length", pCertificateNode, &pChildNodes, &lLength);
    if (FAILED(hResult))
    {
        return hResult;
    }
    if (lLength < 3)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"the number of RegeditInfo Child Node is error!", u"TRUE",
                   E_XML_PARSE_FAILED);
        return E_XML_PARSE_FAILED;
    }

    // Path, key name and content by position, whatever the children are called.
    LPWSTR rgpwszValues[3] = {nullptr, nullptr, nullptr};
    for (LONG i = 0; i < 3; ++i)
    {
        CInterfaceHolder<IXMLDOMNode> pChildNode;
        hResult = pChildNodes->get_item(i, &pChildNode);
        if (SUCCEEDED(hResult) && !pChildNode)
        {
            hResult = E_XML_PARSE_FAILED;
        }
        if (SUCCEEDED(hResult))
        {
            hResult = GetNodeValue(pChildNode, &rgpwszValues[i]);
        }
        if (FAILED(hResult))
        {
            CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"GetRegisteredCertificateInfoNode-GetNodeValue",
                       u"FAILED(hResult)", hResult);
            for (LPWSTR lpwszValue : rgpwszValues)
            {
                delete[] lpwszValue;
            }
            return hResult;
        }
    }
    QM_TRACE_INFO(rgpwszValues[0], rgpwszValues[1]);
    *ppwszPath = rgpwszValues[0];
    *ppwszKeyName = rgpwszValues[1];
    *ppwszContent = rgpwszValues[2];
    return S_OK;
}

HRESULT GetCertFromCertificateBlobProperties(BYTE** ppbCert, LPCWSTR lpwszPath, LPCWSTR lpwszKeyName,
                                             LPCWSTR lpwszContent, DWORD* pcbCert)
{
    const LPCWSTR lpwszOperation = u"GetCertFromCertificateBlobProperties";
    TraceHelper trace(lpwszOperation);
    if (!ppbCert || !lpwszContent || !pcbCert)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter.", u"lpwszContent == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }

    BYTE* pbRegInfo = nullptr;
    DWORD dwRegInfoSize = 0;
    HRESULT hResult = DecodeBase64Text(lpwszOperation, u"UTF16ToUTF8", u"Base64DecodeEx", lpwszContent, &pbRegInfo,
                                    &dwRegInfoSize);
    if (FAILED(hResult))
    {
        return hResult;
    }

    // Walk the records up to the certificate's; positions are 64-bit so that no length wraps.
    unsigned long long dwCurentPos = 0;
    DWORD nPropertyID = 0;
    DWORD nLen = 0;
    bool bFound = false;
    while (dwCurentPos < dwRegInfoSize)
    {
        if (dwCurentPos + BLOB_RECORD_HEADER_SIZE > dwRegInfoSize)
        {
            hResult = E_FAIL;
            break;
        }
        nPropertyID = ReadLittleEndian32(pbRegInfo + dwCurentPos);
        nLen = ReadLittleEndian32(pbRegInfo + dwCurentPos + 8);
        dwCurentPos += BLOB_RECORD_HEADER_SIZE;
        if (dwCurentPos + nLen > dwRegInfoSize)
        {
            hResult = E_FAIL;
            break;
        }
        if (nPropertyID == CERT_RECORD_ID)
        {
            bFound = true;
            break;
        }
        dwCurentPos += nLen;
    }
    if (FAILED(hResult))
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"Check regInfosize", u"dwCurentPos + nLen > dwRegInfoSize",
                   hResult);
        delete[] pbRegInfo;
        return hResult;
    }
    if (!bFound)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"Check Certificate node", u"nPropertyID != 32", E_FAIL);
        delete[] pbRegInfo;
        return E_FAIL;
    }

    BYTE* pbyCert = nLen ? NewZeroedArray<BYTE>(nLen) : nullptr;
    if (!pbyCert)
    {
        // An empty record 32 holds no certificate either.
        hResult = nLen ? E_OUTOFMEMORY : E_FAIL;
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"New buffer", u"!pbyCert", hResult);
        delete[] pbRegInfo;
        return hResult;
    }
    memcpy(pbyCert, pbRegInfo + dwCurentPos, nLen);
    delete[] pbRegInfo;
    *ppbCert = pbyCert;
    *pcbCert = nLen;
    return S_OK;
}

HRESULT WriteCertificatetoRegistry(LPCWSTR lpwszPath, LPCWSTR lpwszKeyName, LPCWSTR lpwszContent)
{
    const LPCWSTR lpwszOperation = u"WriteCertificatetoRegistry";
    TraceHelper trace(lpwszOperation);

    BYTE* pbBlob = nullptr;
    DWORD cbBlob = 0;
    HRESULT hResult = DecodeBase64Text(lpwszOperation, u"WriteCertificatetoRegistry-UTF16ToUTF8",
                                    u"WriteCertificatetoRegistry-Base64DecodeEx", lpwszContent, &pbBlob, &cbBlob);
    if (FAILED(hResult))
    {
        return hResult;
    }

    // The whole Blob, every property record included, replaces any earlier value.
    hResult = RegWriteBinaryValue(lpwszPath, lpwszKeyName, pbBlob, cbBlob);
    CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"WriteCertificatetoRegistry-RegWriteBinaryValue",
               u"FAILED(hResult)", hResult);
    delete[] pbBlob;
    return hResult;
}

HRESULT CheckCertValidTime(const FILETIME& ftNow, BOOL* pbExpired, PCCERT_CONTEXT pCertContext)
{
    const LPCWSTR lpwszOperation = u"CheckCertValidTime";
    TraceHelper trace(lpwszOperation);
    if (!pbExpired || !pCertContext || !pCertContext->pCertInfo)
    {
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"check parameter.", u"pCertContext == NULL", E_INVALIDARG);
        return E_INVALIDARG;
    }

    // Only NotAfter counts: a root that is not valid yet is still installed.
    *pbExpired = CompareFileTime(&pCertContext->pCertInfo->NotAfter, &ftNow) == -1 ? TRUE : FALSE;

    FILETIME ftLocal = {};
    SYSTEMTIME stNotAfter = {};
    if (FileTimeToLocalFileTime(&pCertContext->pCertInfo->NotAfter, &ftLocal) &&
        FileTimeToSystemTime(&ftLocal, &stNotAfter))
    {
        LPWSTR lpwszSubject = nullptr;
        DWORD cchSubject = 0;
        QueryCertContextInfo(&cchSubject, &lpwszSubject, pCertContext, CERT_QUERY_SUBJECT);
        QM_TRACE_INFO(lpwszSubject ? lpwszSubject : u"", stNotAfter.wYear, stNotAfter.wMonth, stNotAfter.wDay,
                      stNotAfter.wHour, stNotAfter.wMinute, stNotAfter.wSecond, *pbExpired);
        delete[] lpwszSubject;
    }
    return S_OK;
}

HRESULT GetMachineTime(FILETIME* pftNow)
{
    const LPCWSTR lpwszOperation = u"GetMachineTime";
    TraceHelper trace(lpwszOperation);

    SYSTEMTIME stLocal = {};
    SYSTEMTIME stUniversal = {};
    GetLocalTime(&stLocal);
    BOOL bResult = TzSpecificLocalTimeToSystemTime(nullptr, &stLocal, &stUniversal);
    if (!bResult)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"TzSpecificLocalTimeToSystemTime", u"!bResult", hResult);
        return hResult;
    }
    bResult = SystemTimeToFileTime(&stUniversal, pftNow);
    if (!bResult)
    {
        HRESULT hResult = HResultOfFailedCallKeepCustomer();
        CHAIN_STEP(CHAIN_OPERATE_UNIT, lpwszOperation, u"SystemTimeToFileTime", u"!bResult", hResult);
        return hResult;
    }
    return S_OK;
}
