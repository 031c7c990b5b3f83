// Installations checked against the vendor's signed list. The lists and signatures are made
// by sha256sum and the openssl command line, never by our own code, and served by the same
// nginx as the other installation tests.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>

#include "install_sandbox.h"
#include "setup/installer.h"
#include "setup/signed_list.h"

using namespace tarvo;
using namespace tarvo::setup;
using namespace tarvo::setup::testing;
namespace fs = std::filesystem;

namespace {

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// Two key pairs, the vendor's and an attacker's, made once.
struct TKeys {
  http::testing::TTempDir Dir{http::testing::TTempPlace::Shared};
  bool Ok = false;
  std::string Vendor() const { return Dir.Text() + "/vendor"; }
  std::string Other() const { return Dir.Text() + "/other"; }
  TKeys() {
    Ok = true;
    for (const std::string& k : {Vendor(), Other()})
      Ok = Ok && Shell("openssl ecparam -name prime256v1 -genkey -noout -out " + k + ".pem 2>/dev/null && openssl ec -in " +
                       k + ".pem -pubout -out " + k + ".pub.pem 2>/dev/null");
    Dir.WriteFile("not-a-key.pem", "-----BEGIN PUBLIC KEY-----\nbm90IGEga2V5\n-----END PUBLIC KEY-----\n");
  }
  static const TKeys& Get() {
    static TKeys keys;
    return keys;
  }
};

std::string Files(const std::string& scenario) { return TArchiveServer::Get().Root() + "/" + scenario + "/tarvo/Files/"; }

void Sign(const std::string& folder, const std::string& key) {
  ASSERT_TRUE(Shell("openssl dgst -sha256 -sign " + key + ".pem -out '" + folder + "SHA256SUMS.sig' '" + folder + "SHA256SUMS'"));
}

// A copy of the "ok" archives with a genuine list and signature, then changed by the case.
void MakeScenario(const std::string& name, const std::function<void(const std::string& folder)>& change) {
  const std::string folder = Files(name);
  fs::create_directories(folder);
  for (const char* a : {"main.zip", "upgrade.zip", "data.zip"})
    fs::copy_file(Files("ok") + a, folder + a, fs::copy_options::overwrite_existing);
  ASSERT_TRUE(Shell("cd '" + folder + "' && sha256sum main.zip upgrade.zip data.zip > SHA256SUMS"));
  Sign(folder, TKeys::Get().Vendor());
  if (change) change(folder);
}

void Append(const std::string& file, const std::string& text) {
  std::FILE* f = std::fopen(file.c_str(), "ab");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

struct TSignedCase {
  const char* Name;
  std::function<void(const std::string& folder)> Change;
  const char* Key;          // "vendor", "other", "not-a-key"
  bool Completes;           // both steps
  const char* Says;         // a text the abort message holds
  bool FetchesMain;         // whether main.zip was ever asked for
};

const TSignedCase kCases[] = {
    {"Genuine", nullptr, "vendor", true, "", true},
    {"CrLfLines", [](const std::string& f) {
       ASSERT_TRUE(Shell("cd '" + f + "' && sed -i 's/$/\\r/' SHA256SUMS && printf '\\r\\n\\n' >> SHA256SUMS"));
       Sign(f, TKeys::Get().Vendor());
     }, "vendor", true, "", true},
    {"AttackersMainZip", [](const std::string& f) { fs::copy_file(Files("damaged") + "main.zip", f + "main.zip", fs::copy_options::overwrite_existing); },
     "vendor", false, "main.zip is niet het bestand dat de uitgever ondertekende", true},
    {"ListEditedAfterSigning", [](const std::string& f) { Append(f + "SHA256SUMS", "\n"); }, "vendor", false,
     "De handtekening van SHA256SUMS klopt niet", false},
    {"SignedByAnotherKey", [](const std::string& f) { Sign(f, TKeys::Get().Other()); }, "vendor", false,
     "De handtekening van SHA256SUMS klopt niet", false},
    {"ProgramHasAnotherKey", nullptr, "other", false, "De handtekening van SHA256SUMS klopt niet", false},
    {"NoList", [](const std::string& f) { fs::remove(f + "SHA256SUMS"); }, "vendor", false,
     "SHA256SUMS kon niet worden gedownload", false},
    {"NoSignature", [](const std::string& f) { fs::remove(f + "SHA256SUMS.sig"); }, "vendor", false,
     "SHA256SUMS.sig kon niet worden gedownload", false},
    {"SignatureNotDer", [](const std::string& f) { WriteFile(f + "SHA256SUMS.sig", "not a signature"); }, "vendor",
     false, "De handtekening van SHA256SUMS klopt niet", false},
    {"ListWithoutUpgrade", [](const std::string& f) {
       ASSERT_TRUE(Shell("cd '" + f + "' && sha256sum main.zip data.zip > SHA256SUMS"));
       Sign(f, TKeys::Get().Vendor());
     }, "vendor", false, "upgrade.zip staat niet in de ondertekende lijst SHA256SUMS", false},
    {"JunkLine", [](const std::string& f) {
       Append(f + "SHA256SUMS", "this is no line of sha256sum\n");
       Sign(f, TKeys::Get().Vendor());
     }, "vendor", false, "SHA256SUMS, regel 4:", false},
    {"UpperCaseDigest", [](const std::string& f) {
       ASSERT_TRUE(Shell("cd '" + f + "' && sed -i '1s/^\\(.*\\)  main.zip$/\\U\\1\\E  main.zip/' SHA256SUMS"));
       Sign(f, TKeys::Get().Vendor());
     }, "vendor", false, "SHA256SUMS, regel 1:", false},
    {"NameListedTwice", [](const std::string& f) {
       ASSERT_TRUE(Shell("cd '" + f + "' && sha256sum main.zip >> SHA256SUMS"));
       Sign(f, TKeys::Get().Vendor());
     }, "vendor", false, "SHA256SUMS, regel 4: main.zip staat meer dan eens in de lijst.", false},
    {"NameWithDotSlash", [](const std::string& f) {
       ASSERT_TRUE(Shell("cd '" + f + "' && sha256sum ./main.zip upgrade.zip data.zip > SHA256SUMS"));
       Sign(f, TKeys::Get().Vendor());
     }, "vendor", false, "main.zip staat niet in de ondertekende lijst", false},
    // Blank lines are skipped, but not read without end.
    {"OverOneMebibyte", [](const std::string& f) {
       Append(f + "SHA256SUMS", std::string((1 << 20) + 1, '\n'));
       Sign(f, TKeys::Get().Vendor());
     }, "vendor", false, "SHA256SUMS is groter dan", false},
    {"KeyFileNotAKey", nullptr, "not-a-key", false, "is geen openbare ECDSA-sleutel (P-256)", false},
    {"KeyFileMissing", nullptr, "missing", false, "kan niet worden gelezen", false},
};

class SignedInstall : public ::testing::TestWithParam<TSignedCase> {
protected:
  void SetUp() override {
    if (!TArchiveServer::Get().Ok()) GTEST_SKIP() << "nginx did not start";
    if (!TKeys::Get().Ok) GTEST_SKIP() << "openssl made no keys";
  }
  void TearDown() override { ::unsetenv("TARVO_PAYLOAD_KEY"); }
};

TEST_P(SignedInstall, OnlyTheVendorsArchivesAreUnpacked) {
  const TSignedCase& c = GetParam();
  const std::string scenario = std::string("signed-") + c.Name;
  MakeScenario(scenario, c.Change);
  TSandbox box(scenario);
  const std::string key = TKeys::Get().Dir.Text() + "/" + c.Key + (std::string(c.Key) == "not-a-key" ? ".pem" : ".pub.pem");
  ::setenv("TARVO_PAYLOAD_KEY", key.c_str(), 1);

  TInstaller installer;
  std::vector<std::string> aborts;
  installer.Options.DriveRoot = box.Drive();
  installer.OnAbort = [&](const std::string& m) { aborts.push_back(m); };
  const TStepResult components = installer.RunComponentStep();
  const std::string said = aborts.empty() ? "" : aborts[0];
  const int mainRequests = TArchiveServer::Get().Requests("/" + scenario + "/tarvo/Files/main.zip");
  EXPECT_EQ(mainRequests > 0, c.FetchesMain) << said;
  if (c.Completes) {
    ASSERT_EQ(components, TStepResult::srCompleted) << said;
    ASSERT_EQ(installer.RunDataStep(), TStepResult::srCompleted);
    EXPECT_EQ(ReadFile(box.Install() + "VERSION.TXT"), "1.1\n");
    EXPECT_TRUE(fs::exists(box.Install() + "DATA/WINKEL.DAT"));
    // The list is fetched once for the whole run.
    EXPECT_EQ(TArchiveServer::Get().Requests("/" + scenario + "/tarvo/Files/SHA256SUMS "), 1);
    return;
  }
  ASSERT_EQ(components, TStepResult::srAborted);
  EXPECT_NE(said.find(c.Says), std::string::npos) << said;
  // Nothing of a refused archive is unpacked and its copy is gone; upgrade.zip was never asked for.
  EXPECT_FALSE(fs::exists(box.Install() + "TARVO.EXE"));
  EXPECT_EQ(TArchiveServer::Get().Requests("/" + scenario + "/tarvo/Files/upgrade.zip"), 0);
  if (fs::exists(box.Install())) {
    EXPECT_EQ(Tree(box.Install()), "");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SignedInstall, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

// data.zip's line is needed only when data.zip is: checked before its download, and the
// settings file and the shortcut are still written, as after any failed data download.
TEST(SignedInstallData, ListWithoutDataZipStopsOnlyTheDataDownload) {
  if (!TArchiveServer::Get().Ok() || !TKeys::Get().Ok) GTEST_SKIP() << "nginx or openssl missing";
  MakeScenario("signed-nodata", [](const std::string& f) {
    ASSERT_TRUE(Shell("cd '" + f + "' && sha256sum main.zip upgrade.zip > SHA256SUMS"));
    Sign(f, TKeys::Get().Vendor());
  });
  TSandbox box("signed-nodata");
  ::setenv("TARVO_PAYLOAD_KEY", (TKeys::Get().Vendor() + ".pub.pem").c_str(), 1);
  TInstaller installer;
  std::vector<std::string> aborts;
  installer.Options.DriveRoot = box.Drive();
  installer.OnAbort = [&](const std::string& m) { aborts.push_back(m); };
  ASSERT_EQ(installer.RunComponentStep(), TStepResult::srCompleted);
  EXPECT_EQ(installer.RunDataStep(), TStepResult::srAborted);
  ::unsetenv("TARVO_PAYLOAD_KEY");
  ASSERT_EQ(aborts.size(), 1u);
  EXPECT_NE(aborts[0].find("data.zip staat niet in de ondertekende lijst"), std::string::npos) << aborts[0];
  EXPECT_EQ(TArchiveServer::Get().Requests("/signed-nodata/tarvo/Files/data.zip"), 0);
  EXPECT_TRUE(fs::exists(box.Install() + "SETUP.INI"));
  EXPECT_FALSE(fs::exists(box.Install() + "DATA/WINKEL.DAT"));
}

// The silent mode checks every line it will need before the first download, and says once
// when nothing is checked.
TEST(SignedInstallSilent, ChecksUpFrontAndSaysWhenUnverified) {
  if (!TArchiveServer::Get().Ok() || !TKeys::Get().Ok) GTEST_SKIP() << "nginx or openssl missing";
  MakeScenario("signed-silent-nodata", [](const std::string& f) {
    ASSERT_TRUE(Shell("cd '" + f + "' && sha256sum main.zip upgrade.zip > SHA256SUMS"));
    Sign(f, TKeys::Get().Vendor());
  });
  struct {
    const char* Scenario;
    const char* Key;  // null: none
    int Exit;
    const char* Says;
    bool Unverified;
  } const runs[] = {
      {"signed-silent-nodata", "vendor", 1, "data.zip staat niet in de ondertekende lijst", false},
      {"ok", nullptr, 0, "Installatie voltooid", true},
  };
  for (const auto& run : runs) {
    TSandbox box(run.Scenario);
    std::string command = "TARVO_DRIVES='C=" + box.Path() + "/c' TARVO_PAYLOAD_KEY='" +
                          (run.Key ? TKeys::Get().Vendor() + ".pub.pem" : std::string()) + "' " TARVO_SILENT
                          " --silent --language nl 2>&1";
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::array<char, 4096> buf;
    while (std::fgets(buf.data(), buf.size(), pipe)) out += buf.data();
    const int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), run.Exit) << out;
    EXPECT_NE(out.find(run.Says), std::string::npos) << out;
    const std::string unverified = "de downloads worden niet gecontroleerd";
    EXPECT_EQ(out.find(unverified) != std::string::npos, run.Unverified) << out;
    if (run.Unverified) {
      EXPECT_EQ(out.find(unverified), out.rfind(unverified)) << out;
    }
  }
  EXPECT_EQ(TArchiveServer::Get().Requests("/signed-silent-nodata/tarvo/Files/main.zip"), 0);
}

// The verified installation over https, the server's certificate from a private CA that
// SSL_CERT_FILE makes the trusted one; an expired certificate stops it before any download,
// with the reason in the wizard's language.
TEST(SignedInstallHttps, OverHttpsOrNotAtAll) {
  if (!TArchiveServer::Get().Ok() || !TKeys::Get().Ok) GTEST_SKIP() << "nginx or openssl missing";
  http::testing::TTempDir pki{http::testing::TTempPlace::Shared};
  ASSERT_TRUE(Shell("sh " TARVO_TEST_PKI " " + pki.Text()));
  MakeScenario("signed-https", nullptr);
  const std::string root = TArchiveServer::Get().Root();
  http::testing::TNginxPeer good(root, "", pki.Text() + "/good.pem"), expired(root, "", pki.Text() + "/expired.pem");
  ASSERT_TRUE(good.Ok() && expired.Ok());
  // Set before the first https connection of this process: the roots are read once.
  ::setenv("SSL_CERT_FILE", (pki.Text() + "/ca.pem").c_str(), 1);
  const std::string key = TKeys::Get().Vendor() + ".pub.pem";
  {
    TSandbox box(good.Base() + "/signed-https/tarvo/Files/");
    ::setenv("TARVO_PAYLOAD_KEY", key.c_str(), 1);
    TInstaller installer;
    std::vector<std::string> aborts;
    installer.Options.DriveRoot = box.Drive();
    installer.OnAbort = [&](const std::string& m) { aborts.push_back(m); };
    EXPECT_EQ(installer.RunComponentStep(), TStepResult::srCompleted) << (aborts.empty() ? "" : aborts[0]);
    EXPECT_EQ(installer.RunDataStep(), TStepResult::srCompleted);
    EXPECT_EQ(ReadFile(box.Install() + "VERSION.TXT"), "1.1\n");
    ::unsetenv("TARVO_PAYLOAD_KEY");
  }
  struct {
    const char* Language;
    std::string Base;
    int Exit;
    const char* Says;
  } const runs[] = {
      {"fr", good.Base() + "/signed-https/tarvo/Files/", 0, "Installation termin"},
      {"fr", expired.Base() + "/signed-https/tarvo/Files/", 1, "Le certificat de 127.0.0.1 a expir"},
      {"nl", expired.Base() + "/signed-https/tarvo/Files/", 1, "Het certificaat van 127.0.0.1 is verlopen"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.Base + " " + run.Language);
    TSandbox box(run.Base);
    const std::string command = "TARVO_DRIVES='C=" + box.Path() + "/c' TARVO_PAYLOAD_KEY='" + key + "' " TARVO_SILENT
                                " --silent --language " + std::string(run.Language) + " 2>&1";
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::array<char, 4096> buf;
    while (std::fgets(buf.data(), buf.size(), pipe)) out += buf.data();
    EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), run.Exit) << out;
    EXPECT_NE(out.find(run.Says), std::string::npos) << out;
    if (run.Exit != 0) {
      EXPECT_FALSE(fs::exists(box.Install() + "TARVO.EXE"));
    }
  }
  ::unsetenv("SSL_CERT_FILE");
}

// A verified installation from a server that cuts every archive after 300 bytes: each is
// continued with a range and passes its check; a server whose files change meanwhile gets
// each fetched whole again, and the digest is taken over the new bytes alone.
TEST(SignedInstallResume, CutArchivesAreContinuedOrFetchedAgain) {
  if (!TArchiveServer::Get().Ok() || !TKeys::Get().Ok) GTEST_SKIP() << "nginx or openssl missing";
  MakeScenario("signed-resume", nullptr);
  http::testing::TTempDir dir{http::testing::TTempPlace::Shared};
  http::testing::TPortPeer server({http::testing::FindProgram("python3"), TARVO_FLAKY_SERVER, "{port}", dir.Text() + "/requests.log",
                                   Files("signed-resume")},
                                  dir.Text() + "/out.log");
  ASSERT_TRUE(server.Ok());
  ::setenv("TARVO_PAYLOAD_KEY", (TKeys::Get().Vendor() + ".pub.pem").c_str(), 1);
  for (const char* kind : {"drop", "changed"}) {
    SCOPED_TRACE(kind);
    TSandbox box(server.Base() + "/" + kind + "/300/");
    std::vector<std::string> aborts, statuses;  // outlive the installer, which reports its last disconnect
    TInstaller installer;
    installer.Options.DriveRoot = box.Drive();
    installer.OnAbort = [&](const std::string& m) { aborts.push_back(m); };
    installer.OnStatus = [&](const std::string& m) { statuses.push_back(m); };
    ASSERT_EQ(installer.RunComponentStep(), TStepResult::srCompleted) << (aborts.empty() ? "" : aborts[0]);
    ASSERT_EQ(installer.RunDataStep(), TStepResult::srCompleted) << (aborts.empty() ? "" : aborts[0]);
    EXPECT_EQ(ReadFile(box.Install() + "VERSION.TXT"), "1.1\n");
    EXPECT_TRUE(fs::exists(box.Install() + "DATA/WINKEL.DAT"));
    EXPECT_EQ(installer.Downloads().RefetchedBytes(), std::string(kind) == "drop" ? 0 : 300);  // data.zip's
    const std::string log = ReadFile(dir.Text() + "/requests.log");
    for (const char* archive : {"main.zip", "upgrade.zip", "data.zip"})
      EXPECT_NE(log.find("/" + std::string(kind) + "/300/" + archive + " range=[bytes=300-]"), std::string::npos) << log;
    // Each retry said in the window's words, after what went wrong.
    int retries = 0;
    for (const std::string& s : statuses) retries += s.find("Nieuwe poging over 1 s") != std::string::npos;
    EXPECT_EQ(retries, 3);
  }
  ::unsetenv("TARVO_PAYLOAD_KEY");

  // A server busy for half a minute: Cancel during the wait stops the step at once.
  TSandbox box(server.Base() + "/busy/30/");
  bool waiting = false;
  TInstaller installer;
  installer.Options.DriveRoot = box.Drive();
  installer.OnStatus = [&](const std::string& m) { waiting = waiting || m.find("Nieuwe poging over 30 s") != std::string::npos; };
  installer.OnCancelQuery = [&] { return waiting; };
  EXPECT_EQ(installer.RunComponentStep(), TStepResult::srCancelled);
  EXPECT_TRUE(waiting);
  // Stopped within the wait: the try after it was never made.
  const std::string log = ReadFile(dir.Text() + "/requests.log");
  EXPECT_EQ(log.find("/busy/30/main.zip"), log.rfind("/busy/30/main.zip")) << log;
}

// The list's own rules, without a server.
TEST(SignedList, LinesAndNames) {
  const std::string d(64, 'a');
  struct {
    std::string Text;
    const char* Name;  // a name that must be found, or null: the text is refused
  } const cases[] = {
      {d + "  main.zip\n", "main.zip"},
      {d + " *main.zip\r\n\r\n\n", "main.zip"},
      {"\n\n" + d + "  a b.zip", "a b.zip"},
      {d + " main.zip\n", nullptr},          // one space
      {d + "  \n", nullptr},                 // no name
      {d.substr(1) + "  main.zip\n", nullptr},
      {std::string(64, 'A') + "  main.zip\n", nullptr},
      {std::string(63, 'a') + "g  main.zip\n", nullptr},
      {"\\" + d + "  main\\\\.zip\n", nullptr},  // sha256sum's escaped form
      {d + "  main\tzip\n", nullptr},
      {d + "  main.zip\n" + d + "  main.zip\n", nullptr},
  };
  for (const auto& c : cases) {
    if (c.Name == nullptr) {
      EXPECT_THROW(TSignedList{c.Text}, EInstallError) << c.Text;
      continue;
    }
    const TSignedList list(c.Text);
    ASSERT_NE(list.Find(c.Name), nullptr) << c.Text;
    EXPECT_EQ(platform::HexDigest(*list.Find(c.Name)), d);
    EXPECT_EQ(list.Find("MAIN.ZIP"), nullptr);
    EXPECT_EQ(list.Count(), 1u);
  }
}

}  // namespace
