// The wizard window: nine pages in a notebook, a picture strip on the left and a button bar
// with Cancel, Next and Finish. Next performs the current page's work and advances; Cancel
// asks and ends on the abort page; Finish closes the window. The state is the controls'.
#pragma once

#include <exception>
#include <utility>
#include <memory>
#include <string>

#include "http/http_client.h"
#include "setup/installer.h"
#include "ui/controls.h"
#include "ui/directory_edit.h"
#include "ui/drive_combo.h"
#include "ui/form.h"
#include "ui/validate_edit.h"
#include "unzip/unzipper.h"

namespace tarvo::setup {

using namespace tarvo::ui;

// Page indices of the notebook.
enum TWizardPage : int {
  pgSelectTaal, pgStart, pgLocatie, pgProxySettings, pgInstallMain, pgData, pgInstallData, pgEinde, pgAbort
};

class TfrmMain : public TForm {
  TARVO_PERSISTENT_CLASS(TfrmMain)
public:
  // Builds the window and runs FormCreate.
  explicit TfrmMain(TComponent* owner = nullptr);
  ~TfrmMain() override;

  void FormCreate(TComponent* sender);
  void btNEXTClick(TComponent* sender);
  void btCANCELClick(TComponent* sender);
  void btFINISHClick(TComponent* sender);

  // What the program ends with: 0 installed (the done page was reached), 1 failed, 3 cancelled
  // by the user (the window closed before the installation was done included).
  int ExitStatus() const noexcept { return FExitStatus; }

  // Shows the standard confirmation dialog with Yes and No; true for Yes.
  bool ConfirmDialog(const std::string& text);
  // The error box, captioned with the application title.
  void ErrorBox(const std::string& text);
  // The failure of a download or unpacking: abort page, Finish in front, no Cancel, and
  // the failure's message in an error box.
  void GotoAbortPage(const std::exception& e);
  void GotoAbortPage(const std::string& message);
  // Shows a page and gives the focus to its first control (on a page without one, to the
  // button in front).
  void ShowPage(int index);

  // The installation steps behind the window, with the choices of its controls; made on
  // first use and kept, so that the proxy's authentication and the cookies carry over from
  // the component step to the data step.
  TInstaller& Installer();

  TImage* Image1;
  TNotebook* Notebook1;
  TSpeedBar* SpeedBar1;
  TButton* btCANCEL;
  TButton* btNEXT;
  TButton* btFINISH;
  TRadioButton* rbNEDERLANDS;
  TRadioButton* rbFRANS;
  TDriveCombo* InstallDrive;
  TCheckBox* PROXY_USE;
  TEdit* PROXY_SERVER;
  TValidateEdit* PROXY_POORT;
  TProgressBar* ProgressBar;
  TLabel* lbMainPhase;   // page 4: what is being done, and how far the download is
  TLabel* lbMainDetail;
  TRadioButton* rbSERVER;
  TRadioButton* rbWORKSTATION;
  TDirectoryEdit* GegevensLocatie;
  TProgressBar* ProgressBarData;  // page 6, as page 4
  TLabel* lbDataPhase;
  TLabel* lbDataDetail;
  http::TNetHTTP* NetHTTP1;
  unzip::TVmUnZipper* VmUnZipper1;

protected:
  // The work of the proxy page: download and unpack the components. Failures of a download
  // or an unpacking go to GotoAbortPage; the window then shows the abort page. A server or
  // proxy that cannot be reached offers Retry first, which goes back to the proxy page.
  virtual void RunComponentStep();
  // The work of the data page: install or locate the data, write the settings and the
  // shortcut. False when the data location was rejected: the data page shows again.
  virtual bool RunDataStep();

private:
  void BuildWindow();
  void Advance();
  // Address and port take input only while the proxy box is ticked.
  void UpdateProxyFields();
  // The folder browser opens on the chosen drive when the typed folder is not there.
  void UpdateBrowseRoot();
  void ShowProgress(const TInstallProgress& progress);
  bool RetryQuery(const std::string& message);
  // Cancel's end, and a failure's: the abort page, Finish in front, no Cancel.
  void ShowCancelled();
  // The close box while a step runs: asked as Cancel is; the window closes once the step
  // has stopped.
  void FormCloseQuery(TComponent* sender, bool& canClose);
  // Next disabled, the waiting page, the hourglass and one pass of the messages around the
  // step; the cursor and Next come back however the step ends. During the step the window
  // repaints at every progress notification but takes no input other than Cancel.
  template <class Step>
  void BusyFrame(Step step);

  std::unique_ptr<TInstaller> FInstaller;
  bool FBusy = false;            // a step runs
  bool FCancelConfirmed = false; // Cancel was confirmed during the step: it stops
  bool FCloseAfterStep = false;  // ... and the close box asked for it
  bool FBackToProxy = false;     // the component step asked for the proxy page again
  bool FFailureShown = false;    // the failure's message was in the Retry box already
  int FExitStatus = 3;
};

}  // namespace tarvo::setup
