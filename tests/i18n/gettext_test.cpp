// Lookups through the instance: languages and their fallback, missing, non-UTF-8 and
// damaged catalogs, line ends, plural forms and language detection.
#include <cstdlib>
#include <string>
#include <vector>

#include "catalog_helpers.h"
#include "i18n/file_locator.h"
#include "i18n/gettext_errors.h"
#include "i18n/gettext_instance.h"
#include "i18n/language.h"
#include "i18n/message_box.h"

using namespace tarvo::i18n;
using namespace testcatalogs;

namespace {

struct Box {
  std::string text, caption;
  unsigned flags;
};

// Records the boxes shown while it lives.
class BoxRecorder {
public:
  BoxRecorder() {
    FPrevious = SetMessageBoxFunc([this](const std::string& t, const std::string& c, unsigned f) {
      boxes.push_back({t, c, f});
      return 1;
    });
  }
  ~BoxRecorder() { SetMessageBoxFunc(FPrevious); }
  std::vector<Box> boxes;

private:
  TMessageBoxFunc FPrevious;
};

// Keeps an environment variable as it was.
class EnvGuard {
public:
  explicit EnvGuard(const char* name) : FName(name) {
    const char* v = std::getenv(name);
    FHad = v != nullptr;
    if (v) FValue = v;
  }
  ~EnvGuard() {
    SetEnv(FName, FHad ? FValue.c_str() : nullptr);
  }

private:
  const char* FName;
  bool FHad;
  std::string FValue;
};

const std::string kFrenchPo = PoHeader() + PoEntries({{"Voltooien", "Terminer"},
                                                      {"Volgende >", "Suivant >"},
                                                      {"eerste regel\ntweede regel", "première ligne\nseconde ligne"}}) +
                              "msgid \"%d bestand\"\nmsgid_plural \"%d bestanden\"\n"
                              "msgstr[0] \"%d fichier\"\nmsgstr[1] \"%d fichiers\"\n";

struct Fixture : ::testing::Test {
  TempFolder dir;
  TFileLocator locator;
  EnvGuard lang{"LANG"};
  void SetUp() override { locator.Analyze(dir.Exe()); }
};

using Gettext = Fixture;

}  // namespace

TEST_F(Gettext, TranslatesInTheChosenLanguageAndFallsBackFromRegionToLanguage) {
  Msgfmt(kFrenchPo, dir.Catalog("fr"));
  TGettextInstance gt(locator, dir.path.string());
  gt.UseLanguage("fr");
  EXPECT_EQ(gt.gettext("Voltooien"), "Terminer");
  gt.UseLanguage("fr_BE");  // no fr_BE catalog: fr
  EXPECT_EQ(gt.gettext("Volgende >"), "Suivant >");
  Msgfmt(PoHeader() + PoEntries({{"Voltooien", "Terminer (BE)"}}), dir.Catalog("fr_BE"));
  gt.UseLanguage("fr_BE");
  EXPECT_EQ(gt.gettext("Voltooien"), "Terminer (BE)");
  EXPECT_EQ(gt.gettext("Volgende >"), "Volgende >");  // fr_BE alone is used
  gt.UseLanguage("nl");
  EXPECT_EQ(gt.gettext("Voltooien"), "Voltooien");
  // A code that tries to leave the catalog root finds nothing.
  Msgfmt(kFrenchPo, dir.path / "elders" / "LC_MESSAGES" / "default.mo");
  gt.UseLanguage("../elders");
  EXPECT_EQ(gt.gettext("Voltooien"), "Voltooien");
}

TEST_F(Gettext, MissingCatalogLeavesTextsDutchQuietly) {
  BoxRecorder boxes;
  TGettextInstance gt(locator, dir.path.string());
  gt.UseLanguage("fr");
  EXPECT_EQ(gt.gettext("Voltooien"), "Voltooien");
  EXPECT_EQ(gt.dgettext("andere", "Volgende >"), "Volgende >");
  EXPECT_EQ(gt.ngettext("%d bestand", "%d bestanden", 3), "%d bestanden");
  EXPECT_TRUE(boxes.boxes.empty());
  // A catalog that appears later is found after the next language change only.
  Msgfmt(kFrenchPo, dir.Catalog("fr"));
  EXPECT_EQ(gt.gettext("Voltooien"), "Voltooien");
  gt.UseLanguage("fr");
  EXPECT_EQ(gt.gettext("Voltooien"), "Terminer");
}

TEST_F(Gettext, CarriageReturnsAreIgnoredInMsgidsAndAddedToResults) {
  Msgfmt(kFrenchPo, dir.Catalog("fr"));
  TGettextInstance gt(locator, dir.path.string());
  gt.UseLanguage("fr");
  EXPECT_EQ(gt.gettext("eerste regel\r\ntweede regel"), "première ligne\r\nseconde ligne");
  EXPECT_EQ(gt.gettext("eerste regel\ntweede regel"), "première ligne\r\nseconde ligne");
  EXPECT_EQ(gt.gettext("niet\r\nvertaald\nhier"), "niet\r\nvertaald\r\nhier");
  EXPECT_EQ(gt.gettext("Bent u zeker\r?"), "Bent u zeker?");  // a lone CR is dropped
}

TEST_F(Gettext, CatalogWithoutUtf8WarnsOnceAndTurnsTranslationsOff) {
  Msgfmt(PoHeader("ISO-8859-1") + PoEntries({{"Voltooien", "Terminer"}}), dir.Catalog("fr"));
  BoxRecorder boxes;
  TGettextInstance gt(locator, dir.path.string());
  gt.UseLanguage("fr");
  EXPECT_EQ(gt.gettext("Voltooien"), "Voltooien");
  EXPECT_EQ(gt.gettext("Voltooien"), "Voltooien");
  gt.UseLanguage("fr");
  EXPECT_EQ(gt.gettext("Voltooien"), "Voltooien");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "Localization problem");
  EXPECT_EQ(boxes.boxes[0].text, "The translation for the language code fr (in " + dir.Catalog("fr").string() +
                                     ") does not have charset=utf-8 in its Content-Type. Translations are turned off.");
}

TEST_F(Gettext, CharsetIsMatchedInAnyLetterCase) {
  Msgfmt(PoHeader("utf-8") + PoEntries({{"Voltooien", "Terminer"}}), dir.Catalog("fr"));
  TGettextInstance gt(locator, dir.path.string());
  gt.UseLanguage("fr");
  EXPECT_EQ(gt.gettext("Voltooien"), "Terminer");
  EXPECT_EQ(gt.GetTranslationProperty("content-type"), "text/plain; charset=utf-8");
}

TEST_F(Gettext, DamagedCatalogRaisesTheExactErrorOnceAtTheFirstLookup) {
  WriteFile(dir.Catalog("fr"), std::string("\xde\x12\x04\x95", 4) + std::string(16, '\xff'));
  TGettextInstance gt(locator, dir.path.string());
  gt.UseLanguage("fr");
  try {
    gt.gettext("Voltooien");
    FAIL() << "no error for a damaged catalog";
  } catch (const EGettextIOError& e) {
    EXPECT_EQ(e.Message(), "This file is not a valid GNU gettext mo file: " + dir.Catalog("fr").string());
  }
  EXPECT_EQ(gt.gettext("Voltooien"), "Voltooien");
}

TEST_F(Gettext, PluralFormsFollowTheLanguageRule) {
  Msgfmt(kFrenchPo, dir.Catalog("fr"));
  TGettextInstance gt(locator, dir.path.string());
  gt.UseLanguage("fr");
  EXPECT_EQ(gt.ngettext("%d bestand", "%d bestanden", 0), "%d fichier");  // French: 0 is singular
  EXPECT_EQ(gt.ngettext("%d bestand", "%d bestanden", 1), "%d fichier");
  EXPECT_EQ(gt.ngettext("%d bestand", "%d bestanden", 2), "%d fichiers");
  EXPECT_EQ(gt.ngettext("%d map", "%d mappen", 2), "%d mappen");
  gt.UseLanguage("nl");
  EXPECT_EQ(gt.ngettext("%d bestand", "%d bestanden", 0), "%d bestanden");
}

TEST(PluralRules, PickTheFormsOfEachLanguage) {
  struct Case {
    const char* lang;
    long long n;
    int form;
  };
  const Case cases[] = {
      {"en", 1, 0},    {"de", 0, 1},     {"nl_BE", 2, 1}, {"ja", 5, 0},    {"fr", 0, 0},     {"fr", -1, 0},
      {"fr", 2, 1},    {"pt_BR", 1, 0},  {"pt_PT", 0, 1}, {"lv", 21, 0},   {"lv", 11, 1},    {"lv", 0, 2},
      {"ga", 2, 1},    {"ga", 3, 2},     {"lt", 31, 0},   {"lt", 12, 2},   {"lt", 20, 2},    {"lt", 22, 1},
      {"ru", 21, 0},   {"ru", 23, 1},    {"ru", 13, 2},   {"uk", 25, 2},   {"cs", 4, 1},     {"sk", 5, 2},
      {"pl", 1, 0},    {"pl", 22, 1},    {"pl", 21, 2},   {"pl", 12, 2},   {"sl", 101, 0},   {"sl", 102, 1},
      {"sl", 204, 2},  {"sl", 5, 3},     {"hr", -2, 1},   {"xx", 1, 0},    {"xx", 7, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(PluralRuleFor(c.lang)(c.n), c.form) << c.lang << " " << c.n;
}

// The whole path, however the system spells it, naming this very program.
TEST(ExecutablePath, NamesTheRunningProgram) {
  const std::string path = ExecutablePath();
  const fs::path native(std::u8string(path.begin(), path.end()));
  EXPECT_TRUE(native.is_absolute()) << path;
  EXPECT_TRUE(fs::is_regular_file(native)) << path;
  EXPECT_EQ(native.stem().string(), "tarvo_i18n_tests") << path;
}

TEST(DetectSystemLanguage, TakesLangThenTheUserLocale) {
  EnvGuard lang("LANG"), all("LC_ALL"), messages("LC_MESSAGES");
  SetEnv("LANG", "fr_BE.UTF-8");
  EXPECT_EQ(DetectSystemLanguage(), "fr_BE");
#ifdef _WIN32
  // Without LANG the user's locale settings answer (Wine takes them from the Linux
  // locale it started in): a language and country, or C.
  SetEnv("LANG", nullptr);
  const std::string code = DetectSystemLanguage();
  EXPECT_TRUE(code == "C" || (code.size() == 5 && code[2] == '_')) << code;
  EXPECT_EQ(code.find('.'), std::string::npos) << code;
#else
  SetEnv("LANG", "");
  SetEnv("LC_ALL", "no_NO.UTF-8");
  EXPECT_EQ(DetectSystemLanguage(), "nb_NO");
  SetEnv("LC_ALL", nullptr);
  SetEnv("LC_MESSAGES", "NL_be");
  EXPECT_EQ(DetectSystemLanguage(), "nl_be");
  SetEnv("LC_MESSAGES", "german");
  EXPECT_EQ(DetectSystemLanguage(), "C");  // the test process runs in the C locale
#endif
}

TEST_F(Gettext, EmptyCodeDetectsAndListenersHearTheNewCode) {
  Msgfmt(kFrenchPo, dir.Catalog("fr"));
  SetEnv("LANG", "fr_FR.UTF-8");
  TGettextInstance gt(locator, dir.path.string());
  EXPECT_EQ(gt.GetCurrentLanguage(), "fr_FR");
  EXPECT_EQ(gt.gettext("Voltooien"), "Terminer");
  std::vector<std::string> heard;
  const int id = gt.AddLanguageListener([&](const std::string& code) { heard.push_back(code); });
  gt.UseLanguage("nl");
  gt.RemoveLanguageListener(id);
  gt.UseLanguage("fr");
  EXPECT_EQ(heard, std::vector<std::string>{"nl"});
}

TEST_F(Gettext, DisabledInstanceAndBoundDomains) {
  Msgfmt(kFrenchPo, dir.path / "elders" / "fr" / "LC_MESSAGES" / "extra.mo");
  TGettextInstance gt(locator, dir.path.string());
  gt.UseLanguage("fr");
  EXPECT_EQ(gt.dgettext("extra", "Voltooien"), "Voltooien");
  gt.bindtextdomain("extra", (dir.path / "elders").string());
  EXPECT_EQ(gt.dgettext("extra", "Voltooien"), "Terminer");
  gt.textdomain("extra");
  EXPECT_EQ(gt.gettext("Volgende >"), "Suivant >");
  gt.Enabled = false;
  EXPECT_EQ(gt.gettext("Volgende >"), "Volgende >");
}
