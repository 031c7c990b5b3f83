#include "setup/silent.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <string_view>

#include "core/scope_guard.h"
#include "i18n/translations.h"
#include "platform/console.h"
#include "platform/fixed_drives.h"
#include "setup/installer.h"
#include "setup/progress_text.h"
#include "setup/window_texts.h"

namespace tarvo::setup {

using i18n::_;

namespace {

constexpr const char* kUsage =
    "usage: tarvo-setup --silent --language nl|fr [--drive C] [--proxy HOST:PORT]\n"
    "                   [--data-folder PATH] [--existing-data | --replace-data]\n"
    "\n"
    "Installs T.Arvo without the window: downloads and unpacks main.zip and upgrade.zip\n"
    "into TARVO on the drive, then data.zip into the data folder (default TARVO/DATA), or\n"
    "with --existing-data checks that the data folder holds WINKEL.DAT; writes SETUP.INI\n"
    "and the desktop shortcut.\n"
    "\n"
    "  --language nl|fr     language of the installation and of its messages\n"
    "  --drive C            drive letter (TARVO_DRIVES=\"C=/path;D=/path\" maps letters)\n"
    "  --proxy HOST:PORT    HTTP proxy\n"
    "  --data-folder PATH   data folder\n"
    "  --existing-data      use the data already in the data folder\n"
    "  --replace-data       replace the data file (WINKEL.DAT) of an earlier installation;\n"
    "                       without it existing data is kept\n"
    "\n"
    "  /SILENT, /VERYSILENT, /LANG=nl|fr, /LOG=FILE   as other Windows installers take them\n"
    "                       (/VERYSILENT without progress, /LOG writes the messages to FILE)\n"
    "\n"
    "Environment: TARVO_DOWNLOAD_BASE overrides the download address; TARVO_PAYLOAD_KEY=FILE\n"
    "names the vendor's public key (PEM) that the signed list SHA256SUMS is checked with.\n"
    "Exit status: 0 installed, 1 not installed, 2 wrong command line.\n";

struct TSilentOptions {
  bool Help = false;
  std::string Language;
  char Drive = 'C';
  bool ProxyUse = false;
  std::string ProxyServer, ProxyPort;
  std::string DataFolder;
  bool ExistingData = false;
  bool ReplaceData = false;
  bool VerySilent = false;
  std::string LogFile;
};

// The switches of Windows installers: a slash, a name in any case, maybe "=value".
bool IsSwitch(std::string_view arg, std::string_view name, std::string* value = nullptr) {
  if (arg.size() < name.size() + 1 || arg[0] != '/') return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(arg[i + 1])) != name[i]) return false;
  const std::string_view rest = arg.substr(name.size() + 1);
  if (!value) return rest.empty();
  if (rest.empty() || rest[0] != '=') return false;
  *value = std::string(rest.substr(1));
  return true;
}

// Why the command line was refused, or nothing.
std::optional<std::string> Parse(int argc, char** argv, TSilentOptions& o) {
  bool silent = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o.Help = true;
    } else if (a == "--silent" || IsSwitch(a, "SILENT")) {
      silent = true;
    } else if (IsSwitch(a, "VERYSILENT")) {
      silent = o.VerySilent = true;
    } else if (IsSwitch(a, "LANG", &v)) {
      for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      o.Language = v;
    } else if (IsSwitch(a, "LOG", &v)) {
      if (v.empty()) return "/LOG= needs a file";
      o.LogFile = v;
    } else if (a == "--existing-data") {
      o.ExistingData = true;
    } else if (a == "--replace-data") {
      o.ReplaceData = true;
    } else if (a == "--language") {
      if (!value(o.Language)) return "--language needs nl or fr";
    } else if (a == "--drive") {
      if (!value(v)) return "--drive needs a letter";
      if (v.size() == 2 && v[1] == ':') v.pop_back();
      if (v.size() != 1 || !std::isalpha(static_cast<unsigned char>(v[0]))) return "not a drive letter: " + v;
      o.Drive = static_cast<char>(std::toupper(static_cast<unsigned char>(v[0])));
    } else if (a == "--proxy") {
      if (!value(v)) return "--proxy needs HOST:PORT";
      std::size_t colon = v.rfind(':');
      if (colon == std::string::npos || colon == 0) return "--proxy needs HOST:PORT, not " + v;
      o.ProxyUse = true;
      o.ProxyServer = v.substr(0, colon);
      if (o.ProxyServer.size() > 2 && o.ProxyServer.front() == '[' && o.ProxyServer.back() == ']')
        o.ProxyServer = o.ProxyServer.substr(1, o.ProxyServer.size() - 2);
      o.ProxyPort = v.substr(colon + 1);
      if (ParseProxyPort(o.ProxyPort) == 0) return "--proxy needs a port from 1 to 65535, not " + o.ProxyPort;
    } else if (a == "--data-folder") {
      if (!value(o.DataFolder) || o.DataFolder.empty()) return "--data-folder needs a folder";
      if (DataFolderProblem(o.DataFolder)) return "--data-folder: a folder name with a line break or another control character cannot go into SETUP.INI";
    } else {
      return "unknown argument: " + std::string(a);
    }
  }
  if (o.Help) return std::nullopt;
  if (!silent) return "--silent is required";
  if (o.Language != "nl" && o.Language != "fr") return "--language must be nl or fr";
  if (o.ExistingData && o.ReplaceData) return "--existing-data and --replace-data exclude each other";
  return std::nullopt;
}

volatile int gInterrupted = 0;

// Lines with the local date and time in front, for a log read after the run: what happened
// when, and how long each part took.
class TTimedLines final : public std::streambuf {
public:
  explicit TTimedLines(std::streambuf* target) : FTarget(target) {}

protected:
  int overflow(int c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (FLineStart && c != '\r') {
      const std::time_t now = std::time(nullptr);
      std::tm local{};
#ifdef _WIN32
      localtime_s(&local, &now);
#else
      localtime_r(&now, &local);
#endif
      char stamp[32];
      const std::size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
      FTarget->sputn(stamp, static_cast<std::streamsize>(n));
    }
    FLineStart = c == '\n';
    return FTarget->sputc(static_cast<char>(c));
  }
  int sync() override { return FTarget->pubsync(); }

private:
  std::streambuf* FTarget;
  bool FLineStart = true;
};

// The texts of a wizard page, named by their components, translated, one per line.
void ShowPage(std::initializer_list<std::string_view> components) {
  for (std::string_view c : components) std::cerr << _(WindowText(c)) << "\n";
}

void ShowAbortPage() { ShowPage({"lbTitleAbort", "lbAbort1", "lbAbort2", "lbAbort3"}); }

// The progress of the step: a bar with what is being done on a terminal, the archive's
// name otherwise.
class TProgressLine {
public:
  explicit TProgressLine(bool terminal) : FTerminal(terminal) {}
  void Begin(const std::string& archive) {
    if (!FTerminal) std::cerr << archive << "\n";
  }
  void Show(const TInstallProgress& p) {
    if (!FTerminal) return;
    constexpr int kWidth = 30;
    const int filled = p.Percent * kWidth / 100;
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(kWidth - filled), ' ') + "] " +
                       std::to_string(p.Percent) + "%  " + ProgressPhaseText(p);
    const std::string detail = ProgressDetailText(p);
    if (!detail.empty()) line += "  " + detail;
    // Pad over what the previous line left.
    const std::size_t width = line.size();
    if (line.size() < FWidth) line.append(FWidth - line.size(), ' ');
    FWidth = width;
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    FOpen = true;
  }
  void End() {
    if (FTerminal && FOpen) std::fputc('\n', stderr);
    FOpen = false;
    FWidth = 0;
  }

private:
  bool FTerminal;
  bool FOpen = false;
  std::size_t FWidth = 0;
};

}  // namespace

bool WantsSilentSetup(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--silent" || a == "--help" || a == "-h" || IsSwitch(a, "SILENT") || IsSwitch(a, "VERYSILENT"))
      return true;
  }
  return false;
}

std::optional<std::string> SilentDriveRoot(char letter) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  for (const platform::TDriveInfo& drive : platform::FixedDrives())
    if (drive.Letter == letter) return drive.Root;
  return std::nullopt;
}

int RunSilentSetup(int argc, char** argv) {
  platform::AttachParentConsole();
  TSilentOptions options;
  if (std::optional<std::string> error = Parse(argc, argv, options)) {
    std::cerr << "tarvo-setup: " << *error << "\n" << kUsage;
    return 2;
  }
  if (options.Help) {
    std::cout << kUsage;
    return 0;
  }
  // A program without a console writes its messages to the log file it was given.
  std::ofstream log;
  std::streambuf* previous = nullptr;
  core::TScopeGuard restore([&previous] {
    if (previous) std::cerr.rdbuf(previous);
  });
  if (!options.LogFile.empty()) {
    log.open(std::filesystem::path(reinterpret_cast<const char8_t*>(options.LogFile.c_str())), std::ios::app);
    if (!log) {
      std::cerr << "tarvo-setup: cannot write the log file " << options.LogFile << "\n";
      return 2;
    }
    previous = std::cerr.rdbuf(log.rdbuf());
  }
  TTimedLines timed(std::cerr.rdbuf());
  std::streambuf* untimed = std::cerr.rdbuf(&timed);
  core::TScopeGuard untime([untimed] { std::cerr.rdbuf(untimed); });
  std::optional<std::string> root = SilentDriveRoot(options.Drive);
  if (!root) {
    std::cerr << "tarvo-setup: no fixed drive " << options.Drive << ":\n";
    return 2;
  }

  i18n::TTranslationService translations;
  i18n::UseLanguage(options.Language);

  TInstaller installer;
  installer.Options.Dutch = options.Language == "nl";
  installer.Options.DriveRoot = *root;
  installer.Options.ProxyUse = options.ProxyUse;
  installer.Options.ProxyServer = options.ProxyServer;
  installer.Options.ProxyPort = options.ProxyPort;
  installer.Options.DataChoice = options.ExistingData ? TDataChoice::dcWorkstation : TDataChoice::dcServer;
  installer.Options.ReplaceData = options.ReplaceData;
  installer.Options.DataFolder = installer.DefaultDataFolder();
  if (!options.DataFolder.empty()) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::absolute(options.DataFolder, ec);
    installer.Options.DataFolder = ec ? options.DataFolder : folder.string();
  }
  // Existing data that is not there is known before anything is downloaded.
  if (options.ExistingData && !installer.DataFolderHoldsData()) {
    std::cerr << _("De opgegeven locatie bevat geen geldige gegevens.") << "\n";
    return 1;
  }

  TProgressLine progress(options.LogFile.empty() && platform::StderrIsTerminal());
  installer.OnArchiveBegin = [&](const std::string& archive) {
    if (!options.VerySilent) progress.Begin(archive);
  };
  installer.OnProgress = [&](const TInstallProgress& p) {
    if (!options.VerySilent) progress.Show(p);
  };
  installer.OnCancelQuery = [] { return gInterrupted != 0; };
  installer.OnLog = [&](const std::string& line) {
    progress.End();
    std::cerr << line << "\n";
  };
  installer.OnAbort = [&](const std::string& message) {
    progress.End();
    std::cerr << message << "\n";
  };
  installer.OnErrorBox = installer.OnAbort;

  // The first Ctrl-C cancels at the next progress notification; a second one ends the
  // program at once.
  platform::CatchFirstInterrupt(&gInterrupted);

  // Told why it stopped: the user (or `timeout`, or the session's end) asked for it.
  auto stopped = [&](TStepResult result) {
    progress.End();
    if (result == TStepResult::srCancelled) std::cerr << _("De installatie werd onderbroken.") << "\n";
    ShowAbortPage();
    platform::RestoreInterrupts();
    return 1;
  };

  // Every line of the signed list this run needs is checked before the first download.
  const bool downloadsData =
      !options.ExistingData && (options.ReplaceData || !installer.DataFolderHoldsData());
  TStepResult result = installer.CheckSignedList(downloadsData);
  if (result != TStepResult::srCompleted) return stopped(result);
  if (!installer.Verifying())
    std::cerr << _("Let op: de downloads worden niet gecontroleerd, want er is geen sleutel van de uitgever (TARVO_PAYLOAD_KEY).")
              << "\n";

  ShowPage({"lbTitleInstallMain", "lbInstallMain1", "lbInstallMain2"});
  const std::string dataFolder = installer.Options.DataFolder;
  result = installer.RunComponentStep();
  progress.End();
  if (result != TStepResult::srCompleted) return stopped(result);
  installer.Options.DataFolder = dataFolder;  // the step set the default; the command line's stays

  ShowPage({"lbTitleInstallData", "lbInstallData1", "lbInstallData2"});
  try {
    result = installer.RunDataStep();
  } catch (const std::exception& e) {
    progress.End();
    std::cerr << e.what() << "\n";
    return 1;
  }
  progress.End();
  switch (result) {
    case TStepResult::srCompleted:
      ShowPage({"lbTitleEinde", "lbEinde"});
      return 0;
    case TStepResult::srRejected:
      return 1;
    default:
      return stopped(result);
  }
}

}  // namespace tarvo::setup
