// The silent installer as administrators run it: exit status, the texts on standard error
// and what it installs.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "install_sandbox.h"

using namespace tarvo::setup::testing;

namespace {

struct TSilentCase {
  const char* Name;
  const char* Scenario;
  const char* Arguments;  // "@" stands for the sandbox folder
  int Exit;
  const char* Says;       // a text standard error must hold
  const char* Ini;        // expected SETUP.INI ("@" the sandbox), or null when there is none
  bool Wizard = false;    // through the wizard's program, without a display
  const char* Log = nullptr;  // the file ("@" the sandbox) that holds Says instead of standard error
};

const TSilentCase kSilent[] = {
    {"Dutch", "ok", "--silent --language nl", 0, "Installatie voltooid\n",
     "[PRINT]\r\nPRINTER=LPT1\r\n[SETUP]\r\nTAAL=NLB\r\nKASSA=2\r\nDATA_DIRECTORY=@/c/TARVO/DATA/\r\n"},
    {"FrenchOnDriveDWithDataFolder", "ok", "--silent --language fr --drive d: --data-folder @/d/gegevens", 0,
     "Installation terminée\n",
     "[PRINT]\r\nPRINTER=LPT1\r\n[SETUP]\r\nTAAL=FRB\r\nKASSA=2\r\nDATA_DIRECTORY=@/d/gegevens/\r\n"},
    {"NotFound", "missing", "--silent --language nl", 1,
     "HTTP/1.1 404 Not Found\r\nmain.zip kon niet worden gedownload van http://", nullptr},
    // Checked before anything is downloaded.
    {"ExistingDataMissing", "ok", "--silent --language fr --existing-data --data-folder @", 1,
     "L'emplacement indiqué ne contient pas de données valides.\n", nullptr},
    {"BadProxyPort", "ok", "--silent --language nl --proxy 127.0.0.1:x", 2, "--proxy needs a port from 1 to 65535, not x",
     nullptr},
    {"DataFolderWithLineBreak", "ok", "--silent --language nl --data-folder \"$(printf '@/d\\r\\n[SETUP]\\nTAAL=XXX')\"", 2,
     "--data-folder: a folder name with a line break or another control character cannot go into SETUP.INI", nullptr},
    {"BadProxyPortNumber", "ok", "--silent --language nl --proxy 127.0.0.1:70000", 2,
     "--proxy needs a port from 1 to 65535, not 70000", nullptr},
    {"ExistingAndReplaceData", "ok", "--silent --language nl --existing-data --replace-data", 2,
     "--existing-data and --replace-data exclude each other", nullptr},
    {"NoLanguage", "ok", "--silent", 2, "--language must be nl or fr", nullptr},
    {"NotSilent", "ok", "--language nl", 2, "--silent is required", nullptr},
    {"UnknownArgument", "ok", "--silent --language nl --force", 2, "unknown argument: --force", nullptr},
    {"UnknownDrive", "ok", "--silent --language nl --drive Q", 2, "no fixed drive Q:", nullptr},
    {"Help", "ok", "--help", 0, "--silent --language nl|fr [--drive C] [--proxy HOST:PORT]\n"
     "                   [--data-folder PATH] [--existing-data | --replace-data]", nullptr},
    // The switches of Windows installers.
    {"VerySilentFrench", "ok", "/VERYSILENT /lang=FR", 0, "Installation terminée\n",
     "[PRINT]\r\nPRINTER=LPT1\r\n[SETUP]\r\nTAAL=FRB\r\nKASSA=2\r\nDATA_DIRECTORY=@/c/TARVO/DATA/\r\n"},
    {"SilentToLogFile", "missing", "/silent /LANG=nl /LOG=@/setup.log", 1,
     "/missing/tarvo/Files/main.zip.\nInstallatie is niet voltooid\n", nullptr, false, "@/setup.log"},
    {"SwitchLanguageWrong", "ok", "/SILENT /LANG=de", 2, "--language must be nl or fr", nullptr},
    {"LogWithoutFile", "ok", "/SILENT /LANG=nl /LOG=", 2, "/LOG= needs a file", nullptr},
#ifdef TARVO_WIZARD
    {"WizardProgram", "ok", "--silent --language nl", 0, "Installatie voltooid\n",
     "[PRINT]\r\nPRINTER=LPT1\r\n[SETUP]\r\nTAAL=NLB\r\nKASSA=2\r\nDATA_DIRECTORY=@/c/TARVO/DATA/\r\n", true},
    {"WizardProgramWrongLine", "ok", "--silent --language de", 2, "--language must be nl or fr", nullptr, true},
#endif
};

std::string Replace(std::string s, const std::string& with) {
  for (std::size_t at = s.find('@'); at != std::string::npos; at = s.find('@', at + with.size())) s.replace(at, 1, with);
  return s;
}

class Silent : public ::testing::TestWithParam<TSilentCase> {};

TEST_P(Silent, ExitStatusTextsAndFiles) {
  if (!TArchiveServer::Get().Ok()) GTEST_SKIP() << "nginx did not start";
  const TSilentCase& c = GetParam();
  TSandbox box(c.Scenario);
  std::filesystem::create_directories(box.Path() + "/d");
#ifdef TARVO_WIZARD
  const std::string program = c.Wizard ? "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " TARVO_WIZARD : TARVO_SILENT;
#else
  const std::string program = TARVO_SILENT;
#endif
  std::string command = "TARVO_DRIVES='C=" + box.Path() + "/c;D=" + box.Path() + "/d' " + program + " " +
                        Replace(c.Arguments, box.Path()) + " 2>&1";
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::array<char, 4096> buf;
  while (std::fgets(buf.data(), buf.size(), pipe)) out += buf.data();
  int status = ::pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), c.Exit) << out;
  const std::string said = Untimed(c.Log ? ReadFile(Replace(c.Log, box.Path())) : out);
  EXPECT_NE(said.find(c.Says), std::string::npos) << said;
  std::string drive = box.Path() + (std::string(c.Arguments).find("--drive d") != std::string::npos ? "/d/" : "/c/");
  if (c.Ini != nullptr)
    EXPECT_EQ(ReadFile(drive + "TARVO/SETUP.INI"), Replace(c.Ini, box.Path()));
  else
    EXPECT_FALSE(std::filesystem::exists(drive + "TARVO/SETUP.INI"));
  EXPECT_EQ(std::filesystem::exists(box.Desktop() + "T.Arvo.lnk"), c.Ini != nullptr && c.Exit == 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, Silent, ::testing::ValuesIn(kSilent),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace

namespace {

// Runs the silent installer with TARVO_DRIVES pointing into the sandbox; standard error goes
// to a file there. Answers the exit status (-1: did not end).
struct TSilentRun {
  pid_t Pid = -1;
  std::string Errors;
  TSilentRun(const TSandbox& box, std::vector<std::string> arguments) {
    Errors = box.Path() + "/stderr.txt";
    ::setenv("TARVO_DRIVES", ("C=" + box.Path() + "/c").c_str(), 1);
    arguments.insert(arguments.begin(), TARVO_SILENT);
    Pid = ::fork();
    if (Pid == 0) {
      const int fd = ::open(Errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 2);
      std::vector<char*> argv;
      for (std::string& a : arguments) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::unsetenv("TARVO_DRIVES");
  }
  int Wait(int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
      int status = 0;
      if (::waitpid(Pid, &status, WNOHANG) == Pid) {
        Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }
  ~TSilentRun() {
    if (Pid > 0) {
      ::kill(Pid, SIGKILL);
      ::waitpid(Pid, nullptr, 0);
    }
  }
};

bool HasPartialArchive(const std::string& folder) { return Tree(folder).find("main.zip") != std::string::npos; }

// SIGINT (Ctrl-C), SIGTERM (timeout, a service manager) and SIGHUP (the terminal closed) in
// the middle of a slow download: the step stops at once, says so, and leaves nothing.
class SilentSignal : public ::testing::TestWithParam<int> {};

// A second installer for the same folder stops at once and says why; one for another
// folder is not held up.
TEST(SilentLock, OneInstallerPerFolder) {
  if (!TArchiveServer::Get().Ok()) GTEST_SKIP() << "nginx did not start";
  TSandbox box("slow");
  TSilentRun first(box, {"--silent", "--language", "nl"});
  bool downloading = false;
  for (int i = 0; i < 200 && !downloading; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    downloading = ReadFile(first.Errors).find("main.zip\n") != std::string::npos;
  }
  ASSERT_TRUE(downloading) << ReadFile(first.Errors);
  {
    std::string out;  // on the first one's drive
    const std::string command = "TARVO_DRIVES='C=" + box.Path() + "/c' " TARVO_SILENT " --silent --language fr 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::array<char, 4096> buf;
    while (std::fgets(buf.data(), buf.size(), pipe)) out += buf.data();
    const int status = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 1) << out;
    EXPECT_NE(out.find("Une installation est déjà en cours dans " + box.Install()), std::string::npos) << out;
  }
  TSandbox other("ok");
  TSilentRun second(other, {"--silent", "--language", "nl"});
  EXPECT_EQ(second.Wait(60), 0) << ReadFile(second.Errors);
  ::kill(first.Pid, SIGTERM);
  EXPECT_EQ(first.Wait(10), 1);
}

TEST_P(SilentSignal, StopsAtOnceWithoutAPartialArchive) {
  if (!TArchiveServer::Get().Ok()) GTEST_SKIP() << "nginx did not start";
  TSandbox box("slow");
  // What an earlier run that was killed outright left behind goes first.
  WriteFile(box.Install() + ".main.zip.Xy12Ab", "partial");
  WriteFile(box.Install() + "main.zip.Xy12Ab.zip", "partial");
  TSilentRun run(box, {"--silent", "--language", "nl"});
  bool downloading = false;
  for (int i = 0; i < 200 && !downloading; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string tree = Tree(box.Install());
    // The download itself has no name: it shows in the progress, once the leftovers are gone.
    downloading = tree.find("Xy12Ab") == std::string::npos && ReadFile(run.Errors).find("main.zip\n") != std::string::npos;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(downloading) << Tree(box.Install()) << ReadFile(run.Errors);
  ::kill(run.Pid, GetParam());
  EXPECT_EQ(run.Wait(10), 1) << ReadFile(run.Errors);
  const std::string said = Untimed(ReadFile(run.Errors));
  EXPECT_NE(said.find("De installatie werd onderbroken.\nInstallatie is niet voltooid\n"), std::string::npos) << said;
  EXPECT_FALSE(HasPartialArchive(box.Install())) << Tree(box.Install());
}

INSTANTIATE_TEST_SUITE_P(Signals, SilentSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// A second silent run keeps the shop's data; --replace-data replaces it. A missing existing
// data folder is known before anything is downloaded.
TEST(SilentRerun, KeepsTheDataUnlessToldToReplaceIt) {
  if (!TArchiveServer::Get().Ok()) GTEST_SKIP() << "nginx did not start";
  TSandbox box("ok");
  const std::string data = box.Install() + "DATA/WINKEL.DAT";
  for (const char* option : {"", "", "--replace-data"}) {
    std::vector<std::string> arguments{"--silent", "--language", "nl"};
    if (*option) arguments.push_back(option);
    const int before = TArchiveServer::Get().Requests("/ok/tarvo/Files/data.zip");
    const bool first = !std::filesystem::exists(data);
    TSilentRun run(box, arguments);
    ASSERT_EQ(run.Wait(60), 0) << ReadFile(run.Errors);
    const bool replaced = first || *option;
    EXPECT_EQ(ReadFile(data), replaced ? std::string(4096, '\0') : "changed by the shop\n") << option;
    EXPECT_EQ(TArchiveServer::Get().Requests("/ok/tarvo/Files/data.zip"), before + (replaced ? 1 : 0));
    WriteFile(data, "changed by the shop\n");
  }
  const int mains = TArchiveServer::Get().Requests("/ok/tarvo/Files/main.zip");
  TSilentRun run(box, {"--silent", "--language", "nl", "--existing-data", "--data-folder", box.Path() + "/elsewhere"});
  EXPECT_EQ(run.Wait(60), 1);
  EXPECT_EQ(Untimed(ReadFile(run.Errors)), "De opgegeven locatie bevat geen geldige gegevens.\n");
  EXPECT_EQ(TArchiveServer::Get().Requests("/ok/tarvo/Files/main.zip"), mains);
}

}  // namespace
