#include "i18n/domain.h"

#include "core/format.h"
#include "core/scope_guard.h"
#include "core/text_case.h"
#include "core/text_trim.h"
#include "i18n/i18n_strings.h"
#include "i18n/language_system.h"
#include "i18n/message_box.h"

namespace tarvo::i18n {

using core::Format;
using core::LoadResString;

namespace {

// "<lang>/LC_MESSAGES/<domain>.mo" with this system's delimiter.
std::string CatalogPath(const std::string& directory, const std::string& lang, const std::string& domain) {
  return directory + lang + kPathDelimiter + "LC_MESSAGES" + kPathDelimiter + domain + ".mo";
}

}  // namespace

std::string HeaderField(std::string_view header, std::string_view name) {
  std::size_t start = 0;
  while (start < header.size()) {
    std::size_t end = header.find('\n', start);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(start, end - start);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && core::SameText(core::Trim(line.substr(0, colon)), name))
      return std::string(core::Trim(line.substr(colon + 1)));
    start = end + 1;
  }
  return {};
}

TDomain::TDomain(TFileLocator& locator, std::string domain, std::string directory, std::string language)
    : FLocator(locator), vDirectory(WithPathDelimiter(std::move(directory))), FDomain(std::move(domain)),
      curlang(std::move(language)) {}

TDomain::~TDomain() { CloseMoFile(); }

void TDomain::CloseMoFile() {
  if (mofile) FLocator.ReleaseMoFile(mofile);
  mofile = nullptr;
  OpenHasFailedBefore = false;
}

void TDomain::SetDirectory(const std::string& directory) {
  vDirectory = WithPathDelimiter(directory);
  SpecificFilename.clear();
  CloseMoFile();
}

void TDomain::SetLanguageCode(const std::string& language) {
  CloseMoFile();
  curlang = language;
}

void TDomain::SetFilename(const std::string& fileName) {
  CloseMoFile();
  SpecificFilename = fileName;
}

void TDomain::OpenMoFile() {
  std::string fileName = SpecificFilename;
  if (fileName.empty() && curlang.find_first_of("/\\") != std::string::npos) {
    // A language code comes from the environment; it names a folder under the catalog
    // root and never a path elsewhere.
    OpenHasFailedBefore = true;
    return;
  }
  if (fileName.empty()) {
    fileName = CatalogPath(vDirectory, curlang, FDomain);
    // A regional code ("fr_BE") falls back to its language ("fr").
    if (!FLocator.FileExists(fileName))
      fileName = CatalogPath(vDirectory, curlang.substr(0, 2), FDomain);
  }
  if (!FLocator.FileExists(fileName)) {
    OpenHasFailedBefore = true;
    return;
  }
  {
    // Report a damaged catalog once; after that the texts stay untranslated.
    core::TScopeGuard failed([this]() noexcept { OpenHasFailedBefore = true; });
    mofile = FLocator.GetMoFile(fileName);
    failed.Dismiss();
  }
  bool found = false;
  const std::string contentType = HeaderField(mofile->gettext("", found), "Content-Type");
  if (core::UpperCase(contentType).find("CHARSET=UTF-8") == std::string::npos) {
    FLocator.ReleaseMoFile(mofile);
    mofile = nullptr;
    FEnabled = false;
    ShowMessageBox(Format(LoadResString(SNoUtf8Charset), {curlang, fileName}), LoadResString(SLocalizationProblem),
                   MB_OK);
  }
}

TMoFile* TDomain::Catalog() {
  if (!mofile && !OpenHasFailedBefore && FEnabled && !FOpening) {
    // Messages raised while opening (a damaged catalog) are themselves translated, which
    // leads back here: those lookups go without a catalog.
    FOpening = true;
    core::TScopeGuard opened([this]() noexcept { FOpening = false; });
    OpenMoFile();
  }
  return mofile;
}

std::string_view TDomain::Lookup(std::string_view msgid) {
  if (!FEnabled) return msgid;
  TMoFile* mo = Catalog();
  if (!mo) return msgid;
  bool found = false;
  return mo->gettext(msgid, found);
}

std::string TDomain::ngettext(std::string_view singular, std::string_view plural, int pluralForm) {
  const std::string_view fallback = pluralForm == 0 ? singular : plural;
  if (!FEnabled) return std::string(fallback);
  TMoFile* mo = Catalog();
  if (!mo) return std::string(fallback);
  // A plural entry's msgid is the singular, a zero byte, and the plural; its translation
  // holds the forms one after another, each ended by a zero byte.
  std::string key(singular);
  key += '\0';
  key += plural;
  bool found = false;
  const std::string_view forms = mo->gettext(key, found);
  if (!found) return std::string(fallback);
  const auto form = NthPluralForm(forms, pluralForm);
  return std::string(form ? *form : fallback);
}

std::optional<std::string_view> NthPluralForm(std::string_view forms, int index) {
  if (index < 0) return std::nullopt;
  std::size_t start = 0;
  for (int i = 0; i < index; ++i) {
    const std::size_t zero = forms.find('\0', start);
    if (zero == std::string_view::npos) return std::nullopt;
    start = zero + 1;
  }
  const std::size_t end = forms.find('\0', start);
  return forms.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

std::string TDomain::GetTranslationProperty(std::string_view name) {
  TMoFile* mo = FEnabled ? Catalog() : nullptr;
  if (!mo) return {};
  bool found = false;
  return HeaderField(mo->gettext("", found), name);
}

}  // namespace tarvo::i18n
