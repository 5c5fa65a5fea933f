// The main window: one button that opens a VQZ file, and the picture it holds. Ctrl+O does what
// the button does; a file dropped on the window opens as if picked in the dialog.
#pragma once

#include "app/uVQZ2Image.h"
#include "platform/forms/forms.h"

class TfrmMain : public TForm {
public:
  TfrmMain();
  std::string ClassName() const override { return "TfrmMain"; }

  // Published, bound by name from the form resource.
  TButton* BtnOpen = nullptr;
  TOpenDialog* OpenDialog = nullptr;
  TImage* Image1 = nullptr;
  TXPManifest* XPManifest1 = nullptr;
  void BtnOpenClick(TComponent* Sender);

  // Shows the picture of FileName, as the open command does with the dialog's choice. Returns
  // the container reader's result; a picture that fails to load raises.
  ExtractResult OpenPicture(const std::string& FileName);
};

extern TfrmMain* frmMain;
