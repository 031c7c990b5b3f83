// The input controls as a user meets them: keys into the port field, the drive list, the
// folder field, and the toolkit's own texts in the user's language.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include <gtest/gtest.h>

#include "../common/temp_dir.h"
#include "core/resource_string.h"
#include "ui/dialogs.h"
#include "ui/directory_edit.h"
#include "ui/drive_combo.h"
#include "ui/form.h"
#include "ui/qt/line_edit.h"
#include "ui/validate_edit.h"

using namespace tarvo::ui;
namespace fs = std::filesystem;

namespace {

// Types text into a widget key by key, as the keyboard would.
void Type(QWidget* w, const QString& keys) {
  for (QChar c : keys) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
  }
}

struct KeyCase {
  const char* typed;
  const char* text;
};

TEST(ValidateEdit, KeysThatDoNotFitAnIntegerAreDropped) {
  const KeyCase cases[] = {
      {"8080", "8080"},    {"80a8x0", "8080"}, {"-12", "-12"}, {"+7", "+7"},
      {"1-2+3", "123"},    {"--5", "-5"},      {"+-5", "+5"},  {"3.5e2", "352"},
      {"é ü€", ""},
  };
  TForm form;
  auto* edit = new TValidateEdit(&form);
  for (const KeyCase& c : cases) {
    edit->SetText("");
    Type(edit->Widget(), QString::fromUtf8(c.typed));
    EXPECT_EQ(edit->Text(), c.text) << c.typed;
  }
}

TEST(ValidateEdit, ASignReplacesASelectionAtTheStart) {
  TForm form;
  auto* edit = new TValidateEdit(&form);
  auto* line = static_cast<QLineEdit*>(edit->Widget());
  edit->SetText("-42");
  line->setSelection(0, 1);
  Type(line, "+");
  EXPECT_EQ(edit->Text(), "+42");
  line->setSelection(1, 1);  // a selection in the middle
  Type(line, "-");
  EXPECT_EQ(edit->Text(), "+42");
}

TEST(ValidateEdit, AsIntegerReadsADecimal64BitNumberOrZero) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"", 0},        {"3128", 3128}, {"-5", -5}, {"+7", 7}, {"+-7", 0}, {"12a", 0}, {"-", 0},
      {"9223372036854775807", INT64_MAX}, {"9223372036854775808", 0},
  };
  TForm form;
  auto* edit = new TValidateEdit(&form);
  for (const auto& [text, value] : cases) {
    edit->SetText(text);
    EXPECT_EQ(edit->AsInteger(), value) << text;
  }
}

// A sandbox of drives through the override, and a current folder on one of them.
class Drives : public ::testing::Test {
protected:
  void SetUp() override {
    fs::create_directories(base / "c");
    fs::create_directories(base / "d" / "work");
    previous = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(previous);
    ::unsetenv("TARVO_DRIVES");
  }
  void UseDrives(const std::string& drives, const fs::path& cwd) {
    ::setenv("TARVO_DRIVES", drives.c_str(), 1);
    fs::current_path(cwd);
  }
  std::string Path(const char* sub) const { return (base / sub).string(); }
  tarvo::testing::TTempDir FTemp;
  const fs::path& base = FTemp.Path();
  fs::path previous;
};

TEST_F(Drives, TheDefaultIsTheCurrentFoldersDriveElseTheFirst) {
  const struct {
    std::string drives;
    const char* cwd;
    char expected;
  } cases[] = {
      {"C=" + Path("c") + ";D=" + Path("d"), "d/work", 'D'},
      {"C=" + Path("c") + ";D=" + Path("d"), "", 'C'},  // outside every drive
      {"D=" + Path("d"), "c", 'D'},                      // the only fixed disk is D:
  };
  for (const auto& c : cases) {
    UseDrives(c.drives, base / c.cwd);
    TForm form;
    auto* combo = new TDriveCombo(&form);
    EXPECT_EQ(combo->Drive(), c.expected) << c.drives << " in " << c.cwd;
  }
}

TEST_F(Drives, SelectingALetter) {
  UseDrives("C=" + Path("c") + ";D=" + Path("d"), base);
  TForm form;
  auto* combo = new TDriveCombo(&form);
  int changes = 0;
  combo->OnChange = [&](auto*) { ++changes; };
  const struct {
    char letter;
    char drive;
    int changes;
  } steps[] = {
      {'d', 'D', 1},  // any case
      {'D', 'D', 1},  // the current one: selected again, no change
      {'Q', 'D', 1},  // not listed: nothing changes
      {'c', 'C', 2},
  };
  for (const auto& s : steps) {
    combo->SetDrive(s.letter);
    EXPECT_EQ(combo->Drive(), s.drive) << s.letter;
    EXPECT_EQ(changes, s.changes) << s.letter;
    EXPECT_EQ(static_cast<QWidget*>(combo->Widget())->property("currentIndex").toInt(), s.drive - 'C');
  }
  EXPECT_EQ(combo->DisplayNames(), (std::vector<std::string>{"Local Disk (C:)  " + Path("c"),
                                                             "Local Disk (D:)  " + Path("d")}));
}

TEST_F(Drives, TheFolderFieldCompletesAndBrowsesFromItsText) {
  UseDrives("C=" + Path("c") + ";D=" + Path("d"), base / "d");
  TForm form;
  auto* edit = new TDirectoryEdit(&form);
  Type(edit->Widget(), QString::fromStdString(Path("d/wo")));
  EXPECT_EQ(edit->Completions(), std::vector<std::string>{Path("d/work")});

  std::vector<std::string> starts;
  std::optional<std::string> answer = Path("c");
  const TBrowseHook previous = SetBrowseHook([&](const std::string& start) {
    starts.push_back(start);
    return answer;
  });
  edit->SetText(Path("d/missing"));
  edit->Browse();  // a folder that does not exist: the current drive's root
  EXPECT_EQ(edit->Text(), Path("c"));
  edit->SetText("");
  answer.reset();
  edit->Browse();  // empty: the last chosen folder; Cancel keeps the text
  EXPECT_EQ(edit->Text(), "");
  SetBrowseHook(previous);
  EXPECT_EQ(starts, (std::vector<std::string>{Path("d"), Path("c")}));
}

// The toolkit's texts go through the loader of resource strings, which the translation
// service replaces; here a loader that marks every text stands for it.
std::string Marked(const tarvo::core::TResourceString& rs) { return std::string("<") + rs.Text + ">"; }

TEST(ToolkitTexts, ComeFromTheResourceStrings) {
  const auto previous = tarvo::core::SetResStringLoader(Marked);
  TForm form;
  auto* edit = new TEdit(&form);
  std::unique_ptr<QMenu> menu(static_cast<TLineEdit*>(edit->Widget())->CreateContextMenu());
  std::vector<std::string> items;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) items.push_back(a->text().section('\t', 0, 0).toStdString());
  EXPECT_EQ(items, (std::vector<std::string>{"<Undo>", "<Redo>", "<Cut>", "<Copy>", "<Paste>", "<Delete>",
                                             "<Select All>"}));

  std::vector<TDialogRequest> shown;
  const TDialogHook hook = SetDialogHook([&](const TDialogRequest& r) {
    shown.push_back(r);
    return mrNo;
  });
  TMessageDialog dialog("Sure?", mtConfirmation, {mbYes, mbNo});
  EXPECT_EQ(dialog.ShowModal(), mrNo);
  EXPECT_EQ(MessageBox("Failed", "Setup", 0x1010), mrCancel);
  SetDialogHook(hook);
  tarvo::core::SetResStringLoader(previous);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].Buttons, (std::vector<std::string>{"<&Yes>", "<&No>"}));
  EXPECT_EQ(shown[0].Caption, "<Confirm>");
  EXPECT_EQ(shown[1].Type, mtError);
  EXPECT_EQ(shown[1].Buttons, std::vector<std::string>{"<OK>"});
}

}  // namespace

namespace {

// The shell's name trimmed; a name of the letter alone (Wine's for an unlabelled disk) and
// no shell at all give Windows' own "Local Disk (C:)".
TEST(DriveNames, TheShellsNameTrimmedOrWindowsOwn) {
  struct {
    const char* Shell;
    const char* Label;
    const char* Shown;
  } const cases[] = {
      {"Windows (C:)", "", "Windows (C:)"},
      {"  Data (D:) ", "Data", "Data (D:)"},
      {" (C:)", "", "Local Disk (C:)"},
      {"", "", "Local Disk (C:)  /srv/c"},
      {"", "Data", "Data (C:)  /srv/c"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TDriveCombo::DisplayName(tarvo::platform::TDriveInfo{'C', "/srv/c", c.Label, c.Shell}), c.Shown) << c.Shell;
}

}  // namespace
