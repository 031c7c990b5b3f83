// Translating component trees: what is translated, what the rules keep untouched, and
// showing a translated tree again in another language.
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "catalog_helpers.h"
#include "core/published.h"
#include "i18n/domain_list.h"
#include "i18n/file_locator.h"
#include "i18n/gettext_errors.h"
#include "i18n/gettext_instance.h"
#include "i18n/message_box.h"
#include "test_widgets.h"

using namespace tarvo::i18n;
using namespace testcatalogs;
using namespace testwidgets;

namespace {

const std::string kFrenchPo = PoHeader() + PoEntries({{"BVBA T.Arvo - Setup", "SPRL T.Arvo - Installation"},
                                                      {"Volgende >", "Suivant >"},
                                                      {"Voltooien", "Terminer"},
                                                      {"Nederlands", "Néerlandais"},
                                                      {"Français", "Français"},
                                                      {"Adres", "Adresse"},
                                                      {"Poort", "Port"},
                                                      {"Tahoma", "Arial"},
                                                      {"Start", "Début"},
                                                      {"Locatie", "Emplacement"},
                                                      {"Kolom", "Colonne"},
                                                      {"Hulp", "Aide"},
                                                      {"Versie 1", "Version 1"}});

// A window like the wizard's: a form owning a notebook, buttons, a list and a list view.
struct Form {
  std::unique_ptr<TControl> form = std::make_unique<TControl>();
  TNotebook* notebook;
  TControl* next;
  TControl* finish;
  TListBox* list;
  TListView* view;

  Form() {
    form->SetName("frmMain");
    form->SetCaption("BVBA T.Arvo - Setup");
    notebook = new TNotebook(form.get());
    notebook->SetName("Notebook1");
    notebook->Pages()->SetText("Start\nLocatie\n");
    next = new TControl(form.get());
    next->SetName("btNEXT");
    next->SetCaption("Volgende >");
    next->SetHelpKeyword("Hulp");
    finish = new TControl(form.get());
    finish->SetName("btFINISH");
    finish->SetCaption("Voltooien");
    list = new TListBox(form.get());
    list->SetName("Talen");
    list->Items()->SetText("Nederlands\n\nFrançais\n");
    view = new TListView(form.get());
    view->SetName("Lijst");
    static_cast<TColumn*>(view->Columns()->Add())->SetCaption("Kolom");
    view->SetBuddy(finish);
  }
};

struct ComponentTranslation : ::testing::Test {
  TempFolder dir;
  TFileLocator locator;
  TDomainList components;
  std::unique_ptr<TGettextInstance> gt;
  std::vector<std::string> boxes;
  TMessageBoxFunc previousBox;

  void SetUp() override {
    Msgfmt(kFrenchPo, dir.Catalog("fr"));
    Msgfmt(PoHeader() + PoEntries({{"Volgende >", "Volgende"}}), dir.Catalog("nl"));
    locator.Analyze(dir.Exe());
    gt = std::make_unique<TGettextInstance>(locator, dir.path.string(), &components);
    gt->UseLanguage("nl");
    previousBox = SetMessageBoxFunc([this](const std::string& text, const std::string& caption, unsigned) {
      boxes.push_back(caption + ": " + text);
      return 1;
    });
  }
  void TearDown() override { SetMessageBoxFunc(previousBox); }
  // The rules the wizard registers at start-up.
  void WizardRules() {
    gt->TP_GlobalIgnoreClassProperty(ClassInfoOf<TNotebook>(), "Pages");
    gt->TP_GlobalIgnoreClassProperty(ClassInfoOf<TControl>(), "HelpKeyword");
    gt->TP_GlobalIgnoreClass(ClassInfoOf<TFont>());
  }
};

}  // namespace

TEST_F(ComponentTranslation, TranslatesEveryTextOfTheTreeExceptWhatTheRulesKeep) {
  WizardRules();
  Form f;
  gt->UseLanguage("fr");
  gt->TranslateComponent(f.form.get());
  EXPECT_EQ(f.form->Caption(), "SPRL T.Arvo - Installation");
  EXPECT_EQ(f.next->Caption(), "Suivant >");
  EXPECT_EQ(f.finish->Caption(), "Terminer");
  EXPECT_EQ(f.list->Items()->Text(), "Néerlandais\n\nFrançais\n");
  EXPECT_EQ(static_cast<TColumn*>(f.view->Columns()->Items(0))->Caption(), "Colonne");
  // Kept: names, the notebook's pages, help keywords, fonts, read-only texts.
  EXPECT_EQ(f.next->Name(), "btNEXT");
  EXPECT_EQ(f.notebook->Pages()->Text(), "Start\nLocatie\n");
  EXPECT_EQ(f.next->HelpKeyword(), "Hulp");
  EXPECT_EQ(f.form->Font()->Name(), "Tahoma");
  EXPECT_EQ(f.form->Version(), "Versie 1");
  // The root now carries the marker, which is not a page of the tree's texts.
  ASSERT_NE(FindMarker(f.form.get()), nullptr);
  EXPECT_EQ(FindMarker(f.form.get())->LastLanguage, "fr");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ComponentTranslation, TranslationEqualToTheTextLeavesThePropertyUntouched) {
  Form f;
  f.list->SetCaption("Français");
  f.list->CaptionWrites = 0;
  gt->UseLanguage("fr");
  gt->TranslateComponent(f.form.get());
  EXPECT_EQ(f.list->CaptionWrites, 0);
  EXPECT_EQ(f.finish->CaptionWrites, 2);  // set by the test, then translated
}

TEST_F(ComponentTranslation, PerCallIgnoreRulesApplyToOneCallOnly) {
  Form f;
  gt->UseLanguage("fr");
  gt->TP_Ignore("BTNEXT");
  gt->TP_Ignore(".Caption");
  gt->TP_Ignore("btFINISH.Caption");
  gt->TP_IgnoreClass(ClassInfoOf<TListView>());
  gt->TranslateProperties(f.form.get());
  EXPECT_EQ(f.form->Caption(), "BVBA T.Arvo - Setup");
  EXPECT_EQ(f.next->Caption(), "Volgende >");
  EXPECT_EQ(f.finish->Caption(), "Voltooien");
  EXPECT_EQ(static_cast<TColumn*>(f.view->Columns()->Items(0))->Caption(), "Kolom");
  EXPECT_EQ(f.list->Items()->Strings(0), "Néerlandais");
  gt->TranslateProperties(f.form.get());
  EXPECT_EQ(f.next->Caption(), "Suivant >");
  EXPECT_EQ(f.form->Caption(), "SPRL T.Arvo - Installation");
}

TEST_F(ComponentTranslation, RetranslationStartsFromTheRememberedDutchTexts) {
  WizardRules();
  Form f;
  gt->TranslateComponent(f.form.get());  // nl: the nl catalog knows "Volgende >"
  EXPECT_EQ(f.next->Caption(), "Volgende");
  gt->UseLanguage("fr");
  gt->RetranslateComponent(f.form.get());
  EXPECT_EQ(f.next->Caption(), "Suivant >");
  EXPECT_EQ(f.list->Items()->Text(), "Néerlandais\n\nFrançais\n");
  gt->UseLanguage("nl");
  gt->RetranslateComponent(f.form.get());
  EXPECT_EQ(f.next->Caption(), "Volgende");
  EXPECT_EQ(f.form->Caption(), "BVBA T.Arvo - Setup");
  EXPECT_EQ(f.list->Items()->Text(), "Nederlands\n\nFrançais\n");
  EXPECT_EQ(static_cast<TColumn*>(f.view->Columns()->Items(0))->Caption(), "Kolom");
  // Unchanged language: nothing is written.
  f.finish->SetCaption("zelf gezet");
  gt->RetranslateComponent(f.form.get());
  EXPECT_EQ(f.finish->Caption(), "zelf gezet");
}

TEST_F(ComponentTranslation, ObjectsFreedAfterTranslationAreForgotten) {
  Form f;
  auto* extra = new TControl(f.next);  // owned one level down
  extra->SetCaption("Adres");
  gt->TranslateComponent(f.form.get());
  delete extra;
  delete f.list;
  f.view->Columns()->Delete(0);  // not a component: nobody is told
  auto* fresh = static_cast<TColumn*>(f.view->Columns()->Add());  // may reuse its memory
  fresh->SetCaption("eigen");
  gt->UseLanguage("fr");
  gt->RetranslateComponent(f.form.get());  // must not touch the freed objects
  EXPECT_EQ(f.finish->Caption(), "Terminer");
  EXPECT_EQ(fresh->Caption(), "eigen");
}

TEST_F(ComponentTranslation, ComponentMovedToAnotherOwnerKeepsItsRememberedTexts) {
  Form f;
  gt->TranslateComponent(f.form.get());
  TControl elsewhere;
  elsewhere.InsertComponent(f.next);
  gt->UseLanguage("fr");
  gt->RetranslateComponent(f.form.get());
  EXPECT_EQ(f.next->Caption(), "Suivant >");
}

TEST_F(ComponentTranslation, HandlerStartingItsOwnWalkLeavesTheOuterWalkIntact) {
  Form f;
  f.notebook->SetCaption("Locatie");
  TControl dialog;  // a window of its own, translated by the handler
  dialog.SetCaption("Adres");
  int calls = 0;
  // The notebook comes first, so the outer walk still has the rest of the tree to do.
  gt->TP_GlobalHandleClass(ClassInfoOf<TNotebook>(), [&](tarvo::core::TPersistent* obj) {
    ++calls;
    gt->TranslateComponent(&dialog);
    gt->TP_Ignore(".Hint");
    gt->TranslateProperties(obj);
  });
  gt->TP_Ignore("btFINISH.Caption");
  gt->TP_IgnoreClass(ClassInfoOf<TListBox>());
  gt->UseLanguage("fr");
  gt->TranslateComponent(f.form.get());
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(f.notebook->Caption(), "Emplacement");
  EXPECT_EQ(f.finish->Caption(), "Voltooien");           // the outer ignore list
  EXPECT_EQ(f.list->Items()->Strings(0), "Nederlands");  // the outer class rule
  EXPECT_EQ(f.next->Caption(), "Suivant >");
  gt->UseLanguage("nl");
  gt->RetranslateComponent(f.form.get());  // remembered after the inner walk too
  EXPECT_EQ(f.next->Caption(), "Volgende");
  EXPECT_EQ(f.notebook->Caption(), "Locatie");
  EXPECT_EQ(dialog.Caption(), "Adresse");  // its own memory, not the form's
  gt->RetranslateComponent(&dialog);
  EXPECT_EQ(dialog.Caption(), "Adres");
}

TEST_F(ComponentTranslation, RetranslationKeepsWhatTheUserChose) {
  Form f;
  auto* language = new TComboBox(f.form.get());
  language->Items()->SetText("Nederlands\nFrançais\n");
  auto* drives = new TComboBox(f.form.get());
  drives->Items()->SetText("Locatie\n");
  auto* folder = new TEdit(f.form.get());
  folder->SetText("Adres");
  auto* port = new TEdit(f.form.get());
  port->SetText("Poort");
  gt->TranslateComponent(f.form.get());
  language->ItemIndex = 1;             // picked by the user
  drives->Items()->SetText("C:\nD:\n");  // refilled by the program
  drives->ItemIndex = 1;
  folder->SetText("D:/Gegevens");      // typed by the user
  gt->UseLanguage("fr");
  gt->RetranslateComponent(f.form.get());
  EXPECT_EQ(language->Items()->Text(), "Néerlandais\nFrançais\n");
  EXPECT_EQ(language->ItemIndex, 1);
  EXPECT_EQ(drives->Items()->Text(), "C:\nD:\n");
  EXPECT_EQ(drives->ItemIndex, 1);
  EXPECT_EQ(folder->Text(), "D:/Gegevens");
  EXPECT_EQ(port->Text(), "Port");  // untouched by the user: translated
  gt->UseLanguage("nl");
  gt->RetranslateComponent(f.form.get());
  EXPECT_EQ(port->Text(), "Poort");
  EXPECT_EQ(language->Items()->Strings(0), "Nederlands");
  EXPECT_EQ(language->ItemIndex, 1);
}

TEST_F(ComponentTranslation, MisuseIsReportedWithTheExactTexts) {
  Form f;
  try {
    gt->RetranslateComponent(f.form.get());
    FAIL();
  } catch (const EGettextProgrammingError& e) {
    EXPECT_EQ(e.Message(),
              "Retranslate was called on an object that has not been translated before. Please use "
              "TranslateComponent() before RetranslateComponent().");
  }
  gt->TranslateComponent(f.form.get());
  gt->UseLanguage("fr");
  gt->TranslateComponent(f.form.get());  // should have been RetranslateComponent
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Error: ", 0), 0u);
  EXPECT_EQ(f.next->Caption(), "Volgende");  // nothing translated

  gt->TP_GlobalIgnoreClass(ClassInfoOf<TFont>());
  try {
    gt->TP_GlobalIgnoreClass(ClassInfoOf<TFont>());
    FAIL();
  } catch (const EGettextProgrammingError& e) {
    EXPECT_EQ(e.Message(),
              "You cannot add a class to the ignore list that is already on that list: TFont. You should keep all "
              "GlobalIgnore functions in one place in your source code.");
  }
  gt->TP_GlobalHandleClass(ClassInfoOf<TListView>(), [](tarvo::core::TPersistent*) {});
  try {
    gt->TP_GlobalIgnoreClassProperty(ClassInfoOf<TListView>(), "Hint");
    FAIL();
  } catch (const EGettextProgrammingError& e) {
    EXPECT_EQ(e.Message(), "You cannot ignore a class property for a class that has a handler set.");
  }
}

TEST_F(ComponentTranslation, HandlersReplaceTranslationAndRulesReachDescendants) {
  Form f;
  std::vector<std::string> handled;
  gt->TP_GlobalHandleClass(ClassInfoOf<TListView>(),
                           [&](tarvo::core::TPersistent* obj) { handled.push_back(obj->ClassName()); });
  gt->TP_GlobalIgnoreClassProperty(ClassInfoOf<TControl>(), "Caption");  // TListBox inherits it
  gt->UseLanguage("fr");
  gt->TranslateProperties(f.form.get());
  EXPECT_EQ(handled, std::vector<std::string>{"TListView"});
  EXPECT_EQ(static_cast<TColumn*>(f.view->Columns()->Items(0))->Caption(), "Kolom");
  EXPECT_EQ(f.next->Caption(), "Volgende >");
  EXPECT_EQ(f.list->Items()->Strings(0), "Néerlandais");  // only Caption is kept
}

TEST_F(ComponentTranslation, FailingPropertyNamesTheRuleThatAvoidsIt) {
  Form f;
  f.next->FailOnWrite = true;
  gt->UseLanguage("fr");
  try {
    gt->TranslateComponent(f.form.get());
    FAIL();
  } catch (const EGettextComponentError& e) {
    EXPECT_EQ(e.Message(),
              "Property cannot be translated.\r\nAdd GlobalIgnoreClassProperty(TControl,'Caption') to your source "
              "code or use\r\nIgnoreProperty (self,'.Caption') to prevent this message.\r\nReason: caption is locked");
  }
  EXPECT_EQ(FindMarker(f.form.get()), nullptr);  // a failed translation leaves no marker
  EXPECT_EQ(gt->Retranslator, nullptr);
}

TEST_F(ComponentTranslation, SeparatelyTranslatedPartsKeepTheirOwnMemory) {
  Form f;
  gt->UseLanguage("fr");
  gt->TranslateComponent(f.list);  // the list gets its own marker first
  EXPECT_EQ(f.list->Items()->Strings(0), "Néerlandais");
  gt->TranslateComponent(f.form.get());
  gt->UseLanguage("nl");
  gt->RetranslateComponent(f.form.get());
  EXPECT_EQ(f.next->Caption(), "Volgende");
  EXPECT_EQ(f.list->Items()->Strings(0), "Néerlandais");  // not part of the form's memory
  gt->RetranslateComponent(f.list);
  EXPECT_EQ(f.list->Items()->Strings(0), "Nederlands");
}

TEST_F(ComponentTranslation, CharsetWarningWaitsUntilTheDomainListIsReleased) {
  Msgfmt(PoHeader("ISO-8859-1") + PoEntries({{"Adres", "Adresse"}}), dir.Catalog("de"));
  gt->UseLanguage("de");
  std::optional<std::thread> writer;
  std::promise<void> added;
  bool listFree = false;
  SetMessageBoxFunc([&](const std::string& text, const std::string& caption, unsigned) {
    boxes.push_back(caption + ": " + text);
    // A modal box runs an event loop; what that loop runs may need the list.
    writer.emplace([&] {
      components.Add("other");
      added.set_value();
    });
    listFree = added.get_future().wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    return 1;
  });
  EXPECT_EQ(gt->TranslateForComponents("Adres"), "Adres");
  if (writer) writer->join();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("Localization problem: The translation for the language code de", 0), 0u);
  EXPECT_TRUE(listFree);
}
