// The running service: start-up and shutdown, resource strings through the translation
// (on the creating thread only), catalogs embedded in the executable, and the program's
// own catalogs.
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "catalog_helpers.h"
#include "core/resource_string.h"
#include "i18n/gettext_errors.h"
#include "i18n/i18n_strings.h"
#include "i18n/mo_file.h"
#include "i18n/translations.h"

using namespace tarvo::i18n;
using namespace testcatalogs;
using tarvo::core::LoadResString;

namespace {

TARVO_RESOURCESTRING(SYes, 4900, "&Yes");
TARVO_RESOURCESTRING(SUnwrite, 4901, "Unable to write to %s");
constexpr tarvo::core::TResourceString SBeyond{65536, "&Yes"};

const std::string kDutchPo =
    PoHeader() + PoEntries({{"&Yes", "&Ja"}, {"Unable to write to %s", "Kan niet schrijven naar %s"}});

}  // namespace

TEST(TranslationService, ResourceStringsAreTranslatedOnTheCreatingThreadOnly) {
  TempFolder dir;
  Msgfmt(kDutchPo, dir.Catalog("nl"));
  EXPECT_EQ(LoadResString(SYes), "&Yes");
  {
    TTranslationService service(dir.Exe());
    UseLanguage("nl");
    EXPECT_EQ(LoadResString(SYes), "&Ja");
    EXPECT_EQ(LoadResStringFmt(SUnwrite, {"C:/TARVO/SETUP.INI"}), "Kan niet schrijven naar C:/TARVO/SETUP.INI");
    EXPECT_EQ(LoadResString(SBeyond), "ERROR");
    std::string elsewhere;
    std::thread([&] { elsewhere = LoadResString(SYes); }).join();
    EXPECT_EQ(elsewhere, "&Yes");
    EXPECT_EQ(_("&Yes"), "&Ja");
  }
  // After shutdown the program's own texts come back.
  EXPECT_EQ(LoadResString(SYes), "&Yes");
  EXPECT_EQ(_("&Yes"), "&Yes");
}

TEST(TranslationService, DamagedCatalogMessageIsNotTranslatedThroughItself) {
  TempFolder dir;
  WriteFile(dir.Catalog("nl"), std::string(64, 'x'));
  TTranslationService service(dir.Exe());
  UseLanguage("nl");
  try {
    LoadResString(SYes);
    FAIL();
  } catch (const EGettextIOError& e) {
    EXPECT_EQ(e.Message(), "This file is not a valid GNU gettext mo file: " + dir.Catalog("nl").string());
  }
  EXPECT_EQ(LoadResString(SYes), "&Yes");
}

TEST(TranslationService, OnlyOneRunsAtATime) {
  TempFolder dir;
  TTranslationService service(dir.Exe());
  EXPECT_THROW(TTranslationService second(dir.Exe()), std::logic_error);
  EXPECT_EQ(DefaultInstance(), &service.Instance());
}

TEST(TranslationService, CatalogsEmbeddedInTheExecutableAreFound) {
  TempFolder dir;
  Msgfmt(PoHeader() + PoEntries({{"Voltooien", "Terminer"}}), dir.path / "fr.mo", true);
  Msgfmt(kDutchPo, dir.path / "nl.mo");
  // A program file of a few blocks, with the begin marker across a block boundary.
  std::string program(100000 - 20, 'p');
  program += BuildEmbeddedBlock({{"locale\\fr\\LC_MESSAGES\\default.mo", ReadFile(dir.path / "fr.mo")},
                                 {" locale/nl/LC_MESSAGES/default.mo\n", ReadFile(dir.path / "nl.mo")}});
  WriteFile(dir.Exe(), program);
  TTranslationService service(dir.Exe());
  const auto& files = service.Locator().EmbeddedFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_TRUE(files.count("locale/fr/LC_MESSAGES/default.mo"));
  UseLanguage("fr_BE");
  EXPECT_EQ(_("Voltooien"), "Terminer");
  UseLanguage("nl");
  EXPECT_EQ(LoadResString(SYes), "&Ja");
  // A catalog on disk is not consulted when the executable carries one of that name.
  Msgfmt(PoHeader() + PoEntries({{"Voltooien", "Fini"}}), dir.Catalog("fr"));
  UseLanguage("fr");
  EXPECT_EQ(_("Voltooien"), "Terminer");
}

TEST(TranslationService, DamagedEmbeddedBlocksAreReadAsFarAsTheyGo) {
  TempFolder dir;
  const std::string mo = [&] {
    Msgfmt(PoHeader() + PoEntries({{"a", "b"}}), dir.path / "a.mo");
    return ReadFile(dir.path / "a.mo");
  }();
  const std::string good = BuildEmbeddedBlock({{"one.mo", mo}, {"two.mo", mo}});
  const std::size_t h = EmbedBeginMarker().size();
  const std::size_t firstEntry = h + 2 * mo.size();
  const std::size_t secondEntry = firstEntry + 24 + 6;
  auto put64 = [](std::string s, std::size_t at, std::uint64_t v) {
    for (int k = 0; k < 8; ++k) s[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    return s;
  };
  struct Case {
    std::string bytes;
    std::size_t expected;
  };
  const Case cases[] = {
      {good, 2},
      {put64(good, secondEntry, secondEntry - h), 1},         // chain pointing at itself
      {put64(good, secondEntry, 5), 1},                       // chain going backwards
      {put64(good, secondEntry + 16, ~std::uint64_t{0}), 1},  // size beyond the file
      {put64(good, firstEntry + 8, 1ull << 62), 0},           // data beyond the file
      {put64(good, good.size() - EmbedEndMarker().size() - 8, 1ull << 40), 0},  // first entry outside
      {good.substr(0, good.size() - 1), 0},                   // no end marker
      {EmbedEndMarker() + good.substr(EmbedBeginMarker().size()), 0},  // end marker before begin
  };
  for (const Case& c : cases) {
    WriteFile(dir.Exe(), "program" + c.bytes);
    TFileLocator locator;
    locator.Analyze(dir.Exe());
    EXPECT_EQ(locator.EmbeddedFiles().size(), c.expected);
  }
}

TEST(TranslationService, CatalogCacheSharesOneLoadedCatalog) {
  TempFolder dir;
  Msgfmt(PoHeader() + PoEntries({{"a", "b"}}), dir.path / "a.mo");
  TFileLocator locator;
  locator.Analyze(dir.Exe());
  TMoFile* first = locator.GetMoFile((dir.path / "a.mo").string());
  TMoFile* second = locator.GetMoFile((dir.path / "a.mo").string());
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->Users, 2);
  locator.ReleaseMoFile(first);
  EXPECT_EQ(second->Users, 1);
  locator.ReleaseMoFile(second);
  EXPECT_THROW(locator.GetMoFile((dir.path / "none.mo").string()), EGettextIOError);
}

TEST(ProgramCatalogs, FrenchCoversTheWizardAndDutchTheToolkit) {
  const std::string root = TARVO_CATALOG_DIR;
  TMoFile fr(root + "/fr/LC_MESSAGES/default.mo");
  TMoFile nl(root + "/nl/LC_MESSAGES/default.mo");
  bool found = false;
  for (const char* text : {"BVBA T.Arvo - Setup", "Volgende >", "&Annuleer", "Voltooien", "WAARSCHUWING",
                           "De installatie is niet voltooid.", "Bent u zeker ?", "HTTP Error:",
                           "De opgegeven locatie bevat geen geldige gegevens.",
                           "De gegevens zijn aanwezig of  staan op een andere PC/Server", "&Yes", "&No"}) {
    fr.gettext(text, found);
    EXPECT_TRUE(found) << text;
  }
  EXPECT_EQ(fr.gettext("&Yes", found), "&Oui");
  EXPECT_EQ(nl.gettext("&No", found), "&Nee");
  for (std::uint32_t i = 0; i < fr.Count(); ++i) EXPECT_FALSE(fr.Translation(i).empty()) << fr.MsgId(i);
}

namespace {

// Every resource string text of the program, read from the src/*/*_strings.h headers as
// a catalog sees it: escapes decoded, carriage returns gone.
std::vector<std::string> ProgramMessageTexts() {
  std::vector<std::string> texts;
  for (const auto& dir : fs::directory_iterator(TARVO_SOURCE_DIR)) {
    if (!dir.is_directory()) continue;
    for (const auto& file : fs::directory_iterator(dir.path())) {
      const std::string name = file.path().filename().string();
      if (name.size() < 10 || name.substr(name.size() - 10) != "_strings.h") continue;
      const std::string src = ReadFile(file.path());
      for (std::size_t at = src.find("TARVO_RESOURCESTRING("); at != std::string::npos;
           at = src.find("TARVO_RESOURCESTRING(", at + 1)) {
        std::size_t i = src.find(',', src.find(',', at) + 1) + 1;  // after name and id
        std::string text;
        while (true) {  // adjacent literals
          while (i < src.size() && std::isspace(static_cast<unsigned char>(src[i]))) ++i;
          if (i >= src.size() || src[i] != '"') break;
          for (++i; i < src.size() && src[i] != '"'; ++i) {
            if (src[i] != '\\') {
              text += src[i];
              continue;
            }
            const char e = src[++i];
            if (e == 'n') text += '\n';
            else if (e != 'r') text += e;
          }
          ++i;
        }
        if (!text.empty()) texts.push_back(text);
      }
    }
  }
  return texts;
}

}  // namespace

TEST(ProgramCatalogs, MessagesReadInOneLanguageNeverHalf) {
  const std::string root = TARVO_CATALOG_DIR;
  TMoFile fr(root + "/fr/LC_MESSAGES/default.mo");
  TMoFile nl(root + "/nl/LC_MESSAGES/default.mo");
  const std::vector<std::string> texts = ProgramMessageTexts();
  ASSERT_GT(texts.size(), 100u);
  for (const std::string& text : texts) {
    bool inFr = false, inNl = false;
    fr.gettext(text, inFr);
    nl.gettext(text, inNl);
    EXPECT_EQ(inFr, inNl) << "only in one catalog: " << text;
  }
  // The ones a failed installation shows, and the reasons a file cannot be made.
  for (const char* text : {"Socket Error # %d\n%s", "Connection refused.", "Host not found.", "Unhandled Archive Type",
                           "Cannot create file \"%s\". %s", "Permission denied", "Failed CRC Check",
                           "Invalid file - not a PKZip file", "Response headers are too long"}) {
    bool found = false;
    fr.gettext(text, found);
    EXPECT_TRUE(found) << text;
  }
}

// French typography: a no-break space before ? ! ; : and inside guillemets, which replace
// straight double quotes.
TEST(ProgramCatalogs, FrenchKeepsItsPunctuationTogether) {
  TMoFile fr(std::string(TARVO_CATALOG_DIR) + "/fr/LC_MESSAGES/default.mo");
  const std::string nbsp = "\u00a0", narrow = "\u202f";
  auto spacedBefore = [&](const std::string& s, std::size_t at) {
    return (at >= 2 && s.compare(at - 2, 2, nbsp) == 0) || (at >= 3 && s.compare(at - 3, 3, narrow) == 0);
  };
  for (std::uint32_t i = 1; i < fr.Count(); ++i) {  // 0 is the header
    const std::string t(fr.Translation(i));
    EXPECT_EQ(t.find('"'), std::string::npos) << t;
    for (std::size_t at = 0; at < t.size(); ++at) {
      if (std::string_view("?!;:").find(t[at]) != std::string_view::npos) {
        EXPECT_TRUE(spacedBefore(t, at)) << "'" << t[at] << "' in: " << t;
      }
    }
    for (std::size_t at = t.find("«"); at != std::string::npos; at = t.find("«", at + 1))
      EXPECT_EQ(t.compare(at + 2, 2, nbsp), 0) << t;
    for (std::size_t at = t.find("»"); at != std::string::npos; at = t.find("»", at + 1))
      EXPECT_TRUE(spacedBefore(t, at)) << t;
  }
}
