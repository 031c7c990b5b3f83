// The real wizard window without a display: the page walk in both languages, Cancel,
// Finish, the close box, the busy frame around the steps, and the window's texts. Every
// dialog is answered by the test; an unexpected one fails it instead of waiting.
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QCompleter>
#include <QLineEdit>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include "../common/temp_dir.h"
#include "core/published.h"
#include "i18n/translations.h"
#include "scripted_dialogs.h"
#include "setup/frm_main.h"
#include "setup/startup.h"
#include "setup/window_texts.h"
#include "ui/application.h"
#include "ui/dialogs.h"

using namespace tarvo;
using namespace tarvo::setup;
namespace fs = std::filesystem;

namespace {

// The window with steps the test decides; records what the user sees while a step runs.
class TTestWindow : public TfrmMain {
public:
  using TfrmMain::TfrmMain;
  std::function<void()> ComponentStep;
  bool DataAccepted = true;
  struct TSeen {
    int Page;
    ui::TCursor Cursor;
    bool NextEnabled;
  };
  std::vector<TSeen> Seen;

protected:
  void RunComponentStep() override {
    Seen.push_back({Notebook1->PageIndex(), ui::Screen().Cursor(), btNEXT->Enabled()});
    if (ComponentStep) ComponentStep();
  }
  bool RunDataStep() override {
    Seen.push_back({Notebook1->PageIndex(), ui::Screen().Cursor(), btNEXT->Enabled()});
    return DataAccepted;
  }
};

class Wizard : public ::testing::Test, protected tarvo::setup::testing::TScriptedDialogs {
protected:
  // A program folder with the catalogs (or without the French one) and two sandbox drives.
  void Start(bool withFrench = true) {
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove_all(entry.path());  // a second start
    fs::copy(fs::path(TARVO_CATALOG_DIR), dir / "locale", fs::copy_options::recursive);
    if (!withFrench) fs::remove_all(dir / "locale" / "fr");
    fs::create_directories(dir / "c");
    fs::create_directories(dir / "d");
    ::setenv("TARVO_DRIVES", ("C=" + (dir / "c").string() + ";D=" + (dir / "d").string()).c_str(), 1);
    service = std::make_unique<i18n::TTranslationService>((dir / "tarvo-setup").string());
    RegisterTranslationExclusions();
    InstallDialogs();
    w = std::make_unique<TTestWindow>();
    w->Show();
  }
  void TearDown() override {
    w.reset();
    RestoreDialogs();
    service.reset();
    ::unsetenv("TARVO_DRIVES");
    EXPECT_TRUE(answers.empty()) << "a dialog the test answered did not appear";
  }

  void ChooseLanguage(bool french) {
    (french ? w->rbFRANS : w->rbNEDERLANDS)->SetChecked(true);
    w->btNEXT->Click();
  }
  int Page() const { return w->Notebook1->PageIndex(); }
  std::string Caption(const char* name) const {
    return core::GetStrProp(*w->FindComponent(name), "Caption");
  }
  bool FinishInFront() const { return w->btFINISH->IsInFrontOf(*w->btNEXT); }

  tarvo::testing::TTempDir FTemp;
  const fs::path& dir = FTemp.Path();
  std::unique_ptr<i18n::TTranslationService> service;
  std::unique_ptr<TTestWindow> w;
};

struct WalkCase {
  const char* language;
  const char* headings[6];  // pages 0, 1, 2, 3, 5, 7
  const char* next;
};

const WalkCase kWalks[] = {
    {"nl",
     {"BVBA T.Arvo", "Welkom bij het installatie programma voor T.Arvo", "Locatie", "Proxy Instellingen",
      "Gegevens installeren", "Installatie voltooid"},
     "Volgende >"},
    {"fr",
     {"BVBA T.Arvo", "Bienvenue dans le programme d'installation de T.Arvo", "Emplacement", "Paramètres du proxy",
      "Installation des données", "Installation terminée"},
     "Suivant >"},
};

const char* const kHeadings[] = {"lbTitleTaal", "lbTitleStart", "lbTitleLocatie", "lbTitleProxy", "lbTitleData",
                                 "lbTitleEinde"};

class PageWalk : public Wizard, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(PageWalk, NextVisitsThePagesAndTheStepsRunOnTheWaitingPages) {
  Start();
  const WalkCase& c = GetParam();
  const int visited[] = {pgSelectTaal, pgStart, pgLocatie, pgProxySettings, pgData, pgEinde};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(Page(), visited[i]);
    EXPECT_EQ(Caption(kHeadings[i]), c.headings[i]) << i;
    if (i == 0) ChooseLanguage(std::string(c.language) == "fr");
    else if (i < 5) w->btNEXT->Click();
  }
  EXPECT_EQ(Caption("btNEXT"), c.next);
  // Each step ran on its waiting page, with the hourglass and Next disabled; both are back.
  ASSERT_EQ(w->Seen.size(), 2u);
  EXPECT_EQ(w->Seen[0].Page, pgInstallMain);
  EXPECT_EQ(w->Seen[1].Page, pgInstallData);
  for (const auto& seen : w->Seen) {
    EXPECT_EQ(seen.Cursor, ui::crHourGlass);
    EXPECT_FALSE(seen.NextEnabled);
  }
  EXPECT_EQ(ui::Screen().Cursor(), ui::crDefault);
  EXPECT_TRUE(w->btNEXT->Enabled());
  EXPECT_TRUE(w->btCANCEL->Visible());
}

INSTANTIATE_TEST_SUITE_P(Languages, PageWalk, ::testing::ValuesIn(kWalks),
                         [](const auto& info) { return std::string(info.param.language); });

struct CancelCase {
  const char* name;
  int page;
  int answer;
  int pageAfter;
};

const CancelCase kCancels[] = {
    {"no_on_the_drive_page", pgLocatie, ui::mrNo, pgLocatie},
    {"yes_on_the_drive_page", pgLocatie, ui::mrYes, pgAbort},
    {"yes_on_the_done_page", pgEinde, ui::mrYes, pgAbort},
    {"dialog_closed_is_no", pgStart, ui::mrCancel, pgStart},
};

class Cancel : public Wizard, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(Cancel, AsksAndOnYesEndsOnTheAbortPage) {
  Start();
  const CancelCase& c = GetParam();
  w->Notebook1->SetPageIndex(c.page);
  w->PROXY_SERVER->SetText("proxy.local");
  answers.push_back(c.answer);
  w->btCANCEL->Click();
  const bool aborted = c.pageAfter == pgAbort;
  EXPECT_EQ(Page(), c.pageAfter);
  EXPECT_EQ(w->btCANCEL->Visible(), !aborted);
  EXPECT_EQ(FinishInFront(), aborted);
  EXPECT_TRUE(w->btNEXT->Visible() && w->btNEXT->Enabled());  // only the z-order changes
  EXPECT_EQ(w->PROXY_SERVER->Text(), "proxy.local");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Type, ui::mtConfirmation);
  EXPECT_EQ(shown[0].Caption, "WAARSCHUWING");
  EXPECT_EQ(shown[0].Text, "De installatie is niet voltooid.\rBent u zeker ?");
  EXPECT_EQ(shown[0].Buttons, (std::vector<std::string>{"&Ja", "&Nee"}));

  w->btNEXT->Click();  // Next on the abort page changes nothing
  if (aborted) {
    EXPECT_EQ(Page(), pgAbort);
  }
}

INSTANTIATE_TEST_SUITE_P(Wizard, Cancel, ::testing::ValuesIn(kCancels),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Wizard, FrenchReachesTheMessagesAndTheToolkitAndKeepsTheUsersChoices) {
  Start();
  w->InstallDrive->SetDrive('D');
  w->GegevensLocatie->SetText("/srv/gegevens");
  ChooseLanguage(true);
  EXPECT_EQ(w->InstallDrive->Drive(), 'D');
  EXPECT_EQ(w->InstallDrive->DisplayNames()[1], "Disque local (D:)  " + (dir / "d").string());
  EXPECT_EQ(w->GegevensLocatie->Text(), "/srv/gegevens");
  EXPECT_EQ(w->Notebook1->Pages()->Strings(2), "Locatie");  // page names stay
  answers.push_back(ui::mrNo);
  w->btCANCEL->Click();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Caption, "AVERTISSEMENT");
  EXPECT_EQ(shown[0].Text, i18n::_("De installatie is niet voltooid.") + "\r" + i18n::_("Bent u zeker ?"));
  EXPECT_NE(shown[0].Text, "De installatie is niet voltooid.\rBent u zeker ?");
  EXPECT_EQ(shown[0].Buttons, (std::vector<std::string>{"&Oui", "&Non"}));
}

TEST_F(Wizard, FrenchWithoutItsCatalogStaysDutch) {
  Start(/*withFrench=*/false);
  ChooseLanguage(true);
  EXPECT_EQ(Page(), pgStart);
  EXPECT_EQ(Caption("lbTitleStart"), "Welkom bij het installatie programma voor T.Arvo");
  EXPECT_EQ(Caption("btNEXT"), "Volgende >");
}

TEST_F(Wizard, StartsInDutchWhateverTheUsersLocale) {
  const char* previous = std::getenv("LANG");
  const std::string saved = previous ? previous : "";
  ::setenv("LANG", "fr_BE.UTF-8", 1);
  Start();
  if (previous) ::setenv("LANG", saved.c_str(), 1);
  else ::unsetenv("LANG");
  EXPECT_EQ(Caption("btNEXT"), "Volgende >");
  EXPECT_EQ(w->InstallDrive->DisplayNames()[0], "Lokale schijf (C:)  " + (dir / "c").string());
}

TEST_F(Wizard, EveryWindowTextHasItsFrenchTranslation) {
  Start();
  i18n::UseLanguage("fr");
  for (const TWindowText& t : WindowTexts()) {
    if (std::string(t.Text) == "Français") continue;  // the same word in both languages
    EXPECT_NE(i18n::_(t.Text), t.Text) << t.Text;
  }
}

struct StepCase {
  const char* name;
  std::function<void(TTestWindow&)> step;
  int page;
  const char* box;
};

const StepCase kSteps[] = {
    {"succeeds", [](TTestWindow&) {}, pgData, nullptr},
    {"download_fails",
     [](TTestWindow& w) { w.GotoAbortPage(std::runtime_error("Socket Error # 10061\r\nConnection refused.")); },
     pgAbort, "Socket Error # 10061\r\nConnection refused."},
    // A server's text reaches the box without escape sequences or direction overrides.
    {"server_text",
     [](TTestWindow& w) { w.GotoAbortPage(std::runtime_error("HTTP/1.1 500 \x1b[2J\xe2\x80\xaeKO\r\nX")); },
     pgAbort, "HTTP/1.1 500 \xef\xbf\xbd[2J\xef\xbf\xbdKO\r\nX"},
    // Outside the guarded stretches: the default exception box, and the waiting page stays.
    {"escapes", [](TTestWindow&) { throw std::runtime_error("Cannot create file"); }, pgInstallMain,
     "Cannot create file"},
};

class ComponentStep : public Wizard, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ComponentStep, EndsOnItsPageWithTheCursorAndNextRestored) {
  Start();
  const StepCase& c = GetParam();
  w->Notebook1->SetPageIndex(pgProxySettings);
  w->ComponentStep = [&] { c.step(*w); };
  if (c.box) answers.push_back(ui::mrOk);
  w->btNEXT->Click();
  EXPECT_EQ(Page(), c.page);
  EXPECT_EQ(ui::Screen().Cursor(), ui::crDefault);
  EXPECT_TRUE(w->btNEXT->Enabled());
  EXPECT_EQ(FinishInFront(), c.page == pgAbort);
  EXPECT_EQ(w->btCANCEL->Visible(), c.page != pgAbort);
  ASSERT_EQ(shown.size(), c.box ? 1u : 0u);
  if (c.box) {
    EXPECT_EQ(shown[0].Type, ui::mtError);
    EXPECT_EQ(shown[0].Caption, "Setup");
    EXPECT_EQ(shown[0].Text, c.box);
  }
}

INSTANTIATE_TEST_SUITE_P(Wizard, ComponentStep, ::testing::ValuesIn(kSteps),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Wizard, ACoveredNextDoesNotLeaveTheDonePage) {
  Start();
  w->Notebook1->SetPageIndex(pgEinde);
  w->btFINISH->BringToFront();
  w->btNEXT->Click();  // as the keyboard can reach it
  EXPECT_EQ(Page(), pgEinde);
}

TEST_F(Wizard, ARejectedDataLocationReturnsToTheDataPage) {
  Start();
  w->Notebook1->SetPageIndex(pgData);
  w->DataAccepted = false;
  w->btNEXT->Click();
  EXPECT_EQ(Page(), pgData);
  EXPECT_TRUE(w->btNEXT->Enabled());
}

// Finish and the close box end the message loop, on any page, without a question.
TEST_F(Wizard, FinishAndTheCloseBoxEndTheProgram) {
  for (bool closeBox : {false, true}) {
    Start();
    w->Notebook1->SetPageIndex(closeBox ? pgProxySettings : pgEinde);
    if (!closeBox) w->btFINISH->BringToFront();  // as the data step leaves it
    bool ended = false;
    QTimer::singleShot(0, [&] {
      if (closeBox) w->Widget()->close();
      else w->btFINISH->Click();
      ended = !w->Showing();
    });
    QTimer::singleShot(10000, [] { QApplication::exit(1); });  // a safety net, never a verdict on time
    EXPECT_EQ(ui::Application()->Run(w.get()), 0);
    EXPECT_TRUE(ended);
    TearDown();
  }
}

// Nothing clipped in either language: each text fits its box.
TEST_F(Wizard, EveryTextFitsItsBox) {
  for (bool french : {false, true}) {
    Start();
    ChooseLanguage(french);
    for (QWidget* widget : w->Widget()->findChildren<QWidget*>()) {
      const QString text = widget->property("text").toString();
      if (text.isEmpty()) continue;
      const auto* label = qobject_cast<QLabel*>(widget);
      // A push button asks for more than its text needs; its text with a margin must fit.
      const int wanted = qobject_cast<QPushButton*>(widget)
                             ? widget->fontMetrics().horizontalAdvance(QString(text).remove('&')) + 12
                             : widget->sizeHint().width();
      const bool fits = label && label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                                   : wanted <= widget->width();
      EXPECT_TRUE(fits) << (french ? "fr: " : "nl: ") << text.toStdString();
    }
    TearDown();
  }
}


// ---- the keyboard, as users of other installers expect it

class Keyboard : public Wizard {
protected:
  void StartActive() {
    Start();
    QApplication::setActiveWindow(w->Widget());
    w->Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w->Widget()));
  }
  // Sends a key to the focused widget (or the window), as the keyboard does.
  void Key(Qt::Key key) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : w->Widget();
    QTest::keyClick(target, key);
  }
  bool IsDefault(TButton* b) const { return static_cast<QPushButton*>(b->Widget())->isDefault(); }
};

// The covered Finish takes no focus and no key on the pages where Next lies on top; on the
// pages of the end it is the other way round. "Tab, Tab, Space" ends nothing half way.
TEST_F(Keyboard, TabNeverReachesTheCoveredButton) {
  StartActive();
  for (int page : {pgSelectTaal, pgStart, pgLocatie, pgProxySettings, pgData, pgEinde}) {
    if (page == pgEinde) w->btFINISH->BringToFront();
    w->ShowPage(page);
    TButton* covered = page == pgEinde ? w->btNEXT : w->btFINISH;
    for (int i = 0; i < 12; ++i) {
      Key(Qt::Key_Tab);
      EXPECT_NE(QApplication::focusWidget(), covered->Widget()) << "page " << page << ", tab " << i;
    }
    if (page == pgEinde) continue;
    // Whatever the two tabs reach (Cancel asks: answered No), the window stays.
    ui::TDialogHook scripted = ui::SetDialogHook([](const ui::TDialogRequest&) { return ui::mrNo; });
    w->ShowPage(page);
    Key(Qt::Key_Tab);
    Key(Qt::Key_Tab);
    Key(Qt::Key_Space);
    ui::SetDialogHook(scripted);
    EXPECT_TRUE(w->Showing()) << "page " << page;
  }
}

TEST_F(Keyboard, ACoveredFinishDoesNotCloseTheWindow) {
  Start();
  w->Notebook1->SetPageIndex(pgData);
  w->btFINISH->Click();  // as a key that reached it would
  EXPECT_TRUE(w->Showing());
  EXPECT_EQ(Page(), pgData);
}

// Enter is the default button that shows (Next, Finish at the end), drawn as the default;
// Esc is Cancel.
TEST_F(Keyboard, EnterIsTheButtonInFrontAndEscIsCancel) {
  StartActive();
  w->ShowPage(pgStart);
  EXPECT_TRUE(IsDefault(w->btNEXT));
  EXPECT_FALSE(IsDefault(w->btFINISH));
  Key(Qt::Key_Return);
  EXPECT_EQ(Page(), pgLocatie);
  Key(Qt::Key_Enter);  // the keypad's
  EXPECT_EQ(Page(), pgProxySettings);
  // From inside a text field too.
  w->PROXY_USE->SetChecked(true);
  w->PROXY_USE->OnClick(w->PROXY_USE);
  w->PROXY_SERVER->SetFocus();
  ASSERT_TRUE(w->PROXY_SERVER->Focused());
  Key(Qt::Key_Return);
  EXPECT_EQ(Page(), pgData);

  answers.push_back(ui::mrNo);
  Key(Qt::Key_Escape);
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_EQ(Page(), pgData);

  w->btFINISH->BringToFront();
  w->ShowPage(pgEinde);
  EXPECT_TRUE(IsDefault(w->btFINISH));
  EXPECT_FALSE(IsDefault(w->btNEXT));
  EXPECT_TRUE(w->btFINISH->Focused());
  Key(Qt::Key_Return);
  EXPECT_FALSE(w->Showing());
}

// Each page opens with its first control focused; pages without one focus the button in front.
TEST_F(Keyboard, TheFirstControlOfEachPageHasTheFocus) {
  StartActive();
  const std::pair<int, const char*> firsts[] = {{pgSelectTaal, "rbNEDERLANDS"}, {pgStart, "btNEXT"},
                                                {pgLocatie, "InstallDrive"},    {pgProxySettings, "PROXY_USE"},
                                                {pgData, "rbSERVER"}};
  for (const auto& [page, name] : firsts) {
    EXPECT_EQ(Page(), page);
    EXPECT_TRUE(static_cast<TControl*>(w->FindComponent(name))->Focused()) << name;
    if (page == pgData) break;
    if (page == pgProxySettings) w->Notebook1->SetPageIndex(pgData - 1);
    Key(Qt::Key_Return);
  }
}

// Address and port take input only while "use a proxy" is ticked.
TEST_F(Wizard, TheProxyFieldsFollowTheCheckBox) {
  Start();
  w->Notebook1->SetPageIndex(pgProxySettings);
  for (bool ticked : {false, true, false}) {
    if (ticked != w->PROXY_USE->Checked()) static_cast<QAbstractButton*>(w->PROXY_USE->Widget())->click();
    for (const char* name : {"PROXY_SERVER", "PROXY_POORT", "lbProxyAdres", "lbProxyPoort"})
      EXPECT_EQ(static_cast<TControl*>(w->FindComponent(name))->Enabled(), ticked) << name;
  }
}

// The folder browser speaks the wizard's language, down to its column headers, and opens on
// the chosen drive when the typed folder does not exist yet.
TEST_F(Wizard, TheFolderBrowserSpeaksTheWizardsLanguage) {
  for (bool french : {false, true}) {
    Start();
    ChooseLanguage(french);
    w->GegevensLocatie->SetText((dir / "c" / "TARVO" / "DATA").string());
    EXPECT_EQ(w->GegevensLocatie->BrowseStart(), (dir / "c").string());
    std::vector<std::string> texts;
    QTimer::singleShot(200, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      if (auto* view = dialog->findChild<QTreeView*>())
        for (int i = 0; i < view->model()->columnCount(); ++i)
          texts.push_back(view->model()->headerData(i, Qt::Horizontal).toString().toStdString());
      for (auto* label : dialog->findChildren<QLabel*>()) texts.push_back(label->text().toStdString());
      dialog->reject();
    });
    ui::SetDialogHook(nullptr);
    w->GegevensLocatie->Browse();
    InstallDialogs();
    const std::vector<std::string> expected =
        french ? std::vector<std::string>{"Nom", "Taille", "Type", "Date de modification"}
               : std::vector<std::string>{"Naam", "Grootte", "Type", "Gewijzigd op"};
    std::string all;
    for (const std::string& t : texts) all += "[" + t + "]";
    for (const std::string& e : expected) EXPECT_NE(all.find("[" + e + "]"), std::string::npos) << e << " in " << all;
    for (const char* english : {"Name", "Size", "Date Modified", "Look in:", "Files of type:"})
      EXPECT_EQ(all.find("[" + std::string(english) + "]"), std::string::npos) << english << " in " << all;
    TearDown();
  }
}


// The folder field's completion list is open when the user clicks Next: the click closes the
// list and is Next's click too.
TEST_F(Keyboard, TheCompletionListDoesNotSwallowTheClickOnNext) {
  StartActive();
  fs::create_directories(dir / "c" / "gegevens1");
  fs::create_directories(dir / "c" / "gegevens2");
  w->Notebook1->SetPageIndex(pgData);
  w->rbWORKSTATION->SetChecked(true);
  w->GegevensLocatie->SetFocus();
  auto* edit = static_cast<QLineEdit*>(w->GegevensLocatie->Widget());
  edit->clear();
  QTest::keyClicks(edit, QString::fromStdString((dir / "c" / "geg").string()));
  QWidget* popup = edit->completer()->popup();
  ASSERT_TRUE(popup->isVisible());
  QWidget* next = w->btNEXT->Widget();
  const QPoint at = next->mapTo(w->Widget(), next->rect().center());
  // Through the window, as a real click arrives (the open list holds the mouse).
  QTest::mouseClick(w->Widget()->windowHandle(), Qt::LeftButton, {}, at);
  QApplication::processEvents();
  EXPECT_FALSE(popup->isVisible());
  ASSERT_EQ(w->Seen.size(), 1u) << "Next did not run";
  EXPECT_EQ(w->Seen[0].Page, pgInstallData);
}

}  // namespace
