// VQZ To Image: the program. Its units start in a fixed order and stop in the reverse one.
#include "app/ufrmMain.h"
#include "platform/forms/formresource.h"
#include "png/pngimage.h"

#include <array>
#include <iostream>

namespace {

struct TUnit {
  const char* Name;
  void (*Initialize)();
  void (*Finalize)();
};

// Only pngimage has work to do at start and at shut-down.
constexpr std::array<TUnit, 6> Units = {{{"pnglang", nullptr, nullptr},
                                         {"pngzlib", nullptr, nullptr},
                                         {"pngimage", InitializePngImageUnit, FinalizePngImageUnit},
                                         {"uVQZ2Image", nullptr, nullptr},
                                         {"XPMan", nullptr, nullptr},
                                         {"ufrmMain", nullptr, nullptr}}};

class TUnitsRunning {
public:
  TUnitsRunning() {
    for (const TUnit& Unit : Units)
      if (Unit.Initialize != nullptr)
        Unit.Initialize();
  }
  ~TUnitsRunning() {
    for (auto Unit = Units.rbegin(); Unit != Units.rend(); ++Unit)
      if (Unit->Finalize != nullptr)
        Unit->Finalize();
  }
  TUnitsRunning(const TUnitsRunning&) = delete;
  TUnitsRunning& operator=(const TUnitsRunning&) = delete;
};

void SetApplicationIcon() {
  const std::string_view Icon = FindResource("MAINICON");
  TMemoryStream Stream;
  Stream.WriteBuffer(Icon.data(), static_cast<int64_t>(Icon.size()));
  Stream.SetPosition(0);
  TBitmap Bitmap;
  Bitmap.LoadFromStream(Stream);
  Application->SetIcon(Bitmap);
}

// The first file named on the command line opens once the window shows, as if picked in the
// open dialog; since nobody pressed a button, a name that shows nothing says why.
void OpenGivenFile(int ArgumentCount, char** Arguments) {
  if (ArgumentCount < 2)
    return;
  const std::string Path = Arguments[1];
  Application->QueueAsyncCall([Path] {
    const ExtractResult Result = frmMain->OpenPicture(Path);
    if (Result != erExtracted)
      std::cerr << "vqz2image: " << Path << ": " << ExtractResultText(Result) << std::endl;
  });
}

} // namespace

// A program that cannot build its window from its resources says why and stops. Files are
// taken after the toolkit has removed its own options from the command line.
int main(int ArgumentCount, char** Arguments) {
  TApplication TheApplication;
  Application = &TheApplication;
  const TUnitsRunning Running;
  int Status = 1;
  try {
    Application->Initialize(ArgumentCount, Arguments);
    SetApplicationIcon();
    Application->CreateForm(frmMain);
    OpenGivenFile(ArgumentCount, Arguments);
    Status = Application->Run();
  } catch (const Exception& Error) {
    std::cerr << "vqz2image: " << Error.Message() << "\n";
  }
  Application = nullptr;
  return Status;
}
