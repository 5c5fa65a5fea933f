#include "app/ufrmMain.h"

#include "app/uOpenPicture.h"

TfrmMain* frmMain = nullptr;

TfrmMain::TfrmMain() {
  PublishField("BtnOpen", BtnOpen);
  PublishField("OpenDialog", OpenDialog);
  PublishField("Image1", Image1);
  PublishField("XPManifest1", XPManifest1);
  PublishMethod("BtnOpenClick", [this](TComponent* Sender) { BtnOpenClick(Sender); });
}

// A rejected file changes nothing and says nothing; a picture that fails to load raises, and
// the application shows its message.
void TfrmMain::BtnOpenClick(TComponent*) {
  if (!OpenDialog->Execute())
    return;
  if (LoadEmbeddedPicture(OpenDialog->FileName(), Image1->Picture().Bitmap()))
    Image1->Refresh();
}
