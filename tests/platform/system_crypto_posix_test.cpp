// openssl as the outside oracle: a fresh key and signature, made the way a release is
// signed, must parse and verify here; another key's signature must not. (Linux only: a
// Windows program cannot start the Linux openssl.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "../common/read_file.h"
#include "../common/temp_dir.h"
#include "platform/public_key_der.h"
#include "platform/system_crypto.h"

using namespace tarvo::platform;
using tarvo::testing::ReadFile;
using tarvo::testing::TTempDir;

namespace {

bool Shell(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

TEST(EcdsaP256, AcceptsWhatOpensslSigns) {
  if (!Shell("openssl version >/dev/null")) GTEST_SKIP() << "openssl is not installed";
  TTempDir dir;
  ASSERT_FALSE(dir.Path().empty());
  const std::string d = "'" + dir.Text() + "'/";
  dir.WriteFile("message", "the archive's bytes\n");
  for (const char* name : {"a", "b"}) {
    const std::string n(name);
    ASSERT_TRUE(Shell("openssl ecparam -name prime256v1 -genkey -noout -out " + d + n + ".key"));
    ASSERT_TRUE(Shell("openssl ec -in " + d + n + ".key -pubout -out " + d + n + ".pem"));
    ASSERT_TRUE(Shell("openssl dgst -sha256 -sign " + d + n + ".key -out " + d + n + ".sig " + d + "message"));
  }
  const std::string message = ReadFile(dir.Path() / "message");
  const TSha256Digest digest = TSha256::Of(message.data(), message.size());
  std::string why;
  const auto keyA = ParseEcP256PublicKey(ReadFile(dir.Path() / "a.pem"), &why);
  ASSERT_TRUE(keyA) << why;
  const auto keyB = ParseEcP256PublicKey(ReadFile(dir.Path() / "b.pem"), &why);
  ASSERT_TRUE(keyB) << why;
  const auto sigA = ParseEcdsaDerSignature(ReadFile(dir.Path() / "a.sig"));
  const auto sigB = ParseEcdsaDerSignature(ReadFile(dir.Path() / "b.sig"));
  ASSERT_TRUE(sigA && sigB);
  EXPECT_TRUE(VerifyEcdsaP256(*keyA, digest, *sigA));
  EXPECT_TRUE(VerifyEcdsaP256(*keyB, digest, *sigB));
  EXPECT_FALSE(VerifyEcdsaP256(*keyA, digest, *sigB)) << "another key's signature";
  EXPECT_FALSE(VerifyEcdsaP256(*keyB, digest, *sigA)) << "another key's signature";
  // And the DER form of the same key, as `openssl ec -outform DER` writes it.
  ASSERT_TRUE(Shell("openssl ec -in " + d + "a.key -pubout -outform DER -out " + d + "a.der"));
  const auto derKey = ParseEcP256PublicKey(ReadFile(dir.Path() / "a.der"), &why);
  ASSERT_TRUE(derKey) << why;
  EXPECT_EQ(derKey->X, keyA->X);
  EXPECT_EQ(derKey->Y, keyA->Y);
}

}  // namespace
