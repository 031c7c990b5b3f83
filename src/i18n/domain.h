// TDomain: one text domain ("default"), its catalog root and language, and the catalog
// it opened. The catalog is opened lazily at the first lookup after a change, and a
// failed search is not repeated until the language or the directory changes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "i18n/file_locator.h"
#include "i18n/mo_file.h"

namespace tarvo::i18n {

class TDomain {
public:
  TDomain(TFileLocator& locator, std::string domain, std::string directory, std::string language);
  ~TDomain();
  TDomain(const TDomain&) = delete;
  TDomain& operator=(const TDomain&) = delete;

  // The raw catalog translation of a UTF-8 msgid without carriage returns, or the msgid.
  // Throws EGettextIOError when the catalog that is due to open is damaged.
  std::string gettext(std::string_view msgid) { return std::string(Lookup(msgid)); }
  // The same as a view: into the catalog (valid until the language or directory changes)
  // or into msgid.
  std::string_view Lookup(std::string_view msgid);
  // Plural lookup: the catalog's form number pluralForm of singular/plural; without an
  // entry (or that form) the singular for form 0 and the plural otherwise.
  std::string ngettext(std::string_view singular, std::string_view plural, int pluralForm);
  // A header field of the catalog ("Content-Type"), trimmed; empty when absent.
  std::string GetTranslationProperty(std::string_view name);

  void SetDirectory(const std::string& directory);  // also clears SpecificFilename
  void SetLanguageCode(const std::string& language);
  void SetFilename(const std::string& fileName);    // an explicit catalog file
  void CloseMoFile();

  const std::string& Domain() const noexcept { return FDomain; }
  const std::string& Directory() const noexcept { return vDirectory; }
  const std::string& Language() const noexcept { return curlang; }
  bool Enabled() const noexcept { return FEnabled; }
  bool HasCatalog() const noexcept { return mofile != nullptr; }

private:
  void OpenMoFile();
  TMoFile* Catalog();

  TFileLocator& FLocator;
  bool FEnabled = true;
  std::string vDirectory;
  std::string FDomain;
  TMoFile* mofile = nullptr;
  std::string SpecificFilename;
  std::string curlang;
  bool OpenHasFailedBefore = false;
  bool FOpening = false;
};

// Form number index of a plural translation (forms separated by zero bytes), if present.
std::optional<std::string_view> NthPluralForm(std::string_view forms, int index);

// The value of header field name in a catalog header ("Name: value" lines), trimmed.
std::string HeaderField(std::string_view header, std::string_view name);

}  // namespace tarvo::i18n
