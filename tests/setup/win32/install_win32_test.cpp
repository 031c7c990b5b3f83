// The installation through the real window on Win32, from a real nginx on the Linux side:
// the files installed, SETUP.INI byte for byte as the system's private-profile writer made
// it (a new one, and one an archive brought with keys of its own), the desktop shortcut read
// back by the shell, by our own format reader and by lnkinfo, and the failure paths (404, a
// damaged entry, a folder that cannot be made, a data folder without WINKEL.DAT).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../../common/read_file.h"
#include "i18n/translations.h"
#include "platform/shell_link.h"
#include "scripted_dialogs.h"
#include "setup/frm_main.h"
#include "setup/startup.h"
#include "ui/application.h"
// Windows headers last (the test sockets bring them too): their macros would rewrite our names.
#include "../common/linux_side.h"
#include "../net/loopback_server.h"
#include <windows.h>

using namespace tarvo;
using namespace tarvo::setup;
namespace fs = std::filesystem;
using tarvo::testing::TLinuxSide;

namespace {

std::string Slurp(const fs::path& p) { return tarvo::testing::ReadFile(p); }
void Spit(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}
// The Windows name of a Linux path (Wine's drive Z: is the Linux root).
std::string WindowsPath(const std::string& linux) {
  std::string w = "Z:" + linux;
  for (char& c : w)
    if (c == '/') c = '\\';
  return w;
}

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The user's Desktop value pointed at a folder of the test, the previous one put back after.
class TDesktopValue {
public:
  explicit TDesktopValue(const std::string& folder) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &FKey, nullptr);
    wchar_t old[1024] = {};
    DWORD size = sizeof(old) - sizeof(wchar_t);
    FHad = RegQueryValueExW(FKey, L"Desktop", nullptr, nullptr, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS;
    FOld = old;
    Set(std::wstring(folder.begin(), folder.end()));
  }
  ~TDesktopValue() {
    if (FHad) Set(FOld);
    else RegDeleteValueW(FKey, L"Desktop");
    RegCloseKey(FKey);
  }

private:
  void Set(const std::wstring& v) {
    RegSetValueExW(FKey, L"Desktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                   static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
  }
  HKEY FKey = nullptr;
  bool FHad = false;
  std::wstring FOld;
};

// The archives of one server folder, packed by zip on the Linux side.
struct TArchiveFile {
  const char* Archive;  // main, upgrade, data
  const char* Name;
  const char* Content;
};

const TArchiveFile kArchives[] = {
    {"main", "TARVO.EXE", "MZ T.Arvo\r\n"},   {"main", "VERSION.TXT", "1.0\r\n"},
    {"upgrade", "VERSION.TXT", "1.1\r\n"},    {"upgrade", "LEESMIJ.TXT", "notes\r\n"},
    {"data", "WINKEL.DAT", "winkel data\r\n"}, {"data", "KLANTEN.CSV", "klant;naam\r\n"},
};

class WinInstall : public ::testing::Test, protected tarvo::setup::testing::TScriptedDialogs {
protected:
  void SetUp() override {
    if (!TLinuxSide::Available()) GTEST_SKIP() << "no Linux side (the CTest fixture starts it)";
    linux = TLinuxSide::Folder() + "/install-" + std::to_string(GetCurrentProcessId()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : linux)
      if (c == '/' && &c > linux.data() + TLinuxSide::Folder().size()) c = '_';
    dir = WindowsPath(linux);
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir / "c");
    fs::create_directories(dir / "desktop");
    fs::copy(fs::path(TARVO_CATALOG_DIR), dir / "locale", fs::copy_options::recursive);
    MakeServerFolder("ok", {});
    StartNginx();
    desktop = std::make_unique<TDesktopValue>((dir / "desktop").string());
    SetDrive((dir / "c").string());
    service = std::make_unique<i18n::TTranslationService>((dir / "tarvo-setup.exe").string());
    RegisterTranslationExclusions();
    InstallDialogs();
  }
  void TearDown() override {
    w.reset();
    RestoreDialogs();
    service.reset();
    desktop.reset();
    nginx.Stop();
    _putenv_s("TARVO_DRIVES", "");
    _putenv_s("TARVO_DOWNLOAD_BASE", "");
    if (!HasFailure()) {
      std::error_code ec;
      fs::remove_all(dir, ec);
    }
  }

  void SetDrive(const std::string& root) { _putenv_s("TARVO_DRIVES", ("C=" + root).c_str()); }
  // Packs the archives into www/<folder>/; extra files go into the archive named first.
  void MakeServerFolder(const std::string& folder, const std::vector<TArchiveFile>& extra) {
    std::vector<TArchiveFile> files(std::begin(kArchives), std::end(kArchives));
    files.insert(files.end(), extra.begin(), extra.end());
    for (const char* archive : {"main", "upgrade", "data"}) {
      std::string names;
      for (const TArchiveFile& f : files) {
        if (std::string(f.Archive) != archive) continue;
        Spit(dir / "src" / folder / archive / f.Name, f.Content);
        names += std::string(" ") + f.Name;
      }
      const std::string src = linux + "/src/" + folder + "/" + archive;
      const std::string zip = linux + "/www/" + folder + "/" + archive + ".zip";
      fs::create_directories(dir / "www" / folder);
      // Stored (-0), so that a test can damage an entry's bytes where it finds them.
      ASSERT_EQ(TLinuxSide::Run({"sh", "-c", "cd '" + src + "' && zip -q -0 -X '" + zip + "'" + names}), 0);
    }
  }
  void StartNginx() {
    port = net::testing::UnusedPort();
    Spit(dir / "nginx" / "nginx.conf",
         "daemon off;\nmaster_process off;\nworker_processes 1;\nerror_log " + linux + "/nginx/error.log;\n"
         "pid " + linux + "/nginx/nginx.pid;\nevents { worker_connections 16; }\nhttp {\n"
         "  access_log " + linux + "/nginx/access.log;\n  default_type application/octet-stream;\n"
         "  client_body_temp_path " + linux + "/nginx/body;\n  proxy_temp_path " + linux + "/nginx/proxy;\n"
         "  fastcgi_temp_path " + linux + "/nginx/fastcgi;\n  uwsgi_temp_path " + linux + "/nginx/uwsgi;\n"
         "  scgi_temp_path " + linux + "/nginx/scgi;\n"
         "  server { listen 127.0.0.1:" + std::to_string(port) + "; root " + linux + "/www; }\n}\n");
    ASSERT_TRUE(nginx.Start({"/usr/sbin/nginx", "-p", linux + "/nginx", "-c", linux + "/nginx/nginx.conf"},
                            linux + "/nginx/out.log"));
    for (int i = 0; i < 200 && Slurp(dir / "nginx" / "nginx.pid").empty(); ++i) Sleep(10);
  }
  void UseServerFolder(const std::string& folder) {
    _putenv_s("TARVO_DOWNLOAD_BASE", ("http://127.0.0.1:" + std::to_string(port) + "/" + folder + "/").c_str());
  }
  // The window up to the data page, in the language asked for.
  void ToDataPage(bool french) {
    w = std::make_unique<TfrmMain>();
    w->Show();
    (french ? w->rbFRANS : w->rbNEDERLANDS)->SetChecked(true);
    for (int i = 0; i < 4; ++i) w->btNEXT->Click();
  }
  int Page() const { return w->Notebook1->PageIndex(); }
  fs::path Install() const { return dir / "c" / "TARVO"; }
  std::string InstallText() const { return (dir / "c" / "TARVO").string() + "\\"; }
  std::string Requests() const { return Slurp(dir / "nginx" / "access.log"); }

  std::string linux;  // the sandbox as the Linux side names it
  fs::path dir;       // ... and as this program does
  int port = 0;
  TLinuxSide nginx;
  std::unique_ptr<TDesktopValue> desktop;
  std::unique_ptr<i18n::TTranslationService> service;
  std::unique_ptr<TfrmMain> w;
};

struct TLanguageCase {
  bool French;
  const char* Taal;
};

class WinInstallLanguage : public WinInstall, public ::testing::WithParamInterface<TLanguageCase> {};

TEST_P(WinInstallLanguage, InstallsWritesTheSettingsAndTheShortcut) {
  UseServerFolder("ok");
  ToDataPage(GetParam().French);
  ASSERT_EQ(Page(), pgData);
  EXPECT_EQ(w->GegevensLocatie->Text(), (dir / "c" / "TARVO").string() + "\\DATA");
  w->btNEXT->Click();
  ASSERT_EQ(Page(), pgEinde) << (shown.empty() ? "" : shown[0].Text);
  EXPECT_TRUE(w->btFINISH->IsInFrontOf(*w->btNEXT));

  EXPECT_EQ(Slurp(Install() / "TARVO.EXE"), "MZ T.Arvo\r\n");
  EXPECT_EQ(Slurp(Install() / "VERSION.TXT"), "1.1\r\n");  // upgrade.zip over main.zip
  EXPECT_EQ(Slurp(Install() / "DATA" / "WINKEL.DAT"), "winkel data\r\n");
  EXPECT_TRUE(fs::is_directory(Install() / "DATA" / "FOTO"));
  for (const char* gone : {"main.zip", "upgrade.zip", "DATA/data.zip"}) EXPECT_FALSE(fs::exists(Install() / gone)) << gone;
  // The system's writer on a new file: three lines in CR LF, no spaces.
  EXPECT_EQ(Slurp(Install() / "SETUP.INI"), std::string("[SETUP]\r\nTAAL=") + GetParam().Taal +
                                                "\r\nDATA_DIRECTORY=" + InstallText() + "DATA\\\r\n");

  const fs::path lnk = dir / "desktop" / "T.Arvo.lnk";
  ASSERT_TRUE(fs::exists(lnk));
  platform::TShellLink shell;  // the shell reads it back
  shell.SetLinkFile(lnk.string());
  ASSERT_TRUE(shell.Read());
  platform::TShellLink own;  // and so does our reader of the format
  const std::string bytes = Slurp(lnk);
  ASSERT_TRUE(own.Parse(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  for (const platform::TShellLink* link : {&shell, &own}) {
    EXPECT_EQ(link->ProgramFile(), InstallText() + "TARVO.EXE");
    EXPECT_EQ(link->WorkingDirectory(), InstallText());
    EXPECT_EQ(link->Description(), "TArvo");
    EXPECT_EQ(link->Arguments(), "");
  }
  std::string info;
  ASSERT_EQ(TLinuxSide::Run({"lnkinfo", linux + "/desktop/T.Arvo.lnk"}, &info), 0);
  EXPECT_NE(info.find("Local path\t\t\t: " + InstallText() + "TARVO.EXE"), std::string::npos) << info;
  EXPECT_NE(info.find("Working directory\t\t: " + InstallText()), std::string::npos) << info;
  EXPECT_NE(info.find("Description\t\t\t: TArvo"), std::string::npos) << info;
  EXPECT_TRUE(shown.empty()) << shown[0].Text;
}

INSTANTIATE_TEST_SUITE_P(Languages, WinInstallLanguage,
                         ::testing::Values(TLanguageCase{false, "NLB"}, TLanguageCase{true, "FRB"}),
                         [](const auto& info) { return std::string(info.param.French ? "fr" : "nl"); });

TEST_F(WinInstall, AnExistingSetupIniKeepsItsOtherKeys) {
  // main.zip brings a SETUP.INI of its own: the writer changes TAAL in place and appends
  // DATA_DIRECTORY at the end of its section; the rest stays as it was.
  // (Wine's writer drops blank lines between sections, Windows' keeps them: none here.)
  MakeServerFolder("ini", {{"main", "SETUP.INI", "[ALGEMEEN]\r\nKLANT=Morvel\r\n[SETUP]\r\nTAAL=XXX\r\nPRINTER=LPT1\r\n"}});
  UseServerFolder("ini");
  ToDataPage(false);
  w->btNEXT->Click();
  ASSERT_EQ(Page(), pgEinde);
  EXPECT_EQ(Slurp(Install() / "SETUP.INI"), "[ALGEMEEN]\r\nKLANT=Morvel\r\n[SETUP]\r\nTAAL=NLB\r\nPRINTER=LPT1\r\n"
                                            "DATA_DIRECTORY=" + InstallText() + "DATA\\\r\n");
}

TEST_F(WinInstall, A404EndsOnTheAbortPageWithTheStatusLineAndAsksForNothingMore) {
  UseServerFolder("missing");
  answers.push_back(ui::mrOk);
  ToDataPage(false);
  EXPECT_EQ(Page(), pgAbort);
  ASSERT_EQ(shown.size(), 1u);
  // The status line first, then which file and from where.
  EXPECT_EQ(shown[0].Text.substr(0, shown[0].Text.find('\r')), "HTTP/1.1 404 Not Found");
  EXPECT_NE(shown[0].Text.find("main.zip"), std::string::npos);
  EXPECT_EQ(shown[0].Caption, "Setup");
  EXPECT_EQ(shown[0].Flags & 0x1000u, 0x1000u) << "system-modal";
  EXPECT_FALSE(w->btCANCEL->Visible());
  EXPECT_NE(Requests().find("GET /missing/main.zip"), std::string::npos);
  EXPECT_EQ(Requests().find("upgrade.zip"), std::string::npos);
  EXPECT_FALSE(fs::exists(Install() / "main.zip")) << "no partial archive stays behind";
}

TEST_F(WinInstall, ADamagedEntryEndsOnTheAbortPageNamingIt) {
  MakeServerFolder("damaged", {{"upgrade", "KAPOT.TXT", "this entry gets damaged\r\n"}});
  const fs::path zip = dir / "www" / "damaged" / "upgrade.zip";
  std::string bytes = Slurp(zip);
  const std::size_t at = bytes.find("this entry gets damaged");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'T';  // the CRC no longer fits
  Spit(zip, bytes);
  UseServerFolder("damaged");
  answers.push_back(ui::mrOk);
  ToDataPage(false);
  EXPECT_EQ(Page(), pgAbort);
  ASSERT_EQ(shown.size(), 1u);
  const std::string expected = "Kan \"KAPOT.TXT\" niet uitpakken: ";
  EXPECT_EQ(shown[0].Text.substr(0, expected.size()), expected);
  EXPECT_EQ(Slurp(Install() / "TARVO.EXE"), "MZ T.Arvo\r\n") << "main.zip was installed";
  EXPECT_FALSE(fs::exists(Install() / "upgrade.zip"));
}

TEST_F(WinInstall, AnInstallFolderThatCannotBeMadeEndsOnTheAbortPage) {
  Spit(dir / "blocked", "a file where the drive's folder would be");
  SetDrive((dir / "blocked").string());
  UseServerFolder("ok");
  answers.push_back(ui::mrOk);
  ToDataPage(false);
  EXPECT_EQ(Page(), pgAbort);
  ASSERT_EQ(shown.size(), 1u);
  const std::string expected = "Kan het bestand \"" + (dir / "blocked").string() + "\\TARVO\\main.zip\" niet aanmaken. ";
  EXPECT_EQ(shown[0].Text.substr(0, expected.size()), expected);
  EXPECT_GT(shown[0].Text.size(), expected.size()) << "with the system's reason";
  EXPECT_EQ(Requests().find("main.zip"), std::string::npos);
}

TEST_F(WinInstall, ADataFolderWithoutWinkelDatIsRefusedUntilItHasOne) {
  UseServerFolder("ok");
  ToDataPage(true);
  const fs::path existing = dir / "bestaand";
  fs::create_directories(existing);
  w->rbWORKSTATION->SetChecked(true);
  w->GegevensLocatie->SetText(existing.string());
  answers.push_back(ui::mrOk);
  w->btNEXT->Click();
  EXPECT_EQ(Page(), pgData);
  EXPECT_TRUE(w->btNEXT->Enabled());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Text, "L'emplacement indiqué ne contient pas de données valides.");
  EXPECT_FALSE(fs::exists(Install() / "SETUP.INI"));
  Spit(existing / "WINKEL.DAT", "x");
  w->btNEXT->Click();
  EXPECT_EQ(Page(), pgEinde);
  EXPECT_EQ(Slurp(Install() / "SETUP.INI"), "[SETUP]\r\nTAAL=FRB\r\nDATA_DIRECTORY=" + existing.string() + "\\\r\n");
  EXPECT_EQ(Requests().find("data.zip"), std::string::npos);
}

// tarvo-setup.exe itself, as an administrator deploys it: no window, the messages in the
// log file, the exit status telling the outcome.
struct TSilentCase {
  const char* Name;
  const char* Folder;  // on the server
  const char* Switches;
  int Status;
  const char* Logged;  // a line the log holds
};

const TSilentCase kSilent[] = {
    {"installed", "ok", "/VERYSILENT /LANG=fr", 0, nullptr},
    {"not_found", "missing", "/SILENT /LANG=nl", 1, "HTTP/1.1 404 Not Found"},
    {"wrong_switch", "ok", "/VERYSILENT /LANG=de", 2, nullptr},
};

class WinSilent : public WinInstall, public ::testing::WithParamInterface<TSilentCase> {
protected:
  // The program in its silent mode with switches; the exit status (99: it did not end).
  DWORD RunProgram(const std::string& switches, const std::string& log) {
    return Run("\"" + WindowsPath(TARVO_SETUP_EXE) + "\" " + switches + " \"/LOG=" + log + "\"");
  }
  DWORD Run(const std::string& line) {
    std::wstring command(line.begin(), line.end());  // ASCII: the build tree's path
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 98;
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD status = 99;
    GetExitCodeProcess(pi.hProcess, &status);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return status;
  }
};

// The signed list checked through CNG: the list and signatures made by sha256sum and openssl
// on the Linux side.
TEST_F(WinSilent, OnlyTheVendorsSignedArchivesAreInstalled) {
  ASSERT_EQ(TLinuxSide::Run({"sh", "-c", "cd '" + linux + "' && for k in vendor other; do "
                             "openssl ecparam -name prime256v1 -genkey -noout -out $k.pem && "
                             "openssl ec -in $k.pem -pubout -out $k.pub.pem; done 2>/dev/null"}), 0);
  struct {
    const char* Name;
    const char* Change;  // a shell command run in the signed folder
    DWORD Status;
    const char* Logged;
  } const cases[] = {
      {"genuine", "true", 0, nullptr},
      {"attacker", "cp ../ok/data.zip main.zip", 1, "main.zip is niet het bestand dat de uitgever ondertekende"},
      {"edited", "echo >> SHA256SUMS", 1, "De handtekening van SHA256SUMS klopt niet"},
      {"otherkey", "openssl dgst -sha256 -sign ../../other.pem -out SHA256SUMS.sig SHA256SUMS", 1,
       "De handtekening van SHA256SUMS klopt niet"},
      {"noupgrade", "sed -i /upgrade.zip/d SHA256SUMS && openssl dgst -sha256 -sign ../../vendor.pem -out SHA256SUMS.sig SHA256SUMS",
       1, "upgrade.zip staat niet in de ondertekende lijst"},
  };
  _putenv_s("TARVO_PAYLOAD_KEY", (dir / "vendor.pub.pem").string().c_str());
  for (const auto& c : cases) {
    const std::string folder = std::string("signed-") + c.Name;
    ASSERT_EQ(TLinuxSide::Run({"sh", "-c", "cd '" + linux + "/www' && rm -rf " + folder + " && cp -r ok " + folder +
                               " && cd " + folder + " && sha256sum main.zip upgrade.zip data.zip > SHA256SUMS && "
                               "openssl dgst -sha256 -sign ../../vendor.pem -out SHA256SUMS.sig SHA256SUMS && " + c.Change}),
              0) << c.Name;
    std::error_code ec;
    fs::remove_all(Install(), ec);
    UseServerFolder(folder);
    const std::string log = (dir / (folder + ".log")).string();
    EXPECT_EQ(RunProgram("/VERYSILENT /LANG=nl", log), c.Status) << c.Name << "\n" << Slurp(log);
    EXPECT_EQ(fs::exists(Install() / "TARVO.EXE"), c.Status == 0) << c.Name;
    if (c.Logged) {
      EXPECT_NE(Slurp(log).find(c.Logged), std::string::npos) << c.Name << "\n" << Slurp(log);
    }
  }
  _putenv_s("TARVO_PAYLOAD_KEY", "");
  // main.zip was asked for only where the list held: genuine and the attacker's.
  const std::string requests = Requests();
  for (const char* folder : {"edited", "otherkey", "noupgrade"})
    EXPECT_EQ(requests.find(std::string("/signed-") + folder + "/main.zip"), std::string::npos) << folder;
}

#ifdef TARVO_NETGET_EXE
// DLLs saved beside the programs under the names of system DLLs (a downloads folder holds
// anything) are never loaded: not at start, not during a verified silent installation, not
// when NTLM is chosen. WINEDLLOVERRIDES makes Wine prefer a DLL found on the search path as
// Windows' own order would. version.dll is left out: Wine's own user32.dll imports it, so a
// planted one loads whatever a program does (Windows takes a KnownDLL's imports from
// System32); it serves as the proof that the test sees a planted DLL that loads. A planted
// DLL that is imported stops the program from starting; one that is loaded writes the marker.
TEST_F(WinSilent, PlantedDllsBesideTheProgramsAreNeverLoaded) {
  // A program this one starts does not see WINEDLLOVERRIDES: the Linux side starts them,
  // in the same Wine prefix.
  // (Copied: a later _putenv_s moves the environment that getenv points into.)
  const std::string prefix = std::getenv("WINEPREFIX") ? std::getenv("WINEPREFIX") : "";
  if (prefix.empty()) GTEST_SKIP() << "WINEPREFIX is not set";
  const fs::path downloads = dir / "downloads";
  fs::create_directories(downloads);
  fs::copy_file(WindowsPath(TARVO_SETUP_EXE), downloads / "tarvo-setup.exe");
  fs::copy_file(WindowsPath(TARVO_NETGET_EXE), downloads / "netget.exe");
  const fs::path marker = dir / "planted.txt";
  std::string said;
  auto wine = [&](const std::string& overrides, const std::string& program, std::vector<std::string> arguments) {
    std::vector<std::string> line{"sh", "-c", "exec \"$@\" 2>&1", "sh", "env", "WINEPREFIX=" + prefix, "WINEDEBUG=-all",
                                  "WINEDLLOVERRIDES=" + overrides, "TARVO_PLANTED_MARKER=" + marker.string()};
    for (const char* name : {"TARVO_DRIVES", "TARVO_DOWNLOAD_BASE", "TARVO_PAYLOAD_KEY"})
      if (const char* value = std::getenv(name)) line.push_back(std::string(name) + "=" + value);
    line.push_back("/usr/lib/wine/wine64");
    line.push_back(linux + "/downloads/" + program);
    line.insert(line.end(), arguments.begin(), arguments.end());
    said.clear();
    return TLinuxSide::Run(line, &said);
  };

  fs::copy_file(WindowsPath(TARVO_PLANTED_DLL), downloads / "version.dll");
  // An imported DLL that lacks what is imported from it stops the program once its DllMain
  // has run: the marker tells either way.
  wine("version=n,b", "netget.exe", {"--help"});
  ASSERT_NE(Slurp(marker).find("version.dll"), std::string::npos) << "a planted DLL that loads is not seen";
  fs::remove(downloads / "version.dll");
  fs::remove(marker);

  std::string overrides;
  for (const char* name : {"bcrypt", "uxtheme", "secur32", "crypt32", "dwmapi", "cryptbase", "iphlpapi", "userenv",
                           "winhttp", "wininet"}) {
    fs::copy_file(WindowsPath(TARVO_PLANTED_DLL), downloads / (std::string(name) + ".dll"));
    overrides += std::string(overrides.empty() ? "" : ",") + name;
  }
  overrides += "=n,b";
  ASSERT_EQ(TLinuxSide::Run({"sh", "-c", "cd '" + linux + "' && openssl ecparam -name prime256v1 -genkey -noout -out planted.pem "
                             "&& openssl ec -in planted.pem -pubout -out planted.pub.pem 2>/dev/null && cd www && "
                             "cp -r ok planted && cd planted && sha256sum main.zip upgrade.zip data.zip > SHA256SUMS && "
                             "openssl dgst -sha256 -sign ../../planted.pem -out SHA256SUMS.sig SHA256SUMS"}),
            0);
  // A server that asks for NTLM and nothing else.
  net::testing::TLoopbackServer ntlm(
      [](net::testing::TPeer& peer) {
        peer.ReadUntil("\r\n\r\n");
        peer.Send("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: NTLM\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
      },
      8);
  // A server that takes the TLS hello and hangs up: the handshake has begun, Schannel and
  // crypt32 are loaded.
  net::testing::TLoopbackServer tls(
      [](net::testing::TPeer& peer) {
        std::string hello;
        peer.Receive(hello, 5000);
      },
      4);
  UseServerFolder("planted");
  _putenv_s("TARVO_PAYLOAD_KEY", (dir / "planted.pub.pem").string().c_str());
  const std::string log = (dir / "planted.log").string();
  struct {
    const char* What;
    const char* Program;
    std::vector<std::string> Arguments;
    int Status;
  } const runs[] = {
      {"netget --help", "netget.exe", {"--help"}, 0},
      {"tarvo-setup --help", "tarvo-setup.exe", {"--help"}, 0},
      {"a verified silent installation", "tarvo-setup.exe", {"/VERYSILENT", "/LANG=nl", "/LOG=" + log}, 0},
      {"NTLM", "netget.exe", {"--user", "u:p", "-o", (dir / "ntlm.out").string(), "http://127.0.0.1:" + std::to_string(ntlm.Port()) + "/"}, 1},
      {"https", "netget.exe", {"-o", (dir / "tls.out").string(), "https://127.0.0.1:" + std::to_string(tls.Port()) + "/"}, 1},
  };
  for (const auto& run : runs) {
    EXPECT_EQ(wine(overrides, run.Program, run.Arguments), run.Status) << run.What << "\n" << said << Slurp(log);
    EXPECT_EQ(Slurp(marker), "") << run.What;
  }
  EXPECT_TRUE(fs::exists(Install() / "TARVO.EXE"));
  _putenv_s("TARVO_PAYLOAD_KEY", "");
}
#endif

TEST_P(WinSilent, TheProgramInstallsWithoutItsWindow) {
  const TSilentCase& c = GetParam();
  UseServerFolder(c.Folder);
  const std::string log = (dir / "setup.log").string();
  const DWORD status = RunProgram(c.Switches, log);
  EXPECT_EQ(status, static_cast<DWORD>(c.Status)) << Slurp(log);
  if (c.Status == 0) {
    EXPECT_EQ(Slurp(Install() / "SETUP.INI"), "[SETUP]\r\nTAAL=FRB\r\nDATA_DIRECTORY=" + InstallText() + "DATA\\\r\n");
    EXPECT_TRUE(fs::exists(dir / "desktop" / "T.Arvo.lnk"));
  } else {
    EXPECT_FALSE(fs::exists(Install() / "SETUP.INI"));
  }
  if (c.Logged) {
    EXPECT_NE(Slurp(log).find(c.Logged), std::string::npos) << Slurp(log);
  }
}

INSTANTIATE_TEST_SUITE_P(Switches, WinSilent, ::testing::ValuesIn(kSilent),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
