// DES from OpenSSL's libcrypto, loaded at run time when NTLM first needs it, so the program
// starts and serves every other scheme on a machine without it. Only the two classic
// single-block functions are used: NTLM version 1 encrypts 8-byte blocks with 56-bit keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo::http {

class TNetDESLibrary {
public:
  // Tries each library name in turn; raises ENetOSSLCouldNotLoadSSLLibrary ("Could not load
  // SSL library.") when none loads or none exports the functions.
  explicit TNetDESLibrary(const std::vector<std::string>& names);
  ~TNetDESLibrary();
  TNetDESLibrary(const TNetDESLibrary&) = delete;
  TNetDESLibrary& operator=(const TNetDESLibrary&) = delete;

  // ECB-encrypts one block with a 7-byte (56-bit) key, spread over 8 bytes with odd parity.
  void Encrypt(const std::uint8_t key7[7], const std::uint8_t in[8], std::uint8_t out[8]) const;

private:
  void* FHandle = nullptr;
  void (*FSetKey)(const void* key, void* schedule) = nullptr;
  void (*FEncrypt)(const void* in, void* out, void* schedule, int enc) = nullptr;
};

// The process-wide library, loaded on first use from the usual libcrypto names. Raises
// ENetOSSLCouldNotLoadSSLLibrary while it cannot be loaded (and tries again next time).
const TNetDESLibrary& DESLibrary();

}  // namespace tarvo::http
