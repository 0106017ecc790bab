// Import of the authority's certificate-chain documents: the roots straight into the
// registry form of the machine's root store, the bundle's intermediates into its "CA" store.
#pragma once

#include <string> // before windows.h: the CRT's char16_t overloads must not join std::

#include <windows.h>

#include <msxml6.h>

// One document from the plug-in's own "CERTIFICATE" resources.
HRESULT ImportCertificateChainfromResoure(DWORD dwResourceId);
HRESULT ImportCertificateChainfromBlobData(const BYTE* lpResData, DWORD dwResDataSize);

// The document through the platform's DOM (COM must be initialised on the thread).
HRESULT LoadXMLDom(const BYTE* lpResData, DWORD dwResDataSize, IXMLDOMDocument** ppXMLDomDoc);
HRESULT ImportCertChainfromXMLDOMDoc(IXMLDOMDocument* pXMLDomDoc);
HRESULT GetXMLRootNode(IXMLDOMDocument* pXMLDomDoc, IXMLDOMNode** ppRootNode);
// The first child whose name contains the wanted name, in any letter case.
HRESULT FindChildNode(IXMLDOMNode** ppChildNode, IXMLDOMNode* pParentNode, LPCWSTR bstrChildNodeName);
// The node's text as a new array the caller frees with delete[].
HRESULT GetNodeValue(IXMLDOMNode* pNode, LPWSTR* ppwszValue);

// Roots.
HRESULT ParseRootCACertificateNode(IXMLDOMNode* pRootCACertificateNode);
HRESULT ParseCertificateNode(const FILETIME& ftNow, IXMLDOMNode* pCertificateNode);
HRESULT GetRegisteredCertificateInfoNode(IXMLDOMNode* pCertificateNode, LPWSTR* ppwszPath, LPWSTR* ppwszKeyName,
                                         LPWSTR* ppwszContent);
// Record 32 of the Blob carried in the content, as a new array.
HRESULT GetCertFromCertificateBlobProperties(BYTE** ppbCert, LPCWSTR lpwszPath, LPCWSTR lpwszKeyName,
                                             LPCWSTR lpwszContent, DWORD* pcbCert);
HRESULT WriteCertificatetoRegistry(LPCWSTR lpwszPath, LPCWSTR lpwszKeyName, LPCWSTR lpwszContent);
HRESULT CheckCertValidTime(const FILETIME& ftNow, BOOL* pbExpired, PCCERT_CONTEXT pCertContext);
HRESULT GetMachineTime(FILETIME* pftNow);

// The bundle.
HRESULT ParseP7bContentNode(IXMLDOMNode* pP7bContentNode);
HRESULT ImportP7bCertificatestoStore(const BYTE* pCertData, HCERTSTORE* phCertStore, DWORD dwCertDataSize);
HRESULT AddCACertficatetoStore(HCERTSTORE hBundleStore);
