// DES for NTLM, from the system's cryptography library loaded at run time when NTLM first
// needs it, so the program starts and serves every other scheme on a machine without it:
// OpenSSL's libcrypto on POSIX systems, Windows' own bcrypt.dll on Windows. Only single
// blocks are encrypted: NTLM version 1 encrypts 8-byte blocks with 56-bit keys.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarvo::http {

class TNetDESLibrary {
public:
  // Tries each library name in turn; raises ENetOSSLCouldNotLoadSSLLibrary ("Could not load
  // SSL library.") when none loads or none offers DES.
  explicit TNetDESLibrary(const std::vector<std::string>& names);
  ~TNetDESLibrary();
  TNetDESLibrary(const TNetDESLibrary&) = delete;
  TNetDESLibrary& operator=(const TNetDESLibrary&) = delete;

  // ECB-encrypts one block with a 7-byte (56-bit) key, spread over 8 bytes with odd parity.
  void Encrypt(const std::uint8_t key7[7], const std::uint8_t in[8], std::uint8_t out[8]) const;

  // The names DESLibrary() tries on this system.
  static std::vector<std::string> SystemLibraryNames();

private:
  struct TBinding;  // the loaded library and its functions (des_library_<system>.cpp)
  // Encrypts one block with a full 8-byte key.
  void EncryptBlock(const std::uint8_t key[8], const std::uint8_t in[8], std::uint8_t out[8]) const;
  std::unique_ptr<TBinding> FBinding;
};

// The process-wide library, loaded on first use. Raises ENetOSSLCouldNotLoadSSLLibrary
// while it cannot be loaded (and tries again next time).
const TNetDESLibrary& DESLibrary();

}  // namespace tarvo::http
