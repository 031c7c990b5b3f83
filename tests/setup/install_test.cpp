// The installer's steps against a real nginx (and tinyproxy for the proxy path): what ends
// up on disk, SETUP.INI byte for byte, the shortcut, the progress seen, and every failure
// ending on the abort page with its message and without leftovers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <thread>
#include <vector>

#include "../net/loopback_server.h"

#include "install_sandbox.h"
#include "platform/shell_link.h"
#include "setup/installer.h"
#include "setup/progress_text.h"

using namespace tarvo;
using namespace tarvo::setup;
using namespace tarvo::setup::testing;

namespace {

// An installer with its seams recorded.
struct TRecorder {
  TInstaller Installer;
  std::vector<std::string> Aborts, ErrorBoxes, Archives;
  std::vector<std::vector<int>> Progress;  // the step's percent, per archive
  std::vector<TInstallProgress> Seen;
  int FinishToFront = 0;

  explicit TRecorder(const TSandbox& box, bool dutch = true) {
    Installer.Options.DriveRoot = box.Drive();
    Installer.Options.Dutch = dutch;
    Installer.OnAbort = [this](const std::string& m) { Aborts.push_back(m); };
    Installer.OnErrorBox = [this](const std::string& m) { ErrorBoxes.push_back(m); };
    Installer.OnArchiveBegin = [this](const std::string& a) {
      Archives.push_back(a);
      Progress.emplace_back();
    };
    Installer.OnProgress = [this](const TInstallProgress& p) {
      Progress.back().push_back(p.Percent);
      Seen.push_back(p);
    };
    Installer.OnFinishToFront = [this] { ++FinishToFront; };
  }
};

class Install : public ::testing::Test {
protected:
  void SetUp() override {
    if (!TArchiveServer::Get().Ok()) GTEST_SKIP() << "nginx did not start";
  }
};

std::string ExpectedIni(const std::string& taal, const std::string& data) {
  return "[PRINT]\r\nPRINTER=LPT1\r\n[SETUP]\r\nTAAL=" + taal + "\r\nKASSA=2\r\nDATA_DIRECTORY=" + data + "\r\n";
}

TEST_F(Install, BothStepsThenASecondRunOverTheInstallation) {
  TSandbox box("ok");
  for (bool dutch : {true, false}) {
    TRecorder r(box, dutch);
    ASSERT_EQ(r.Installer.RunComponentStep(), TStepResult::srCompleted) << (r.Aborts.empty() ? "" : r.Aborts[0]);
    EXPECT_EQ(r.Installer.Options.DataFolder, box.Install() + "DATA");
    ASSERT_EQ(r.Installer.RunDataStep(), TStepResult::srCompleted);

    // upgrade.zip replaced VERSION.TXT; stored folders are not recreated; no archive or
    // temporary file stays, but an entry named like its archive does.
    EXPECT_EQ(Tree(box.Install()), "DATA/\nDATA/FOTO/\nDATA/KLANTEN.CSV\nDATA/WINKEL.DAT\nSETUP.INI\nTARVO.EXE\nTARVO.HLP\n"
                                   "VERSION.TXT\nupgrade.zip\n");
    EXPECT_EQ(ReadFile(box.Install() + "VERSION.TXT"), "1.1\n");
    EXPECT_EQ(ReadFile(box.Install() + "upgrade.zip"), "an entry named like its archive\n");
    // The archive brought a SETUP.INI: its other keys stay, ours are replaced or added.
    EXPECT_EQ(ReadFile(box.Install() + "SETUP.INI"), ExpectedIni(dutch ? "NLB" : "FRB", box.Install() + "DATA/"));
    EXPECT_EQ(r.FinishToFront, 1);

    platform::TShellLink link;
    link.SetLinkFile(box.Desktop() + "T.Arvo.lnk");
    ASSERT_TRUE(link.Read());
    EXPECT_EQ(link.ProgramFile(), box.Install() + "TARVO.EXE");
    EXPECT_EQ(link.Description(), "TArvo");
    EXPECT_EQ(link.WorkingDirectory(), box.Install());

    // One sweep per step, never going back: main.zip fills the first half of the component
    // step and upgrade.zip the second; data.zip the whole data step. The second run keeps
    // the data that is there: no data.zip.
    const bool firstRun = dutch;
    std::vector<std::string> archives{"main.zip", "upgrade.zip"};
    if (firstRun) archives.push_back("data.zip");
    EXPECT_EQ(r.Archives, archives);
    ASSERT_EQ(r.Progress.size(), archives.size());
    const std::pair<int, int> sweeps[] = {{0, 50}, {50, 100}, {0, 100}};
    for (std::size_t i = 0; i < archives.size(); ++i) {
      const std::vector<int>& p = r.Progress[i];
      ASSERT_FALSE(p.empty());
      EXPECT_EQ(p.front(), sweeps[i].first) << r.Archives[i];
      EXPECT_EQ(p.back(), sweeps[i].second) << r.Archives[i];
      EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    }
    // Each archive passes through its phases in order.
    std::vector<std::pair<std::string, TInstallPhase>> phases, expected;
    for (const TInstallProgress& p : r.Seen) {
      if (phases.empty() || phases.back() != std::pair(p.Archive, p.Phase)) phases.emplace_back(p.Archive, p.Phase);
      if (p.Phase == TInstallPhase::ipDownloading && p.Total > 0) {
        EXPECT_LE(p.Done, p.Total);
      }
    }
    for (const std::string& a : archives)
      for (TInstallPhase phase : {TInstallPhase::ipConnecting, TInstallPhase::ipWaiting, TInstallPhase::ipDownloading,
                                  TInstallPhase::ipUnpacking})
        expected.emplace_back(a, phase);
    EXPECT_EQ(phases, expected);
    EXPECT_TRUE(r.Aborts.empty());
  }
}


struct TFailureCase {
  const char* Name;
  const char* Scenario;     // "refused" and "unwritable" are set up by the test
  const char* ProxyPort;    // non-null: the proxy box is ticked with 127.0.0.1 and this port
                            // ("free": one nobody listens on)
  const char* Message;      // the transport's or server's text first, then what failed
};

const TFailureCase kFailures[] = {
    {"NotFound", "missing", nullptr,
     "HTTP/1.1 404 Not Found\r\nmain.zip kon niet worden gedownload van http://127.0.0.1:*/missing/tarvo/Files/main.zip."},
    {"NoContent", "nocontent", nullptr,
     "HTTP Error:204: HTTP/1.1 204 No Content\r\nmain.zip kon niet worden gedownload van http://*/main.zip."},
    {"Truncated", "truncated", nullptr, "?*"},
    {"DamagedEntry", "damaged", nullptr, "Kan \"BROKEN.TXT\" niet uitpakken: ?*"},
    {"Refused", "refused", nullptr, "Socket Error # 10061*\r\nDe downloadserver 127.0.0.1 is niet bereikbaar."},
    {"RefusedByTheProxy", "ok", "free",
     "Socket Error # 10061\r\nConnection refused.\r\n"
     "De proxyserver 127.0.0.1:* weigert de verbinding: controleer het adres en de poort."},
    {"UnwritableDrive", "unwritable", nullptr,
     "Cannot create file \"*/file-drive/TARVO/main.zip\". ?*\r\nDe map */file-drive/TARVO/ kan niet worden aangemaakt: ?*"},
    {"EmptyProxyPort", "ok", "", "Ongeldige poort \"\" voor de proxyserver: geef een getal van 1 tot 65535 op."},
    {"ProxyPortOutOfRange", "ok", "65536", "Ongeldige poort \"65536\" voor de proxyserver?*"},
};

class InstallFailure : public Install, public ::testing::WithParamInterface<TFailureCase> {};

TEST_P(InstallFailure, AbortsWithTheMessageAndLeavesNoArchive) {
  const TFailureCase& c = GetParam();
  std::string scenario = c.Scenario;
  if (scenario == "refused")
    scenario = "http://127.0.0.1:" + std::to_string(http::testing::FreeLoopbackPort()) + "/tarvo/Files/";
  TSandbox box(scenario == "unwritable" ? "ok" : scenario);
  TRecorder r(box);
  if (scenario == "unwritable") {
    // A drive whose root is a file: nothing can be created on it, whoever runs the test.
    WriteFile(box.Path() + "/file-drive", "");
    r.Installer.Options.DriveRoot = box.Path() + "/file-drive";
  }
  if (c.ProxyPort != nullptr) {
    r.Installer.Options.ProxyUse = true;
    r.Installer.Options.ProxyServer = "127.0.0.1";
    r.Installer.Options.ProxyPort =
        std::string(c.ProxyPort) == "free" ? std::to_string(http::testing::FreeLoopbackPort()) : c.ProxyPort;
  }
  const int upgradesBefore = TArchiveServer::Get().Requests("/upgrade.zip");
  EXPECT_EQ(r.Installer.RunComponentStep(), TStepResult::srAborted);
  ASSERT_EQ(r.Aborts.size(), 1u);
  // "?*": at least one character of any text.
  std::string pattern = c.Message;
  for (std::size_t at = pattern.find("?*"); at != std::string::npos; at = pattern.find("?*"))
    pattern.replace(at, 2, "*");
  EXPECT_TRUE(Matches(pattern, r.Aborts[0])) << r.Aborts[0];
  // main.zip failed: upgrade.zip is never asked for, nothing of main.zip stays behind, and
  // the 404 page (which has a body) never moved the progress.
  EXPECT_EQ(TArchiveServer::Get().Requests("/upgrade.zip"), upgradesBefore);
  std::string tree = Tree(box.Install());
  EXPECT_EQ(tree.find("main.zip"), std::string::npos) << tree;
  if (scenario == "missing") {
    for (const std::vector<int>& p : r.Progress)
      for (int percent : p) EXPECT_EQ(percent, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, InstallFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.Name); });

// Cancel confirmed once the progress reached a point: in the download (0) or in the
// unpacking (above 80) of main.zip.
class InstallCancel : public Install, public ::testing::WithParamInterface<int> {};

TEST_P(InstallCancel, StopsAtTheNextProgressNotificationWithoutLeftovers) {
  TSandbox box("ok");
  TRecorder r(box);
  bool cancel = false;
  r.Installer.OnProgress = [&](const TInstallProgress& p) {
    r.Progress.back().push_back(p.Percent);
    cancel = cancel || p.Percent >= GetParam();
  };
  r.Installer.OnCancelQuery = [&] { return cancel; };
  std::vector<std::string> questions;  // the first question is answered No
  r.Installer.OnConfirm = [&](const std::string& q) {
    questions.push_back(q);
    return questions.size() > 1;
  };
  const int upgradesBefore = TArchiveServer::Get().Requests("/ok/tarvo/Files/upgrade.zip");
  EXPECT_EQ(r.Installer.RunComponentStep(), TStepResult::srCancelled);
  EXPECT_TRUE(r.Aborts.empty());
  ASSERT_EQ(questions.size(), 2u);
  EXPECT_EQ(questions[0], "De installatie is niet voltooid.\rBent u zeker ?");
  EXPECT_EQ(r.Archives, std::vector<std::string>{"main.zip"});
  ASSERT_FALSE(r.Progress[0].empty());
  EXPECT_GE(r.Progress[0].back(), GetParam());
  EXPECT_LT(r.Progress[0].back(), 50);
  EXPECT_EQ(Tree(box.Install()).find(".zip"), std::string::npos) << Tree(box.Install());
  EXPECT_EQ(TArchiveServer::Get().Requests("/ok/tarvo/Files/upgrade.zip"), upgradesBefore);
}

// With the one sweep, main.zip's unpacking is 40..50 of the component step.
INSTANTIATE_TEST_SUITE_P(Points, InstallCancel, ::testing::Values(0, 41));

TEST_F(Install, DataStepChoices) {
  TSandbox box("nodata");
  TRecorder r(box);
  ASSERT_EQ(r.Installer.RunComponentStep(), TStepResult::srCompleted);
  const std::string ini = box.Install() + "SETUP.INI";
  const std::string before = ReadFile(ini);

  // Existing data without WINKEL.DAT: an error box, nothing written, the page stays.
  const std::string existing = box.Path() + "/share/winkel";
  std::filesystem::create_directories(existing);
  r.Installer.Options.DataChoice = TDataChoice::dcWorkstation;
  r.Installer.Options.DataFolder = existing;
  EXPECT_EQ(r.Installer.RunDataStep(), TStepResult::srRejected);
  EXPECT_EQ(r.ErrorBoxes, std::vector<std::string>{"De opgegeven locatie bevat geen geldige gegevens."});
  EXPECT_EQ(ReadFile(ini), before);
  EXPECT_FALSE(std::filesystem::exists(box.Desktop() + "T.Arvo.lnk"));

  // With the data file (as a Windows copy may spell it) and a trailing '/', which makes no
  // difference to the value written; nothing is downloaded.
  WriteFile(existing + "/Winkel.dat", "");
  r.Installer.Options.DataFolder = existing + "/";
  const int dataRequests = TArchiveServer::Get().Requests("data.zip");
  EXPECT_EQ(r.Installer.RunDataStep(), TStepResult::srCompleted);
  EXPECT_EQ(ReadFile(ini), ExpectedIni("NLB", existing + "/"));
  EXPECT_EQ(TArchiveServer::Get().Requests("data.zip"), dataRequests);
  EXPECT_TRUE(std::filesystem::exists(box.Desktop() + "T.Arvo.lnk"));

  // data.zip missing: the abort page, but SETUP.INI and the shortcut are still written, and
  // FOTO exists in the new data folder.
  std::filesystem::remove(box.Desktop() + "T.Arvo.lnk");
  r.Installer.Options.DataChoice = TDataChoice::dcServer;
  r.Installer.Options.DataFolder = box.Path() + "/newdata";
  EXPECT_EQ(r.Installer.RunDataStep(), TStepResult::srAborted);
  ASSERT_EQ(r.Aborts.size(), 1u);
  EXPECT_TRUE(Matches("HTTP/1.1 404 Not Found\r\ndata.zip kon niet worden gedownload van http://*/nodata/tarvo/Files/data.zip.",
                      r.Aborts[0])) << r.Aborts[0];
  EXPECT_EQ(Tree(box.Path() + "/newdata"), "FOTO/\n");
  EXPECT_EQ(ReadFile(ini), ExpectedIni("NLB", box.Path() + "/newdata/"));
  EXPECT_TRUE(std::filesystem::exists(box.Desktop() + "T.Arvo.lnk"));
}

TEST_F(Install, NoDesktopNoShortcut) {
  TSandbox box("ok");
  std::filesystem::remove(box.Desktop());
  const char* home = std::getenv("HOME");
  std::string savedHome = home ? home : "";
  ::setenv("HOME", box.Path().c_str(), 1);  // no ~/Desktop, no user-dirs.dirs
  TRecorder r(box);
  r.Installer.Options.DataChoice = TDataChoice::dcWorkstation;
  r.Installer.Options.DataFolder = box.Path();
  WriteFile(box.Path() + "/WINKEL.DAT", "");
  std::filesystem::create_directories(box.Install());
  EXPECT_EQ(r.Installer.RunDataStep(), TStepResult::srCompleted);
  ::setenv("HOME", savedHome.c_str(), 1);
  EXPECT_EQ(Tree(box.Path()), "WINKEL.DAT\nc/\nc/TARVO/\nc/TARVO/SETUP.INI\n");
}

TEST_F(Install, SettingsFileThatCannotBeWrittenRaises) {
  TSandbox box("ok");
  TRecorder r(box);
  r.Installer.Options.DataChoice = TDataChoice::dcWorkstation;
  r.Installer.Options.DataFolder = box.Path();
  WriteFile(box.Path() + "/WINKEL.DAT", "");
  std::filesystem::create_directories(box.Install() + "SETUP.INI");  // a folder in its place
  try {
    r.Installer.RunDataStep();
    FAIL() << "no exception";
  } catch (const core::Exception& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + box.Install() + "SETUP.INI");
  }
  EXPECT_EQ(r.FinishToFront, 0);
  EXPECT_FALSE(std::filesystem::exists(box.Desktop() + "T.Arvo.lnk"));
}

TEST_F(Install, ThroughTinyproxy) {
  if (!http::testing::Executable("/usr/bin/tinyproxy")) GTEST_SKIP() << "tinyproxy is not installed";
  http::testing::TTempDir dir{http::testing::TTempPlace::Shared};
  http::testing::TPeerProcess proxy;
  int port = 0;
  for (int attempt = 0; attempt < 5 && port == 0; ++attempt) {
    int p = http::testing::FreeLoopbackPort();
    dir.WriteFile("tinyproxy.conf", "Port " + std::to_string(p) + "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n" +
                                        "PidFile \"" + dir.Text() + "/tinyproxy.pid\"\nLogFile \"" + dir.Text() +
                                        "/tinyproxy.log\"\nLogLevel Info\nMaxClients 10\n");
    proxy.Stop();
    ASSERT_TRUE(proxy.Start({"/usr/bin/tinyproxy", "-d", "-c", dir.Text() + "/tinyproxy.conf"}, dir.Text() + "/out.log"));
    if (http::testing::WaitForPort(p, 3000)) port = p;
  }
  ASSERT_NE(port, 0) << "tinyproxy did not start";
  TSandbox box("ok");
  TRecorder r(box);
  r.Installer.Options.ProxyUse = true;
  r.Installer.Options.ProxyServer = "127.0.0.1";
  r.Installer.Options.ProxyPort = " " + std::to_string(port) + " ";
  ASSERT_EQ(r.Installer.RunComponentStep(), TStepResult::srCompleted)
      << (r.Aborts.empty() ? "" : r.Aborts[0]) << " at " << r.Archives.back() << "\n"
      << ReadFile(dir.Text() + "/tinyproxy.log");
  EXPECT_EQ(r.Installer.HTTP().Port(), port);
  EXPECT_NE(ReadFile(dir.Text() + "/tinyproxy.log").find("/ok/tarvo/Files/upgrade.zip"), std::string::npos);
  EXPECT_EQ(ReadFile(box.Install() + "VERSION.TXT"), "1.1\n");
}

TEST(ProxyPort, OnlyWholeNumbersFromOneTo65535) {
  const std::pair<const char*, int> cases[] = {{"8080", 8080}, {" 3128 ", 3128}, {"1", 1},     {"65535", 65535},
                                               {"", 0},        {"0", 0},         {"65536", 0}, {"-1", 0},
                                               {"+80", 0},     {"80a", 0},       {"8 0", 0},   {"99999999999", 0}};
  for (const auto& [text, port] : cases) EXPECT_EQ(ParseProxyPort(text), port) << text;
}


// ---- servers that stall: the exchange's own limits, and Cancel during the wait

namespace stall {

using net::testing::TLoopbackServer;
using net::testing::TPeer;
using Clock = std::chrono::steady_clock;

// Says nothing after the request.
void Silent(TPeer& peer) {
  peer.ReadUntil("\r\n\r\n");
  while (!peer.Stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}
// A header byte now and then: every read is served, the head never ends.
void TricklingHead(TPeer& peer) {
  peer.ReadUntil("\r\n\r\n");
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n";
  for (std::size_t i = 0; !peer.Stopping(); ++i) peer.Send(std::string(1, head[i % head.size()]), 200);
}
// A whole head, then a body that crawls.
void CrawlingBody(TPeer& peer) {
  peer.ReadUntil("\r\n\r\n");
  peer.Send("HTTP/1.1 200 OK\r\nContent-Length: 10000000\r\n\r\n");
  while (!peer.Stopping()) peer.Send("0123456789", 200);
}

struct TStallCase {
  const char* Name;
  void (*Script)(TPeer&);
  bool CancelAfterHalfASecond;
  TStepResult Result;
  const char* Message;  // Matches() pattern
};

const TStallCase kStalls[] = {
    {"TricklingHead", TricklingHead, false, TStepResult::srAborted,
     "Read timed out.\r\n127.0.0.1 gaf binnen 2 seconden geen antwoord.\r\nmain.zip kon niet worden gedownload van *"},
    {"CrawlingBody", CrawlingBody, false, TStepResult::srAborted,
     "Read timed out.\r\nmain.zip kwam te traag binnen: minder dan 1000 bytes per seconde gedurende 2 seconden.\r\n*"},
    {"CancelWhileTheServerIsSilent", Silent, true, TStepResult::srCancelled, nullptr},
};

class InstallStall : public ::testing::TestWithParam<TStallCase> {};

TEST_P(InstallStall, EndsWithinSecondsNotMinutes) {
  const TStallCase& c = GetParam();
  TLoopbackServer server(c.Script);
  TSandbox box("http://127.0.0.1:" + std::to_string(server.Port()) + "/tarvo/Files/");
  TRecorder r(box);
  r.Installer.Limits.ResponseHeadMS = 2000;
  r.Installer.Limits.SlowBodyRate = 1000;
  r.Installer.Limits.SlowBodyMS = 2000;
  const Clock::time_point start = Clock::now();
  r.Installer.OnCancelQuery = [&] { return c.CancelAfterHalfASecond && Clock::now() - start > std::chrono::milliseconds(500); };
  EXPECT_EQ(r.Installer.RunComponentStep(), c.Result);
  // A generous bound: the read time-out alone (60 s) would take far longer.
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
  if (c.Message) {
    ASSERT_EQ(r.Aborts.size(), 1u);
    EXPECT_TRUE(Matches(c.Message, r.Aborts[0])) << r.Aborts[0];
  } else {
    EXPECT_TRUE(r.Aborts.empty());  // no error box after the user cancelled
  }
  // The installer kept the progress coming while it waited: a window stays alive.
  EXPECT_GE(r.Seen.size(), 4u);  // one every kPulseMS over half a second at the least
  EXPECT_EQ(Tree(box.Install()), "");
}

INSTANTIATE_TEST_SUITE_P(Servers, InstallStall, ::testing::ValuesIn(kStalls),
                         [](const auto& info) { return std::string(info.param.Name); });

// The window asked the user something for a while (Cancel answered No): that time does not
// count against a server that sends at a steady pace.
TEST(InstallStallLimits, TimeInAQuestionIsNotTheServersFault) {
  TLoopbackServer server([](TPeer& peer) {
    peer.ReadUntil("\r\n\r\n");
    peer.Send("HTTP/1.1 200 OK\r\nContent-Length: 400000\r\n\r\n");
    for (int i = 0; i < 20 && !peer.Stopping(); ++i) peer.Send(std::string(20000, 'x'), 50);
  });
  TSandbox box("http://127.0.0.1:" + std::to_string(server.Port()) + "/tarvo/Files/");
  TRecorder r(box);
  r.Installer.Limits.SlowBodyRate = 20000;  // the server sends 400 KB/s
  r.Installer.Limits.SlowBodyMS = 1000;
  bool asked = false;
  r.Installer.OnProgress = [&](const TInstallProgress& p) {
    r.Progress.back().push_back(p.Percent);
    if (!asked && p.Done > 0) {
      asked = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the question is open
    }
  };
  EXPECT_EQ(r.Installer.RunComponentStep(), TStepResult::srAborted);  // the body is no archive
  ASSERT_EQ(r.Aborts.size(), 1u);
  EXPECT_EQ(r.Aborts[0].find("Read timed out."), std::string::npos) << r.Aborts[0];
}

}  // namespace stall

// A data folder whose name would add lines to SETUP.INI is refused before anything is
// written or downloaded, in the window's way: an error box, and the data page stays.
TEST_F(Install, ADataFolderWithControlCharactersIsRefused) {
  TSandbox box("ok");
  const int before = TArchiveServer::Get().Requests("/ok/tarvo/Files/data.zip");
  for (const char* folder : {"/d\r\n[SETUP]\r\nTAAL=XXX", "/d\tx", "/d\x7f"}) {
    TRecorder r(box);
    r.Installer.Options.DataFolder = box.Path() + folder;
    EXPECT_EQ(r.Installer.RunDataStep(), TStepResult::srRejected);
    ASSERT_EQ(r.ErrorBoxes.size(), 1u);
    EXPECT_NE(r.ErrorBoxes[0].find("bevat een regeleinde of een ander stuurteken"), std::string::npos) << r.ErrorBoxes[0];
    EXPECT_EQ(r.ErrorBoxes[0].find('\n'), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(box.Install() + "SETUP.INI"));
  }
  EXPECT_EQ(TArchiveServer::Get().Requests("/ok/tarvo/Files/data.zip"), before);
}

// What an interrupted run of ours left goes at the start of the next; nothing else does.
TEST(StaleTemporaries, OnlyOurOwnNamingIsRemoved) {
  http::testing::TTempDir dir{http::testing::TTempPlace::Shared};
  const std::pair<const char*, bool> names[] = {
      {".main.zip.Ab3xY9", true},        {"main.zip.Ab3xY9.zip", true}, {"main.zip.tarvo-1234-0", true},
      {".upgrade.zip.000000", false},    // another archive's
      {".main.zip.Ab3xY", false},        {".main.zip.Ab3xY9x", false},  {".main.zip.Ab-xY9", false},
      {"main.zip", false},               {"main.zip.Ab3xY9.txt", false}, {"main.zip.tarvo-12a-0", false},
      {"main.zip.tarvo--0", false},      {"KLANTEN.CSV", false},
  };
  for (const auto& [name, gone] : names) dir.WriteFile(name, "x");
  std::filesystem::create_directories(dir.Text() + "/.main.zip.Folder");  // a folder of that form stays
  RemoveStaleTemporaries(dir.Text(), "main.zip");
  for (const auto& [name, gone] : names)
    EXPECT_EQ(std::filesystem::exists(dir.Text() + "/" + name), !gone) << name;
  EXPECT_TRUE(std::filesystem::is_directory(dir.Text() + "/.main.zip.Folder"));
}

TEST(ProgressText, SizesDurationsAndPhasesInWords) {
  const std::pair<std::int64_t, const char*> sizes[] = {
      {0, "0 bytes"},        {1023, "1023 bytes"},       {1024, "1,0 KB"},
      {1536, "1,5 KB"},      {1048575, "1,0 MB"},        {12'900'000, "12,3 MB"},
      {(std::int64_t{5} << 30) + (std::int64_t{1} << 29), "5,5 GB"}, {-5, "0 bytes"},
  };
  for (const auto& [n, text] : sizes) EXPECT_EQ(ByteCountText(n), text) << n;
  const std::pair<int, const char*> durations[] = {{0, "0 s"}, {59, "59 s"}, {60, "1 min 00 s"}, {372, "6 min 12 s"},
                                                   {7500, "2 u 05 min"}, {-3, "0 s"}};
  for (const auto& [n, text] : durations) EXPECT_EQ(DurationText(n), text) << n;

  TInstallProgress p;
  p.Archive = "main.zip";
  p.Peer = "proxy.local";
  p.ArchiveIndex = 1;
  p.ArchiveCount = 2;
  EXPECT_EQ(ProgressPhaseText(p), "Verbinden met proxy.local...");
  EXPECT_EQ(ProgressDetailText(p), "");
  p.Phase = TInstallPhase::ipDownloading;
  p.Done = 3 << 20;
  EXPECT_EQ(ProgressDetailText(p), "3,0 MB");  // no size announced, no speed yet
  p.Total = 30 << 20;
  p.BytesPerSecond = 50 << 10;
  p.SecondsLeft = 553;
  EXPECT_EQ(ProgressPhaseText(p), "main.zip downloaden (1 van 2)");
  EXPECT_EQ(ProgressDetailText(p), "3,0 MB van 30,0 MB - 50,0 KB/s - nog 9 min 13 s");
  // The second archive: the step's bytes, the first archive's included.
  p.StepDone = (10 << 20) + p.Done;
  p.StepTotal = (10 << 20) + p.Total;
  EXPECT_EQ(ProgressDetailText(p), "13,0 MB van 40,0 MB - 50,0 KB/s - nog 9 min 13 s");
  p.Phase = TInstallPhase::ipUnpacking;
  EXPECT_EQ(ProgressPhaseText(p), "main.zip uitpakken (1 van 2)");
  EXPECT_EQ(ProgressDetailText(p), "");
  p.FilesDone = 3, p.FilesTotal = 40, p.CurrentFile = "TARVO.EXE";
  EXPECT_EQ(ProgressDetailText(p), "bestand 3 van 40: TARVO.EXE");
}

// A disk that fills up says so, and how much is needed: by the download, or by an entry
// while unpacking (a small tmpfs: needs root).
class FullDisk : public Install, public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(FullDisk, SaysSoAndHowMuchIsNeeded) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  TSandbox box(GetParam().first);
  const std::string drive = box.Path() + "/small";
  std::filesystem::create_directories(drive);
  if (std::system(("mount -t tmpfs -o size=1m tarvo-test '" + drive + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  std::vector<std::string> aborts;
  {
    // Gone before the drive is: it holds the drive's folder while it may install there.
    TRecorder r(box);
    r.Installer.Options.DriveRoot = drive;
    EXPECT_EQ(r.Installer.RunComponentStep(), TStepResult::srAborted);
    aborts = r.Aborts;
  }
  const std::string tree = Tree(drive);
  EXPECT_EQ(std::system(("umount '" + drive + "'").c_str()), 0);
  ASSERT_EQ(aborts.size(), 1u);
  EXPECT_TRUE(Matches(GetParam().second, aborts[0])) << aborts[0];
  EXPECT_EQ(tree.find(".zip"), std::string::npos) << tree;  // no partial archive
}

INSTANTIATE_TEST_SUITE_P(
    Install, FullDisk,
    ::testing::Values(std::pair("big", "*\r\nDe schijf is vol: main.zip heeft 8,0 MB nodig, er is nog * vrij."),
                      std::pair("zeros", "Kan \"BIG.DAT\" niet uitpakken: *\r\nDe schijf is vol: BIG.DAT heeft 3,0 MB "
                                         "nodig, er is nog * vrij.")),
    [](const auto& info) { return std::string(info.param.first); });

}  // namespace
