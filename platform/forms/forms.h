// The platform's application and forms framework: an application object with its message loop
// and default exception handling, forms built from form resources, and the few components the
// program uses. It runs on Qt Widgets, but nothing of Qt shows in this header: the widgets live
// behind the components.
#pragma once

#include "platform/core/sysutils.h"
#include "platform/forms/formresource.h"
#include "platform/graphics/graphics.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;
class TForm;
class TComponent;

using TNotifyEvent = std::function<void(TComponent* Sender)>;
// Local files dropped on a form, in the order the drag carried them; never empty.
using TDropFilesEvent = std::function<void(const std::vector<std::string>& Files)>;

enum TAnchorKind { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
using TAnchors = uint8_t;

// What a control shows, as a top-down image of 0xRRGGBB pixels.
struct TSnapshot {
  int32_t Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;
  uint32_t At(int32_t X, int32_t Y) const { return Pixels[(static_cast<size_t>(Y) * Width) + X]; }
};

class TComponent {
public:
  explicit TComponent(TComponent* Owner) : FOwner(Owner) {}
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  virtual ~TComponent() = default;

  virtual std::string ClassName() const = 0;
  const std::string& Name() const { return FName; }
  void SetName(const std::string& Name) { FName = Name; }
  TComponent* Owner() const { return FOwner; }

  // Sets one property read from a form resource; false for a property the class does not have.
  virtual bool ApplyProperty(const std::string& Name, const TResourceValue& Value,
                             const TForm& Form);

private:
  TComponent* FOwner;
  std::string FName;
};

// A visible component: a rectangle in its form's client area that follows the anchored sides.
class TControl : public TComponent {
public:
  TControl(TComponent* Owner, QWidget* Widget);
  ~TControl() override;

  bool ApplyProperty(const std::string& Name, const TResourceValue& Value,
                     const TForm& Form) override;
  TRect BoundsRect() const;
  void SetBounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height);
  TAnchors Anchors() const { return FAnchors; }
  // Moves or stretches the control as its anchors say when the client area changes size.
  void ClientResized(int32_t DeltaWidth, int32_t DeltaHeight);
  // What the control shows on screen now.
  TSnapshot Snapshot() const;
  QWidget* Widget() const { return FWidget; }

protected:
  void SetWidget(QWidget* Widget) { FWidget = Widget; }

private:
  bool ApplyAnchors(const std::vector<std::string>& Items);

  QWidget* FWidget; // owned by the form's window
  TAnchors FAnchors = akLeft | akTop;
};

class TButton : public TControl {
public:
  explicit TButton(TComponent* Owner);
  std::string ClassName() const override { return "TButton"; }
  bool ApplyProperty(const std::string& Name, const TResourceValue& Value,
                     const TForm& Form) override;
  std::string Caption() const;
  int32_t TabOrder() const { return FTabOrder; }
  // Presses the button as the user would; the click handler runs inside the framework.
  void Click();

  TNotifyEvent OnClick;

private:
  int32_t FTabOrder = 0;
};

// The picture control: draws its picture at natural size from its top-left corner, clipped to
// the control, with a transparent bitmap's key-colour pixels showing the background.
class TImage : public TControl {
public:
  explicit TImage(TComponent* Owner);
  std::string ClassName() const override { return "TImage"; }
  TPicture& Picture() { return FPicture; }
  // Repaints at once.
  void Refresh();

private:
  TPicture FPicture;
};

// The file-open dialog. Filter is "Description|Pattern|..." as the platform writes it.
class TOpenDialog : public TComponent {
public:
  using TComponent::TComponent;
  std::string ClassName() const override { return "TOpenDialog"; }
  bool ApplyProperty(const std::string& Name, const TResourceValue& Value,
                     const TForm& Form) override;
  // Shows the dialog modally; false when the user cancels. A name typed for a file that does
  // not exist is accepted, as the platform's dialog does by default.
  bool Execute();
  const std::string& Filter() const { return FFilter; }
  const std::string& FileName() const { return FFileName; }
  // The filter as the toolkit writes it: "vqz File (*.vqz)".
  std::string ToolkitFilter() const;

  // Tests answer the dialog instead of a user: a file name, or none for cancel.
  using TAnswer = std::function<std::optional<std::string>(const TOpenDialog&)>;
  static void SetTestAnswer(TAnswer Answer);

private:
  std::string FFilter;
  std::string FFileName;
};

// Marks a program that uses the toolkit's native look; it has nothing to set.
class TXPManifest : public TComponent {
public:
  using TComponent::TComponent;
  std::string ClassName() const override { return "TXPManifest"; }
};

// A form's font as its resource gives it, and the face actually used.
struct TFont {
  std::string Name;
  int32_t Height = -11; // negative: character height in pixels
  TColor Color = clWindowText;
  std::string Charset = "DEFAULT_CHARSET";
  std::string UsedFamily;
};

// A top-level window. Derived forms list their published fields and methods, which the form
// resource binds by name when the form is created.
class TForm : public TComponent {
public:
  TForm();
  ~TForm() override;

  bool ApplyProperty(const std::string& Name, const TResourceValue& Value,
                     const TForm& Form) override;

  // Builds the form from the resource registered under its class name: its own properties,
  // then each component in resource order. EReadError for an unknown class, component or
  // property, or a component that does not match its published field.
  void CreateFromResource();

  std::string Caption() const;
  TColor Color() const { return FColor; }
  const TFont& Font() const { return FFont; }
  TRect ClientRect() const;
  void SetClientSize(int32_t Width, int32_t Height);
  int32_t PixelsPerInch() const { return FPixelsPerInch; }
  TComponent* FindComponent(const std::string& Name) const;
  const std::vector<std::unique_ptr<TComponent>>& Components() const { return FComponents; }
  TNotifyEvent MethodAddress(const std::string& Name) const;

  void Show();
  void Close();
  bool Visible() const;
  QWidget* Window() const { return FWindow; }

  // Runs Handler when Keys, in the toolkit's portable text ("Ctrl+O"), are pressed anywhere in
  // the window, before the focused control sees them.
  void AddShortCut(const std::string& Keys, TNotifyEvent Handler);
  // Presses Keys on the focused control as the user would, for tests.
  void PressKeys(const std::string& Keys);
  // Set, the window takes drops that carry local files and refuses any other drag.
  void SetOnDropFiles(TDropFilesEvent Handler);
  const TDropFilesEvent& OnDropFiles() const { return FOnDropFiles; }
  // Drags Urls onto the window and drops them there as the toolkit delivers a drop, for tests;
  // false when the window refuses the drag.
  bool DropUrls(const std::vector<std::string>& Urls);

protected:
  // Binds a published field: the component of that name is stored in Field.
  template <class T>
  void PublishField(const std::string& Name, T*& Field) {
    FFields[Name] = [&Field](TComponent* Component) {
      Field = dynamic_cast<T*>(Component);
      return Field != nullptr;
    };
  }
  void PublishMethod(const std::string& Name, TNotifyEvent Method) { FMethods[Name] = Method; }

private:
  friend class TFormWindow;
  void ApplyResource(const TResourceObject& Root);
  void CreateComponent(const TResourceObject& Object);
  void ApplyFont();
  void ClientResized(int32_t Width, int32_t Height);
  // Runs the short cut of a key press, if the form has one; true when it did.
  bool HandleShortCut(const std::string& Keys);

  QWidget* FWindow; // deleted with the form
  std::vector<std::unique_ptr<TComponent>> FComponents;
  std::map<std::string, std::function<bool(TComponent*)>> FFields;
  std::map<std::string, TNotifyEvent> FMethods;
  std::map<std::string, TNotifyEvent> FShortCuts;
  TDropFilesEvent FOnDropFiles;
  TColor FColor = clBtnFace;
  TFont FFont;
  int32_t FPixelsPerInch = 96;
  bool FCentered = false;
  int32_t FLastClientWidth = 0, FLastClientHeight = 0;
};

// The application object: the toolkit's start, the main form, the message loop, and the
// default handling of exceptions that leave an event handler.
class TApplication {
public:
  TApplication();
  ~TApplication();

  void Initialize(int& ArgumentCount, char** Arguments);
  // Creates a form of class T from its resource; the first form created is the main form.
  template <class T>
  void CreateForm(T*& Reference) {
    auto Form = std::make_unique<T>();
    Form->CreateFromResource();
    Reference = Form.get();
    AddForm(std::move(Form));
  }
  // Shows the main form and runs the message loop until it is closed.
  int Run();
  // Delivers the events that are waiting, for tests.
  void ProcessMessages();
  // Runs Handler from the message loop once it gets there, as an event handler is run.
  void QueueAsyncCall(std::function<void()> Handler);
  TForm* MainForm() const { return FForms.empty() ? nullptr : FForms.front().get(); }

  // Shows an exception's message; the loop goes on.
  void HandleException(const std::exception& Error);
  // Where exception messages go: a message box by default; tests read the text instead.
  using TExceptionSink = std::function<void(const std::string& Message)>;
  void SetExceptionSink(TExceptionSink Sink) { FSink = std::move(Sink); }
  // The window icon of every form, from a bitmap.
  void SetIcon(TBitmap& Icon);
  std::string Title = "VQZ To Image";

private:
  void AddForm(std::unique_ptr<TForm> Form);

  std::vector<std::unique_ptr<TForm>> FForms;
  TExceptionSink FSink;
  struct TToolkit;
  std::unique_ptr<TToolkit> FToolkit;
};

// The one application object, made by the program before anything else of the framework.
extern TApplication* Application;

// Runs an event handler the way the framework runs every handler: an exception that leaves it
// goes to the application's handler and never into the toolkit.
void RunHandler(const std::function<void()>& Handler);
