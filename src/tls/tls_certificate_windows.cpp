#include "tls/tls_certificate_windows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>

#include "core/file_stream.h"
#include "core/format.h"
#include "core/utf16.h"
#include "net/net_stack.h"
#include "tls/certificate_text.h"
#include "tls/tls_library_windows.h"
#include "tls/tls_strings.h"

namespace tarvo::tls {

namespace {

// The fdwChecks bits of the SSL policy, as wininet.h names them (SECURITY_FLAG_...).
constexpr DWORD kIgnoreUnknownCA = 0x00000100;
constexpr DWORD kIgnoreNameInvalid = 0x00001000;

// Far above any real bundle (all public roots together are some 200 KB); a device file or a
// wrong name must not be read into memory whole.
constexpr std::int64_t kMaxCAFileBytes = 16 << 20;

template <typename T, typename TFree>
std::unique_ptr<std::remove_pointer_t<T>, TFree> Owned(T handle, TFree free) {
  return std::unique_ptr<std::remove_pointer_t<T>, TFree>(handle, free);
}

TCertificateNames ReadNames(const TSchannelLibrary& lib, PCCERT_CONTEXT certificate) {
  TCertificateNames names;
  const CERT_INFO* info = certificate->pCertInfo;
  const PCERT_EXTENSION extension = lib.FindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
  if (extension != nullptr) {
    CERT_ALT_NAME_INFO* alt = nullptr;
    DWORD size = 0;
    if (!lib.DecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData, extension->Value.cbData,
                            CRYPT_DECODE_ALLOC_FLAG, nullptr, &alt, &size))
      return names;  // an entry we cannot read must not let the CN stand in for it
    for (DWORD i = 0; i < alt->cAltEntry; ++i) {
      const CERT_ALT_NAME_ENTRY& entry = alt->rgAltEntry[i];
      if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME && entry.pwszDNSName != nullptr)
        names.DnsNames.push_back(core::WideToUtf8(entry.pwszDNSName));
      else if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS)
        names.IPAddresses.emplace_back(entry.IPAddress.pbData, entry.IPAddress.pbData + entry.IPAddress.cbData);
    }
    ::LocalFree(alt);
  }
  if (names.DnsNames.empty()) {
    wchar_t cn[256];
    char oid[] = szOID_COMMON_NAME;
    const DWORD n = lib.GetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, oid, cn, 256);
    // A name cut at 255 characters, or one with a NUL inside, is not the name it seems.
    if (n > 1 && n < 256 && std::wcslen(cn) == n - 1) names.CommonNames.push_back(core::WideToUtf8(cn));
  }
  return names;
}

bool SameBytes(PCCERT_CONTEXT certificate, const TDerCertificate& der) {
  return certificate->cbCertEncoded == der.size() &&
         std::memcmp(certificate->pbCertEncoded, der.data(), der.size()) == 0;
}

}  // namespace

std::vector<TDerCertificate> ReadCAFile(const std::string& fileName) {
  const auto unreadable = [&] { return ETlsError(core::Format(core::LoadResString(STlsCAFileUnreadable), {fileName})); };
  std::string text;
  try {
    core::TFileStream file(fileName, core::fmOpenRead | core::fmShareDenyNone);
    const std::int64_t size = file.Size();
    if (size <= 0 || size > kMaxCAFileBytes) throw unreadable();
    text.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < text.size()) {
      const std::size_t n = file.Read(text.data() + done, text.size() - done);
      if (n == 0) break;
      done += n;
    }
    text.resize(done);
  } catch (const ETlsError&) {
    throw;
  } catch (const std::exception&) {
    throw unreadable();
  }
  std::optional<std::vector<TDerCertificate>> certificates = ParsePemCertificates(text);
  if (!certificates || certificates->empty()) throw unreadable();
  // Each must be a certificate crypt32 can read, or the file is refused now, not every
  // connection quietly trusting less than it says.
  const TSchannelLibrary& lib = SchannelLibrary();
  for (const TDerCertificate& der : *certificates) {
    PCCERT_CONTEXT context =
        lib.CreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
    if (context == nullptr) throw unreadable();
    lib.FreeCertificateContext(context);
  }
  return std::move(*certificates);
}

std::optional<TTlsCertificateProblem> CertificateProblem(const TCertificateFacts& facts) {
  // Revocation that could not be checked (no list cached, no network) is no refusal: the
  // system's own clients do not refuse for it either.
  DWORD errors = facts.ChainErrors & ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION);
  HRESULT policy = facts.PolicyError;
  if (policy == CRYPT_E_NO_REVOCATION_CHECK || policy == CRYPT_E_REVOCATION_OFFLINE || policy == CERT_E_REVOCATION_FAILURE)
    policy = 0;
  // The system does not know the CA file's roots: its "untrusted root" is ours to overrule.
  if (facts.CAFileRootsOnly && facts.AnchoredByCAFile) {
    errors &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
    if (policy == CERT_E_UNTRUSTEDROOT) policy = 0;
  }
  if ((facts.CAFileRootsOnly && !facts.AnchoredByCAFile) ||
      (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) != 0 || policy == CERT_E_UNTRUSTEDROOT ||
      policy == CERT_E_CHAINING)
    return facts.SelfSignedLeaf ? tcpSelfSigned : tcpUntrusted;
  if (!facts.NameMatches || policy == CERT_E_CN_NO_MATCH) return tcpNameMismatch;
  if ((errors & CERT_TRUST_IS_REVOKED) != 0 || policy == CRYPT_E_REVOKED) return tcpRevoked;
  if ((errors & CERT_TRUST_IS_NOT_TIME_VALID) != 0 || policy == CERT_E_EXPIRED)
    return facts.NotYetValid ? tcpNotYetValid : tcpExpired;
  if (errors != 0 || policy != 0) return tcpOther;
  return std::nullopt;
}

void VerifyServerCertificate(PCCERT_CONTEXT certificate, const std::string& host,
                             const std::vector<TDerCertificate>& caCertificates) {
  const TSchannelLibrary& lib = SchannelLibrary();
  const auto closeStore = [&lib](HCERTSTORE store) { lib.CloseStore(store, 0); };
  // The intermediates the server sent (the certificate's own store) and the CA file's roots,
  // for the chain engine to build from; it adds the system's stores itself, so a chain that
  // ends at a root of the system counts only without a CA file.
  auto extra = Owned(lib.OpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr), closeStore);
  auto roots = Owned(caCertificates.empty() ? nullptr : lib.OpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr),
                     closeStore);
  if (!extra || (!caCertificates.empty() && !roots))
    throw ETlsCertificateError(tcpOther, host, SecurityStatusText(HRESULT_FROM_WIN32(::GetLastError())));
  lib.AddStoreToCollection(extra.get(), certificate->hCertStore, 0, 0);
  if (roots) {
    for (const TDerCertificate& der : caCertificates)
      lib.AddEncodedCertificateToStore(roots.get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(),
                                       static_cast<DWORD>(der.size()), CERT_STORE_ADD_ALWAYS, nullptr);
    lib.AddStoreToCollection(extra.get(), roots.get(), 0, 0);
  }

  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chainContext = nullptr;
  // Revocation from what the system has cached only: no connection waits for a list server.
  if (!lib.GetCertificateChain(nullptr, certificate, nullptr, extra.get(), &para,
                               CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY,
                               nullptr, &chainContext))
    throw ETlsCertificateError(tcpOther, host, SecurityStatusText(HRESULT_FROM_WIN32(::GetLastError())));
  auto chain = Owned(chainContext, lib.FreeCertificateChain);
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) throw ETlsCertificateError(tcpOther, host);
  const CERT_SIMPLE_CHAIN& simple = *chain->rgpChain[0];

  TCertificateFacts facts;
  facts.ChainErrors = chain->TrustStatus.dwErrorStatus;
  PCCERT_CONTEXT root = simple.rgpElement[simple.cElement - 1]->pCertContext;
  facts.CAFileRootsOnly = !caCertificates.empty();
  facts.AnchoredByCAFile = std::any_of(caCertificates.begin(), caCertificates.end(),
                                       [&](const TDerCertificate& der) { return SameBytes(root, der); });
  facts.SelfSignedLeaf = simple.cElement == 1 && lib.CompareCertificateName(X509_ASN_ENCODING,
                                                                            &certificate->pCertInfo->Subject,
                                                                            &certificate->pCertInfo->Issuer);
  for (DWORD i = 0; i < simple.cElement; ++i)
    if (lib.VerifyTimeValidity(nullptr, simple.rgpElement[i]->pCertContext->pCertInfo) < 0) facts.NotYetValid = true;
  facts.NameMatches = NameMatches(ReadNames(lib, certificate), host);

  // The system's SSL policy as a second opinion on the name (ours decides addresses, which
  // not every version matches) and on what the chain engine found.
  const bool address = !AddressBytes(host).empty() || host.find(':') != std::string::npos;
  std::wstring wideHost = core::Utf8ToWide(host);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = (facts.AnchoredByCAFile ? kIgnoreUnknownCA : 0) | (address ? kIgnoreNameInvalid : 0);
  ssl.pwszServerName = address ? nullptr : wideHost.data();
  CERT_CHAIN_POLICY_PARA policyPara{};
  policyPara.cbSize = sizeof policyPara;
  policyPara.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS |
                       (facts.AnchoredByCAFile ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0);
  policyPara.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!lib.VerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyPara, &status))
    status.dwError = static_cast<DWORD>(HRESULT_FROM_WIN32(::GetLastError()));
  facts.PolicyError = static_cast<HRESULT>(status.dwError);

  if (const std::optional<TTlsCertificateProblem> problem = CertificateProblem(facts))
    throw ETlsCertificateError(*problem, host, facts.PolicyError != 0 ? SecurityStatusText(facts.PolicyError) : "");
}

std::string SecurityStatusText(HRESULT status) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", n);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ' ||
                              message.back() == L'.'))
    message.pop_back();
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(static_cast<DWORD>(status)));
  return message.empty() ? std::string("error ") + code : core::WideToUtf8(message) + " (" + code + ")";
}

}  // namespace tarvo::tls
