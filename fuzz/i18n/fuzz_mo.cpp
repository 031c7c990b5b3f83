// A catalog from arbitrary bytes: loading either rejects it with the catalog error or
// gives a catalog whose every msgid can be looked up without reading outside it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "i18n/domain.h"
#include "i18n/gettext_errors.h"
#include "i18n/mo_file.h"

using namespace tarvo::i18n;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that ASan sees any read past the catalog's last byte.
  std::vector<std::uint8_t> bytes(data, data + size);
  try {
    TMoFile mo(bytes.data(), bytes.size(), "fuzz.mo");
    bool found = false;
    const std::uint32_t n = mo.Count() < 2000 ? mo.Count() : 2000;
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::string id(mo.MsgId(i));
      const std::string_view tr = mo.gettext(id, found);
      if (!tr.empty() && tr.front() == '\x01') found = !found;  // touch the result
      mo.gettext(id + "\xff", found);
      for (int form = 0; form < 4; ++form) (void)NthPluralForm(tr, form);
      if (!id.empty()) mo.gettext(id.substr(0, id.size() - 1), found);
    }
    mo.gettext("", found);
    (void)HeaderField(mo.gettext("", found), "Content-Type");
    if (size > 24) mo.gettext(std::string_view(reinterpret_cast<const char*>(data) + 20, 4), found);
  } catch (const EGettextIOError&) {
  }
  return 0;
}
