#include "tls/tls_library_windows.h"

#include "core/resource_string.h"
#include "tls/tls_errors.h"
#include "tls/tls_strings.h"

namespace tarvo::tls {

namespace {

template <typename T>
void Bind(HMODULE module, const char* name, T& function, bool& complete) {
  // Through void*: a function pointer of one type is not converted to another directly.
  function = reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  if (function == nullptr) complete = false;
}

bool Load(TSchannelLibrary& library) {
  // Neither module is ever unloaded: sessions of any thread may use them until the end.
  HMODULE secur32 = ::LoadLibraryExW(L"secur32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  HMODULE crypt32 = ::LoadLibraryExW(L"crypt32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (secur32 == nullptr || crypt32 == nullptr) return false;
  bool complete = true;
  INIT_SECURITY_INTERFACE_W init = nullptr;
  Bind(secur32, "InitSecurityInterfaceW", init, complete);
  if (!complete) return false;
  library.Sspi = init();
  const PSecurityFunctionTableW t = library.Sspi;
  if (t == nullptr || t->AcquireCredentialsHandleW == nullptr || t->FreeCredentialsHandle == nullptr ||
      t->InitializeSecurityContextW == nullptr || t->DeleteSecurityContext == nullptr ||
      t->QueryContextAttributesW == nullptr || t->ApplyControlToken == nullptr || t->EncryptMessage == nullptr ||
      t->DecryptMessage == nullptr || t->FreeContextBuffer == nullptr)
    return false;
  Bind(crypt32, "CertGetCertificateChain", library.GetCertificateChain, complete);
  Bind(crypt32, "CertFreeCertificateChain", library.FreeCertificateChain, complete);
  Bind(crypt32, "CertVerifyCertificateChainPolicy", library.VerifyCertificateChainPolicy, complete);
  Bind(crypt32, "CertOpenStore", library.OpenStore, complete);
  Bind(crypt32, "CertCloseStore", library.CloseStore, complete);
  Bind(crypt32, "CertAddStoreToCollection", library.AddStoreToCollection, complete);
  Bind(crypt32, "CertAddEncodedCertificateToStore", library.AddEncodedCertificateToStore, complete);
  Bind(crypt32, "CertCreateCertificateContext", library.CreateCertificateContext, complete);
  Bind(crypt32, "CertFreeCertificateContext", library.FreeCertificateContext, complete);
  Bind(crypt32, "CertCompareCertificateName", library.CompareCertificateName, complete);
  Bind(crypt32, "CertVerifyTimeValidity", library.VerifyTimeValidity, complete);
  Bind(crypt32, "CertFindExtension", library.FindExtension, complete);
  Bind(crypt32, "CryptDecodeObjectEx", library.DecodeObjectEx, complete);
  Bind(crypt32, "CertGetNameStringW", library.GetNameStringW, complete);
  return complete;
}

}  // namespace

const TSchannelLibrary& SchannelLibrary() {
  // A failed load is not remembered: the initialiser raises, and the next session tries
  // again and reports the same.
  static const TSchannelLibrary library = [] {
    TSchannelLibrary loaded;
    if (!Load(loaded)) throw ETlsError(core::LoadResString(STlsLibraryMissing));
    return loaded;
  }();
  return library;
}

}  // namespace tarvo::tls
