// SHA-256 and ECDSA verification from libcrypto (OpenSSL 3).
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include "platform/public_key_der.h"
#include "platform/system_crypto.h"

namespace tarvo::platform {

namespace {

// What libcrypto queued about a failed call goes with our answer, not to the next caller
// of libcrypto in this thread (NTLM's DES may load the same library).
struct TErrorQueueGuard {
  ~TErrorQueueGuard() { ::ERR_clear_error(); }
};

[[noreturn]] void Fail(const char* call) {
  ::ERR_clear_error();
  throw ESystemCryptoError(std::string("libcrypto refused ") + call);
}

struct TPkeyFree {
  void operator()(EVP_PKEY* key) const { ::EVP_PKEY_free(key); }
};
struct TPkeyCtxFree {
  void operator()(EVP_PKEY_CTX* ctx) const { ::EVP_PKEY_CTX_free(ctx); }
};

}  // namespace

struct TSha256::TState {
  EVP_MD_CTX* Context = nullptr;
  ~TState() { ::EVP_MD_CTX_free(Context); }
  void Start() {
    if (::EVP_DigestInit_ex(Context, ::EVP_sha256(), nullptr) != 1) Fail("to start SHA-256");
  }
};

TSha256::TSha256() : FState(std::make_unique<TState>()) {
  FState->Context = ::EVP_MD_CTX_new();
  if (FState->Context == nullptr) Fail("a digest context");
  FState->Start();
}

TSha256::~TSha256() = default;

void TSha256::Update(const void* data, std::size_t size) {
  if (size != 0 && ::EVP_DigestUpdate(FState->Context, data, size) != 1) Fail("SHA-256 input");
}

TSha256Digest TSha256::Final() {
  TSha256Digest digest;
  unsigned int size = 0;
  if (::EVP_DigestFinal_ex(FState->Context, digest.data(), &size) != 1 || size != digest.size())
    Fail("to finish SHA-256");
  FState->Start();
  return digest;
}

void TSha256::Reset() { FState->Start(); }

bool VerifyEcdsaP256(const TEcP256PublicKey& key, const TSha256Digest& digest,
                     const std::array<std::uint8_t, 64>& signature) {
  TErrorQueueGuard clearQueue;
  // libcrypto decodes the key from its DER: the decoder refuses a point off the curve or
  // with a coordinate not below the field prime, which is an answer, not a failure.
  const auto der = EncodeEcP256PublicKeyDer(key);
  const unsigned char* cursor = der.data();
  std::unique_ptr<EVP_PKEY, TPkeyFree> pkey(::d2i_PUBKEY(nullptr, &cursor, static_cast<long>(der.size())));
  if (!pkey) return false;
  std::unique_ptr<EVP_PKEY_CTX, TPkeyCtxFree> ctx(::EVP_PKEY_CTX_new_from_pkey(nullptr, pkey.get(), nullptr));
  if (!ctx) Fail("a verification context");
  if (::EVP_PKEY_verify_init(ctx.get()) != 1) Fail("to start an ECDSA verification");
  const std::string sig = EncodeEcdsaDerSignature(signature);
  // 1 is a good signature; 0 a bad one, r or s out of range included; below 0 a
  // signature libcrypto could not take apart. Only 1 is yes.
  return ::EVP_PKEY_verify(ctx.get(), reinterpret_cast<const unsigned char*>(sig.data()), sig.size(), digest.data(),
                           digest.size()) == 1;
}

}  // namespace tarvo::platform
