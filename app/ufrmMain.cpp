#include "app/ufrmMain.h"

#include "app/uOpenPicture.h"

TfrmMain* frmMain = nullptr;

TfrmMain::TfrmMain() {
  PublishField("BtnOpen", BtnOpen);
  PublishField("OpenDialog", OpenDialog);
  PublishField("Image1", Image1);
  PublishField("XPManifest1", XPManifest1);
  PublishMethod("BtnOpenClick", [this](TComponent* Sender) { BtnOpenClick(Sender); });
  AddShortCut("Ctrl+O", [this](TComponent*) { BtnOpenClick(BtnOpen); });
  SetOnDropFiles([this](const std::vector<std::string>& Files) { OpenPicture(Files.front()); });
}

// A rejected file changes nothing and says nothing; a picture that fails to load raises, and
// the application shows its message.
void TfrmMain::BtnOpenClick(TComponent*) {
  if (OpenDialog->Execute())
    OpenPicture(OpenDialog->FileName());
}

ExtractResult TfrmMain::OpenPicture(const std::string& FileName) {
  const ExtractResult Result = LoadEmbeddedPicture(FileName, Image1->Picture().Bitmap());
  if (Result == erExtracted)
    Image1->Refresh();
  return Result;
}
