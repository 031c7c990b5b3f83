#include "setup/frm_main.h"

#include "core/format.h"
#include "core/published.h"
#include "core/scope_guard.h"
#include "http/response_text.h"
#include "i18n/message_box.h"
#include "i18n/translations.h"
#include "platform/console.h"
#include "platform/fixed_drives.h"
#include "setup/progress_text.h"
#include "setup/window_texts.h"
#include "ui/application.h"
#include "ui/dialogs.h"

namespace tarvo::setup {

using i18n::_;

namespace {

volatile int gSignalled = 0;

// A question or a box during a step shows the normal pointer, not the hourglass of the work
// behind it; the guard puts the step's pointer back.
[[nodiscard]] auto DialogCursor() {
  const TCursor saved = Screen().Cursor();
  Screen().SetCursor(crDefault);
  return core::TScopeGuard([saved] { Screen().SetCursor(saved); });
}

// Window and button bar.
constexpr int kClientWidth = 535, kClientHeight = 392;
constexpr int kStripWidth = 129;
constexpr int kBarHeight = 40;
constexpr int kButtonWidth = 75, kButtonHeight = 25;
// Page contents: a margin on the left and right, the heading on top.
constexpr int kPageWidth = kClientWidth - kStripWidth;
constexpr int kMargin = 16;
constexpr int kTextWidth = kPageWidth - 2 * kMargin;
constexpr int kHeadingHeight = 13;
constexpr int kBodyTop = 64;
constexpr int kLine = 15;  // one line of 11-pixel text

template <class T>
T* Make(TComponent* owner, TControl* parent, const char* name, int left, int top, int width, int height) {
  auto* c = new T(owner);
  c->SetName(name);
  c->SetParent(parent);
  c->SetBounds(left, top, width, height);
  return c;
}

TLabel* Text(TComponent* owner, TControl* page, const char* name, int top, int lines, int indent = 0) {
  auto* label = Make<TLabel>(owner, page, name, kMargin + indent, top, kTextWidth - indent, lines * kLine + 2);
  label->SetWordWrap(lines > 1);
  return label;
}

TLabel* Heading(TComponent* owner, TControl* page, const char* name) {
  TLabel* label = Make<TLabel>(owner, page, name, kMargin, kMargin, kTextWidth, 2 * (kHeadingHeight + 5));
  label->SetWordWrap(true);
  label->Font()->SetHeight(kHeadingHeight);
  label->Font()->SetBold(true);
  return label;
}

}  // namespace

TfrmMain::TfrmMain(TComponent* owner) : TForm(owner) {
  BuildWindow();
  OnCloseQuery = [this](TComponent* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
  FormCreate(this);
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::BuildWindow() {
  SetName("frmMain");
  SetClientSize(kClientWidth, kClientHeight);

  Image1 = Make<TImage>(this, this, "Image1", 0, 0, kStripWidth, kClientHeight - kBarHeight);
  Notebook1 = Make<TNotebook>(this, this, "Notebook1", kStripWidth, 0, kPageWidth, kClientHeight - kBarHeight);
  SpeedBar1 = Make<TSpeedBar>(this, this, "SpeedBar1", 0, kClientHeight - kBarHeight, kClientWidth, kBarHeight);
  const int right = kClientWidth - kButtonWidth - 4;
  btCANCEL = Make<TButton>(this, SpeedBar1, "btCANCEL", 8, 8, kButtonWidth, kButtonHeight);
  btFINISH = Make<TButton>(this, SpeedBar1, "btFINISH", right, 8, kButtonWidth, kButtonHeight);
  btNEXT = Make<TButton>(this, SpeedBar1, "btNEXT", right, 8, kButtonWidth, kButtonHeight);  // in front
  btCANCEL->SetCancel(true);
  btNEXT->SetDefault(true);
  btFINISH->SetDefault(true);  // Enter finishes once Finish covers Next
  btCANCEL->SetTabOrder(0);
  btNEXT->SetTabOrder(1);
  btFINISH->SetTabOrder(2);
  btCANCEL->OnClick = [this](TComponent* s) { btCANCELClick(s); };
  btNEXT->OnClick = [this](TComponent* s) { btNEXTClick(s); };
  btFINISH->OnClick = [this](TComponent* s) { btFINISHClick(s); };

  TPage* p = Notebook1->AddPage("SelectTaal");
  Heading(this, p, "lbTitleTaal");
  Text(this, p, "lbKiesTaal", kBodyTop, 1);
  rbNEDERLANDS = Make<TRadioButton>(this, p, "rbNEDERLANDS", kMargin + 16, kBodyTop + 26, 240, 20);
  rbFRANS = Make<TRadioButton>(this, p, "rbFRANS", kMargin + 16, kBodyTop + 50, 240, 20);
  rbNEDERLANDS->SetChecked(true);

  p = Notebook1->AddPage("Start");
  Heading(this, p, "lbTitleStart");
  Text(this, p, "lbStart", kBodyTop, 3);
  Text(this, p, "lbStartBottom", kClientHeight - kBarHeight - 40, 1);

  p = Notebook1->AddPage("Locatie");
  Heading(this, p, "lbTitleLocatie");
  Text(this, p, "lbLocatie", kBodyTop, 2);
  InstallDrive = Make<TDriveCombo>(this, p, "InstallDrive", kMargin, kBodyTop + 42, kTextWidth, 24);

  p = Notebook1->AddPage("ProxySettings");
  Heading(this, p, "lbTitleProxy");
  Text(this, p, "lbProxy1", kBodyTop, 2);
  Text(this, p, "lbProxy2", kBodyTop + 40, 2);
  Text(this, p, "lbProxy3", kBodyTop + 80, 2);
  PROXY_USE = Make<TCheckBox>(this, p, "PROXY_USE", kMargin, kBodyTop + 124, kTextWidth, 20);
  constexpr int kFieldLeft = kMargin + 90;
  Text(this, p, "lbProxyAdres", kBodyTop + 158, 1, 16)->SetBounds(kMargin + 16, kBodyTop + 158, 70, 17);
  PROXY_SERVER = Make<TEdit>(this, p, "PROXY_SERVER", kFieldLeft, kBodyTop + 154, 230, 22);
  Text(this, p, "lbProxyPoort", kBodyTop + 188, 1, 16)->SetBounds(kMargin + 16, kBodyTop + 188, 70, 17);
  PROXY_POORT = Make<TValidateEdit>(this, p, "PROXY_POORT", kFieldLeft, kBodyTop + 184, 70, 22);
  PROXY_USE->SetTabOrder(0);
  PROXY_SERVER->SetTabOrder(1);
  PROXY_POORT->SetTabOrder(2);
  PROXY_USE->OnClick = [this](TComponent*) { UpdateProxyFields(); };

  p = Notebook1->AddPage("InstallMain");
  Heading(this, p, "lbTitleInstallMain");
  Text(this, p, "lbInstallMain1", kBodyTop, 1);
  Text(this, p, "lbInstallMain2", kBodyTop + 22, 2);
  ProgressBar = Make<TProgressBar>(this, p, "ProgressBar", kMargin, kBodyTop + 64, kTextWidth, 18);
  lbMainPhase = Text(this, p, "lbMainPhase", kBodyTop + 92, 1);
  lbMainDetail = Text(this, p, "lbMainDetail", kBodyTop + 112, 1);

  p = Notebook1->AddPage("Data");
  Heading(this, p, "lbTitleData");
  rbSERVER = Make<TRadioButton>(this, p, "rbSERVER", kMargin, kBodyTop, kTextWidth, 20);
  Text(this, p, "lbServer", kBodyTop + 22, 2, 20);
  rbWORKSTATION = Make<TRadioButton>(this, p, "rbWORKSTATION", kMargin, kBodyTop + 60, kTextWidth, 20);
  Text(this, p, "lbWorkstation", kBodyTop + 82, 2, 20);
  Text(this, p, "lbGegevensLocatie", kBodyTop + 126, 1);
  GegevensLocatie = Make<TDirectoryEdit>(this, p, "GegevensLocatie", kMargin, kBodyTop + 146, kTextWidth, 22);
  rbSERVER->SetChecked(true);
  rbSERVER->SetTabOrder(0);
  rbWORKSTATION->SetTabOrder(1);
  GegevensLocatie->SetTabOrder(2);

  p = Notebook1->AddPage("InstallData");
  Heading(this, p, "lbTitleInstallData");
  Text(this, p, "lbInstallData1", kBodyTop, 1);
  Text(this, p, "lbInstallData2", kBodyTop + 22, 2);
  ProgressBarData = Make<TProgressBar>(this, p, "ProgressBarData", kMargin, kBodyTop + 64, kTextWidth, 18);
  lbDataPhase = Text(this, p, "lbDataPhase", kBodyTop + 92, 1);
  lbDataDetail = Text(this, p, "lbDataDetail", kBodyTop + 112, 1);

  p = Notebook1->AddPage("Einde");
  Heading(this, p, "lbTitleEinde");
  Text(this, p, "lbEinde", kBodyTop, 3);

  p = Notebook1->AddPage("Abort");
  Heading(this, p, "lbTitleAbort");
  Text(this, p, "lbAbort1", kBodyTop, 3);
  Text(this, p, "lbAbort2", kBodyTop + 54, 2);
  Text(this, p, "lbAbort3", kBodyTop + 92, 2);

  for (const TWindowText& t : WindowTexts()) {
    if (!*t.Component) continue;
    TComponent* c = std::string_view(t.Component) == Name() ? this : FindComponent(t.Component);
    core::SetStrProp(*c, "Caption", t.Text);
  }

  NetHTTP1 = new http::TNetHTTP;
  NetHTTP1->SetName("NetHTTP1");
  InsertComponent(NetHTTP1);
  VmUnZipper1 = new unzip::TVmUnZipper(this);
  VmUnZipper1->SetName("VmUnZipper1");
}

void TfrmMain::FormCreate(TComponent*) {
  Notebook1->SetPageIndex(pgSelectTaal);
  InstallDrive->SetDrive('C');
  i18n::UseLanguage("nl");
  i18n::TranslateComponent(this);
  ToolkitTextsChanged();  // the drive names were made in the language found at start-up
  InstallDrive->OnChange = [this](TComponent*) { UpdateBrowseRoot(); };
  UpdateProxyFields();
  UpdateBrowseRoot();
  ShowPage(pgSelectTaal);
}

void TfrmMain::Advance() { ShowPage(Notebook1->PageIndex() + 1); }

void TfrmMain::ShowPage(int index) {
  Notebook1->SetPageIndex(index);
  if (Notebook1->PageIndex() == pgEinde) FExitStatus = 0;
  TControl* first = nullptr;
  switch (Notebook1->PageIndex()) {
    case pgSelectTaal: first = rbNEDERLANDS->Checked() ? rbNEDERLANDS : rbFRANS; break;
    case pgLocatie: first = InstallDrive; break;
    case pgProxySettings: first = PROXY_USE; break;
    case pgData: first = rbSERVER->Checked() ? rbSERVER : rbWORKSTATION; break;
    default: break;
  }
  if (!first) first = btFINISH->IsInFrontOf(*btNEXT) ? btFINISH : btNEXT;
  first->SetFocus();
}

void TfrmMain::UpdateProxyFields() {
  const bool use = PROXY_USE->Checked();
  for (const char* name : {"PROXY_SERVER", "PROXY_POORT", "lbProxyAdres", "lbProxyPoort"})
    if (auto* c = dynamic_cast<TControl*>(FindComponent(name))) c->SetEnabled(use);
}

void TfrmMain::UpdateBrowseRoot() {
  const char letter = InstallDrive->Drive();
  for (const platform::TDriveInfo& drive : platform::FixedDrives())
    if (drive.Letter == letter) GegevensLocatie->SetRootFolder(drive.Root);
}

template <class Step>
void TfrmMain::BusyFrame(Step step) {
  btNEXT->SetEnabled(false);
  // The step repaints the window from its progress notifications; only Cancel (and the
  // close box, which asks as Cancel does) may act meanwhile. The waiting pages and the
  // abort page hold no input controls, and the controls of hidden pages take no input;
  // Finish, which the keyboard could reach behind Next, waits as Next does.
  btFINISH->SetEnabled(false);
  FBusy = true;
  FCancelConfirmed = FCloseAfterStep = FBackToProxy = false;
  // A SIGTERM or SIGHUP (the session ends, a service manager stops us) ends the step as a
  // confirmed Cancel would, so that no partial archive stays behind, and then the window.
  gSignalled = 0;
  platform::CatchFirstInterrupt(&gSignalled);
  core::TScopeGuard restore([this] {
    platform::RestoreInterrupts();
    Screen().SetCursor(crDefault);
    btNEXT->SetEnabled(true);
    btFINISH->SetEnabled(true);
    FBusy = false;
  });
  Advance();
  Screen().SetCursor(crHourGlass);
  if (TApplication* app = Application()) app->ProcessMessages();
  step();
}

void TfrmMain::btNEXTClick(TComponent*) {
  // Finish covers Next once the work is done; a covered Next reached by the keyboard must
  // not take a finished installation to the abort page.
  if (btFINISH->IsInFrontOf(*btNEXT)) return;
  switch (Notebook1->PageIndex()) {
    case pgSelectTaal:
      i18n::UseLanguage(rbNEDERLANDS->Checked() ? "nl" : "fr");
      i18n::RetranslateComponent(this);
      ToolkitTextsChanged();
      break;
    case pgProxySettings:
    case pgData: {
      bool accepted = true;
      BusyFrame([&] {
        if (Notebook1->PageIndex() == pgInstallMain) RunComponentStep();
        else accepted = RunDataStep();
      });
      if (gSignalled) FCancelConfirmed = FCloseAfterStep = true;
      if (FCancelConfirmed) {
        // Stopped by Cancel, or finished before it could stop: either way the user said yes.
        ShowCancelled();
        if (FCloseAfterStep) Close();
        return;
      }
      if (FBackToProxy) {
        ShowPage(pgProxySettings);
        return;
      }
      if (!accepted) {
        ShowPage(pgData);
        return;
      }
      break;
    }
    default:
      break;
  }
  Advance();
}

bool TfrmMain::ConfirmDialog(const std::string& text) {
  TMessageDialog dialog(text, mtConfirmation, {mbYes, mbNo});
  dialog.SetCaption(_("WAARSCHUWING"));
  auto cursor = DialogCursor();
  return dialog.ShowModal() == mrYes;
}

void TfrmMain::ErrorBox(const std::string& text) {
  const TApplication* app = Application();
  auto cursor = DialogCursor();
  ui::MessageBox(text, app ? app->Title() : std::string(), i18n::MB_ICONERROR | i18n::MB_SYSTEMMODAL);
}

void TfrmMain::GotoAbortPage(const std::exception& e) {
  const auto* own = dynamic_cast<const core::Exception*>(&e);
  GotoAbortPage(own ? own->Message() : std::string(e.what()));
}

void TfrmMain::GotoAbortPage(const std::string& message) {
  FExitStatus = 1;
  Notebook1->SetPageIndex(Notebook1->PageCount() - 1);
  btFINISH->BringToFront();
  btCANCEL->Hide();
  ShowPage(Notebook1->PageCount() - 1);
  // The message may carry a server's status line: no control or direction marks reach the box.
  constexpr std::size_t kMaxShown = 1000;
  ErrorBox(http::DisplayText(message, kMaxShown, true));
}

void TfrmMain::ShowCancelled() {
  Notebook1->SetPageIndex(Notebook1->PageCount() - 1);
  btCANCEL->Hide();
  btFINISH->BringToFront();
  ShowPage(Notebook1->PageCount() - 1);
}

void TfrmMain::btCANCELClick(TComponent*) {
  if (FCancelConfirmed) return;  // the step is stopping already
  // Everything is installed: there is nothing left to cancel, and asking would end on the
  // page that says the installation failed.
  if (FExitStatus == 0) {
    Close();
    return;
  }
  if (!ConfirmDialog(TInstaller::CancelQuestion())) return;
  if (FBusy) FCancelConfirmed = true;  // the step stops at its next progress notification
  else ShowCancelled();
}

void TfrmMain::FormCloseQuery(TComponent*, bool& canClose) {
  if (!FBusy) return;
  // Closing now would destroy the window under the running step and leave a partial
  // archive; the close box asks as Cancel does, and the window closes once the step stopped.
  canClose = false;
  if (FCancelConfirmed || !ConfirmDialog(TInstaller::CancelQuestion())) return;
  FCancelConfirmed = FCloseAfterStep = true;
}

TInstaller& TfrmMain::Installer() {
  if (!FInstaller) {
    FInstaller = std::make_unique<TInstaller>();
    TInstaller& in = *FInstaller;
    in.OnProgress = [this](const TInstallProgress& progress) { ShowProgress(progress); };
    in.OnCancelQuery = [this] { return FCancelConfirmed || gSignalled != 0; };
    in.OnAbort = [this](const std::string& message) {
      if (std::exchange(FFailureShown, false)) {
        ShowCancelled();  // no second box with the same text
        FExitStatus = 1;
      } else {
        GotoAbortPage(message);
      }
    };
    in.OnRetryQuery = [this](const std::string& message) { return RetryQuery(message); };
    in.OnReplaceDataQuery = [this](const std::string& question) {
      TMessageDialog dialog(question, mtWarning, {mbYes, mbNo});
      dialog.SetCaption(_("WAARSCHUWING"));
      dialog.SetDefaultButton(mbNo);
      auto cursor = DialogCursor();
      const bool replace = dialog.ShowModal() == mrYes;
      if (!replace) lbDataPhase->SetCaption(_("De bestaande gegevens blijven behouden."));
      return replace;
    };
    in.OnErrorBox = [this](const std::string& message) { ErrorBox(message); };
    in.OnFinishToFront = [this] { btFINISH->BringToFront(); };
  }
  TInstallOptions& o = FInstaller->Options;
  o.Dutch = rbNEDERLANDS->Checked();
  const char letter = InstallDrive->Drive();
  o.DriveRoot.clear();
  for (const platform::TDriveInfo& drive : platform::FixedDrives())
    if (drive.Letter == letter) o.DriveRoot = drive.Root;
  if (o.DriveRoot.empty())  // the drive went away since the list was made
    throw core::Exception(core::Format(_("Schijf %s: bestaat niet."), {std::string(1, letter ? letter : '?')}));
  o.ProxyUse = PROXY_USE->Checked();
  o.ProxyServer = PROXY_SERVER->Text();
  o.ProxyPort = PROXY_POORT->Text();
  o.DataChoice = rbSERVER->Checked() ? TDataChoice::dcServer : TDataChoice::dcWorkstation;
  o.DataFolder = GegevensLocatie->Text();
  return *FInstaller;
}

void TfrmMain::ShowProgress(const TInstallProgress& progress) {
  const bool data = Notebook1->PageIndex() == pgInstallData;
  (data ? ProgressBarData : ProgressBar)->SetPosition(progress.Percent);
  (data ? lbDataPhase : lbMainPhase)->SetCaption(ProgressPhaseText(progress));
  (data ? lbDataDetail : lbMainDetail)->SetCaption(ProgressDetailText(progress));
  // Input and painting between the blocks of work: Cancel answers at once.
  if (TApplication* app = Application()) app->ProcessMessages();
}

bool TfrmMain::RetryQuery(const std::string& message) {
  constexpr std::size_t kMaxShown = 1000;
  TMessageDialog dialog(http::DisplayText(message, kMaxShown, true) + "\r\r" +
                            _("Kies Opnieuw om de proxy-instellingen na te kijken."),
                        mtError, {mbRetry, mbCancel});
  const TApplication* app = Application();
  dialog.SetCaption(app ? app->Title() : std::string());
  auto cursor = DialogCursor();
  const bool retry = dialog.ShowModal() == mrRetry;
  FFailureShown = !retry;
  return retry;
}

void TfrmMain::RunComponentStep() {
  TInstaller& installer = Installer();
  FBackToProxy = installer.RunComponentStep() == TStepResult::srRetry;
  GegevensLocatie->SetText(installer.Options.DataFolder);
  UpdateBrowseRoot();
}

bool TfrmMain::RunDataStep() { return Installer().RunDataStep() != TStepResult::srRejected; }

void TfrmMain::btFINISHClick(TComponent*) {
  // Next covers Finish until the work is done; a covered Finish reached by the keyboard must
  // not end the wizard half way.
  if (btNEXT->IsInFrontOf(*btFINISH)) return;
  Close();
}

const core::TClassInfo& TfrmMain::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TfrmMain", &::tarvo::core::ClassInfoOf<TForm>(), {}};
  return info;
}

}  // namespace tarvo::setup
