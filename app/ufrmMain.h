// The main window: one button that opens a VQZ file, and the picture it holds.
#pragma once

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
};

extern TfrmMain* frmMain;
