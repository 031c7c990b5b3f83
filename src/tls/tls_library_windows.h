// Schannel (through secur32.dll's SSPI table) and the certificate functions of crypt32.dll,
// loaded at run time from System32 alone: a DLL of either name beside the program (a
// downloads folder holds anything) must never be the one that decides whom we talk to.
#pragma once

#include <windows.h>

#define SECURITY_WIN32
#include <security.h>
#include <sspi.h>
#include <wincrypt.h>

namespace tarvo::tls {

struct TSchannelLibrary {
  // The SSPI dispatch table; every entry the sessions call is checked to be there.
  PSecurityFunctionTableW Sspi = nullptr;

  decltype(&::CertGetCertificateChain) GetCertificateChain = nullptr;
  decltype(&::CertFreeCertificateChain) FreeCertificateChain = nullptr;
  decltype(&::CertVerifyCertificateChainPolicy) VerifyCertificateChainPolicy = nullptr;
  decltype(&::CertOpenStore) OpenStore = nullptr;
  decltype(&::CertCloseStore) CloseStore = nullptr;
  decltype(&::CertAddStoreToCollection) AddStoreToCollection = nullptr;
  decltype(&::CertAddEncodedCertificateToStore) AddEncodedCertificateToStore = nullptr;
  decltype(&::CertCreateCertificateContext) CreateCertificateContext = nullptr;
  decltype(&::CertFreeCertificateContext) FreeCertificateContext = nullptr;
  decltype(&::CertCompareCertificateName) CompareCertificateName = nullptr;
  decltype(&::CertVerifyTimeValidity) VerifyTimeValidity = nullptr;
  decltype(&::CertFindExtension) FindExtension = nullptr;
  decltype(&::CryptDecodeObjectEx) DecodeObjectEx = nullptr;
  decltype(&::CertGetNameStringW) GetNameStringW = nullptr;
};

// Loaded once for the process; raises ETlsError (STlsLibraryMissing) when a DLL or one of
// its functions is missing.
const TSchannelLibrary& SchannelLibrary();

}  // namespace tarvo::tls
