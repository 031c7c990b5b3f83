// Catalog loading and lookup: msgfmt-made catalogs in both byte orders, real catalogs of
// the system, hand-built catalogs of every size for the search, and damaged catalogs.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "catalog_helpers.h"
#include "i18n/gettext_errors.h"
#include "i18n/mo_file.h"

using namespace tarvo::i18n;
using namespace testcatalogs;

namespace {

// A little-endian catalog built field by field, so that damage can be placed exactly.
struct MoBuilder {
  std::vector<std::pair<std::string, std::string>> entries;  // sorted by msgid

  std::string Build() const {
    const std::uint32_t n = static_cast<std::uint32_t>(entries.size());
    std::string out(20 + 16 * std::size_t{n}, '\0');
    Put(out, 0, 0x950412de);  // magic
    Put(out, 4, 0);           // revision
    Put(out, 8, n);           // N
    Put(out, 12, 20);         // table of msgids
    Put(out, 16, 20 + 8 * n); // table of translations
    for (std::uint32_t i = 0; i < n; ++i) {
      Put(out, 20 + 8 * i, static_cast<std::uint32_t>(entries[i].first.size()));
      Put(out, 24 + 8 * i, static_cast<std::uint32_t>(out.size()));
      out += entries[i].first + '\0';
    }
    for (std::uint32_t i = 0; i < n; ++i) {
      Put(out, 20 + 8 * (n + i), static_cast<std::uint32_t>(entries[i].second.size()));
      Put(out, 24 + 8 * (n + i), static_cast<std::uint32_t>(out.size()));
      out += entries[i].second + '\0';
    }
    return out;
  }
  static void Put(std::string& s, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) s[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
  }
};

std::string Key(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "k%05d", i * 2);
  return buf;
}

const std::string kDamagedMessage = "This file is not a valid GNU gettext mo file: damaged.mo";

void ExpectDamaged(const std::string& bytes) {
  try {
    TMoFile mo(bytes.data(), bytes.size(), "damaged.mo");
    FAIL() << "accepted a damaged catalog";
  } catch (const EGettextIOError& e) {
    EXPECT_EQ(e.Message(), kDamagedMessage);
  }
}

}  // namespace

TEST(MoFile, BothByteOrdersFromMsgfmtGiveTheSameTranslations) {
  TempFolder dir;
  const std::string po = PoHeader() + PoEntries({{"Volgende >", "Suivant >"},
                                                 {"Voltooien", "Terminer"},
                                                 {"Even geduld aub.", "Veuillez patienter."},
                                                 {"twee\nregels", "deux\nlignes"}});
  Msgfmt(po, dir.path / "le.mo", false);
  Msgfmt(po, dir.path / "be.mo", true);
  TMoFile le((dir.path / "le.mo").string());
  TMoFile be((dir.path / "be.mo").string());
  EXPECT_NE(le.Swapped(), be.Swapped());
  for (const TMoFile* mo : {&le, &be}) {
    bool found = false;
    EXPECT_EQ(mo->gettext("Voltooien", found), "Terminer");
    EXPECT_TRUE(found);
    EXPECT_EQ(mo->gettext("twee\nregels", found), "deux\nlignes");
    EXPECT_EQ(mo->gettext("Onbekend", found), "Onbekend");
    EXPECT_FALSE(found);
    EXPECT_EQ(mo->gettext("Voltooie", found), "Voltooie");  // a prefix is not a match
    EXPECT_FALSE(found);
  }
}

TEST(MoFile, SearchFindsEveryEntryAndNothingElseAtEverySize) {
  for (int n = 0; n <= 70; ++n) {
    MoBuilder b;
    for (int i = 0; i < n; ++i) b.entries.push_back({Key(i), "v" + std::to_string(i)});
    const std::string bytes = b.Build();
    TMoFile mo(bytes.data(), bytes.size(), "sized.mo");
    for (int i = 0; i < n; ++i) {
      bool found = false;
      EXPECT_EQ(mo.gettext(Key(i), found), "v" + std::to_string(i)) << "n=" << n << " i=" << i;
    }
    // Between, before and after every entry.
    for (int i = -1; i < n; ++i) {
      bool found = true;
      const std::string between = i < 0 ? std::string("a") : Key(i) + "x";
      mo.gettext(between, found);
      EXPECT_FALSE(found) << "n=" << n << " probe=" << between;
    }
  }
}

TEST(MoFile, HighBytesCompareAsUnsigned) {
  MoBuilder b;
  b.entries = {{"abc", "1"}, {"abd", "2"}, {"ab\xc3\xa9", "3"}};  // 0xc3 sorts after 'd'
  const std::string bytes = b.Build();
  TMoFile mo(bytes.data(), bytes.size(), "utf8.mo");
  bool found = false;
  EXPECT_EQ(mo.gettext("ab\xc3\xa9", found), "3");
  EXPECT_EQ(mo.gettext("abd", found), "2");
}

TEST(MoFile, RealSystemCatalogsFindEachOfTheirOwnMsgids) {
  int checked = 0;
  for (const char* lang : {"fr", "nl", "de"}) {
    const fs::path dir = fs::path("/usr/share/locale") / lang / "LC_MESSAGES";
    if (!fs::exists(dir)) continue;
    for (auto& entry : fs::directory_iterator(dir)) {
      if (entry.path().extension() != ".mo" || checked >= 12) continue;
      TMoFile mo(entry.path().string());
      for (std::uint32_t i = 0; i < mo.Count(); ++i) {
        bool found = false;
        const std::string_view tr = mo.gettext(mo.MsgId(i), found);
        ASSERT_TRUE(found) << entry.path() << " #" << i;
        ASSERT_EQ(tr, mo.Translation(i));
      }
      ++checked;
    }
  }
  if (checked == 0) GTEST_SKIP() << "no catalogs under /usr/share/locale";
}

TEST(MoFile, DamagedCatalogsAreRejectedAtLoad) {
  MoBuilder b;
  b.entries = {{"", "Content-Type: text/plain; charset=UTF-8\n"}, {"a", "b"}, {"c", "d"}};
  const std::string good = b.Build();
  {
    TMoFile ok(good.data(), good.size(), "good.mo");
    EXPECT_EQ(ok.Count(), 3u);
  }
  auto with = [&](std::size_t at, std::uint32_t v) {
    std::string s = good;
    MoBuilder::Put(s, at, v);
    return s;
  };
  ExpectDamaged(with(0, 0x12345678));              // magic
  ExpectDamaged(good.substr(0, 19));               // header cut short
  ExpectDamaged(good.substr(0, good.size() - 2));  // last string runs past the end
  ExpectDamaged(with(8, 0x10000000));              // N asks for tables far beyond the file
  ExpectDamaged(with(8, 0xFFFFFFFF));
  ExpectDamaged(with(12, 0xFFFFFFF0));             // msgid table outside
  ExpectDamaged(with(16, static_cast<std::uint32_t>(good.size()) - 4));  // translation table cut
  ExpectDamaged(with(20 + 8, 0xFFFFFFFF));         // msgid length wraps a 32-bit sum
  ExpectDamaged(with(24 + 8, static_cast<std::uint32_t>(good.size())));  // msgid offset at the end
  ExpectDamaged(with(20 + 8 * 3 + 4, 0x7FFFFFFF)); // translation offset outside
  ExpectDamaged(std::string());
}

TEST(MoFile, FileErrorsCarryTheirMessages) {
  TempFolder dir;
  const std::string missing = (dir.path / "missing.mo").string();
  try {
    TMoFile mo(missing);
    FAIL();
  } catch (const EGettextIOError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + missing);
  }
  // An embedded catalog that claims more bytes than the file has.
  MoBuilder b;
  b.entries = {{"a", "b"}};
  WriteFile(dir.path / "host.bin", "xxxx" + b.Build());
  const std::string host = (dir.path / "host.bin").string();
  TMoFile inside(host, 4, fs::file_size(host) - 4);
  bool found = false;
  EXPECT_EQ(inside.gettext("a", found), "b");
  EXPECT_THROW(TMoFile(host, 4, fs::file_size(host)), EGettextIOError);
  EXPECT_THROW(TMoFile(host, fs::file_size(host) + 1, 1), EGettextIOError);
}

// The same message on every system for what lies at a catalog's name; an empty file is a
// damaged catalog (it cannot even be mapped), not a failure of the mapping.
TEST(MoFile, WhatLiesAtTheNameDecidesTheMessage) {
  TempFolder dir;
  WriteFile(dir.path / "empty.mo", "");
  WriteFile(dir.path / "short.mo", std::string("\xde\x12\x04\x95", 4));
  fs::create_directories(dir.path / "folder.mo");
  const struct {
    const char* Name;
    const char* Message;  // followed by the file's name
  } cases[] = {{"missing.mo", "Cannot open file "},
               {"folder.mo", "Cannot create memory map on file "},
               {"empty.mo", "This file is not a valid GNU gettext mo file: "},
               {"short.mo", "This file is not a valid GNU gettext mo file: "}};
  for (const auto& c : cases) {
    const std::string name = (dir.path / c.Name).string();
    try {
      TMoFile mo(name);
      ADD_FAILURE() << c.Name << " opened";
    } catch (const EGettextIOError& e) {
      EXPECT_EQ(e.Message(), c.Message + name) << c.Name;
    }
  }
}
