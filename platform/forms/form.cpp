#include "platform/forms/qtwidgets.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>

namespace {

using TFactory = std::unique_ptr<TComponent> (*)(TComponent* Owner);

template <class T>
std::unique_ptr<TComponent> Make(TComponent* Owner) {
  return std::make_unique<T>(Owner);
}

// The component classes a form resource may name.
const std::map<std::string, TFactory>& ComponentClasses() {
  static const std::map<std::string, TFactory> Classes = {{"TButton", Make<TButton>},
                                                          {"TImage", Make<TImage>},
                                                          {"TOpenDialog", Make<TOpenDialog>},
                                                          {"TXPManifest", Make<TXPManifest>}};
  return Classes;
}

[[noreturn]] void FailProperty(const std::string& Owner, const std::string& Property,
                               const std::string& What) {
  throw EReadError("Error reading " + Owner + "." + Property + ": " + What);
}

// Colour identifiers as resources write them, or plain numbers.
std::optional<TColor> ColorOf(const TResourceValue& Value) {
  static const std::map<std::string, TColor> Names = {{"clBtnFace", clBtnFace},
                                                      {"clWindowText", clWindowText},
                                                      {"clWindow", clWindow},
                                                      {"clBlack", static_cast<TColor>(0x000000)},
                                                      {"clWhite", static_cast<TColor>(0xFFFFFF)}};
  if (Value.Kind == TResourceValue::rvInteger)
    return static_cast<TColor>(Value.Integer);
  const auto Found = Names.find(Value.Text);
  return Found != Names.end() ? std::optional(Found->second) : std::nullopt;
}

// The face the resource names, else one that can write Chinese, else the toolkit's default.
std::string AvailableFamily(const std::string& Wanted) {
  const QString Name = QString::fromStdString(Wanted);
  if (QFontDatabase::hasFamily(Name))
    return Wanted;
  const QStringList Chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
  if (!Chinese.isEmpty())
    return Chinese.front().toStdString();
  return QGuiApplication::font().family().toStdString();
}

bool IsInteger(const TResourceValue& Value) {
  return Value.Kind == TResourceValue::rvInteger;
}

} // namespace

bool TComponent::ApplyProperty(const std::string&, const TResourceValue&, const TForm&) {
  return false;
}

TForm::TForm() : TComponent(nullptr), FWindow(new TFormWindow(*this)) {
  FWindow->setAutoFillBackground(true);
}

TForm::~TForm() {
  FComponents.clear();
  delete FWindow;
}

std::string TForm::Caption() const {
  return FWindow->windowTitle().toStdString();
}

TRect TForm::ClientRect() const {
  return {0, 0, FWindow->width(), FWindow->height()};
}

void TForm::SetClientSize(int32_t Width, int32_t Height) {
  FWindow->resize(Width, Height);
}

void TForm::Show() {
  if (FCentered && QGuiApplication::primaryScreen() != nullptr) {
    const QRect Screen = QGuiApplication::primaryScreen()->availableGeometry();
    FWindow->move(Screen.center() - QPoint(FWindow->width() / 2, FWindow->height() / 2));
  }
  FWindow->show();
}

void TForm::Close() {
  FWindow->close();
}

bool TForm::Visible() const {
  return FWindow->isVisible();
}

TComponent* TForm::FindComponent(const std::string& Name) const {
  for (const auto& Component : FComponents)
    if (Component->Name() == Name)
      return Component.get();
  return nullptr;
}

TNotifyEvent TForm::MethodAddress(const std::string& Name) const {
  const auto Found = FMethods.find(Name);
  return Found != FMethods.end() ? Found->second : TNotifyEvent();
}

bool TForm::ApplyProperty(const std::string& Name, const TResourceValue& Value, const TForm&) {
  static const std::vector<std::string> Ignored = {
      "Left", "Top", "Width", "Height", "OldCreateOrder", "TextHeight", "Font.Style"};
  if (std::find(Ignored.begin(), Ignored.end(), Name) != Ignored.end())
    return true; // the window is centred and sized by its client area
  if (Name == "Caption" && Value.Kind == TResourceValue::rvString)
    FWindow->setWindowTitle(QString::fromStdString(Value.Text));
  else if (Name == "ClientWidth" && IsInteger(Value))
    FWindow->resize(static_cast<int>(Value.Integer), FWindow->height());
  else if (Name == "ClientHeight" && IsInteger(Value))
    FWindow->resize(FWindow->width(), static_cast<int>(Value.Integer));
  else if ((Name == "Color" || Name == "Font.Color") && ColorOf(Value))
    (Name == "Color" ? FColor : FFont.Color) = *ColorOf(Value);
  else if (Name == "Font.Name" && Value.Kind == TResourceValue::rvString)
    FFont.Name = Value.Text;
  else if (Name == "Font.Height" && IsInteger(Value))
    FFont.Height = static_cast<int32_t>(Value.Integer);
  else if (Name == "Font.Charset" && Value.Kind == TResourceValue::rvIdentifier)
    FFont.Charset = Value.Text;
  else if (Name == "Position" && Value.Kind == TResourceValue::rvIdentifier)
    FCentered = Value.Text == "poScreenCenter";
  else if (Name == "PixelsPerInch" && IsInteger(Value))
    FPixelsPerInch = static_cast<int32_t>(Value.Integer);
  else
    return false;
  return true;
}

void TForm::CreateFromResource() {
  const std::string Class = ClassName();
  ApplyResource(ParseFormResource(FindResource(Class)));
}

void TForm::ApplyResource(const TResourceObject& Root) {
  if (Root.ClassName != ClassName())
    throw EReadError("The form resource describes a " + Root.ClassName + ", not a " + ClassName());
  SetName(Root.Name);
  for (const auto& [Property, Value] : Root.Properties)
    if (!ApplyProperty(Property, Value, *this))
      FailProperty(Root.Name, Property,
                   "Property " + Property + " does not exist or has an invalid value");
  ApplyFont();
  for (const TResourceObject& Child : Root.Children)
    CreateComponent(Child);
  for (const auto& [Field, Bind] : FFields)
    if (FindComponent(Field) == nullptr)
      throw EReadError("The form resource of " + ClassName() + " has no component " + Field);
  FLastClientWidth = FWindow->width();
  FLastClientHeight = FWindow->height();
  QPalette Colors = FWindow->palette();
  Colors.setColor(QPalette::Window, ToolkitColor(FColor));
  Colors.setColor(QPalette::WindowText, ToolkitColor(FFont.Color));
  FWindow->setPalette(Colors);
}

void TForm::CreateComponent(const TResourceObject& Object) {
  const auto Factory = ComponentClasses().find(Object.ClassName);
  if (Factory == ComponentClasses().end())
    throw EReadError("Class " + Object.ClassName + " not found");
  if (!Object.Children.empty())
    throw EReadError("Error reading " + Object.Name + ": a " + Object.ClassName +
                     " cannot hold components");
  std::unique_ptr<TComponent> Component = Factory->second(this);
  Component->SetName(Object.Name);
  for (const auto& [Property, Value] : Object.Properties)
    if (!Component->ApplyProperty(Property, Value, *this))
      FailProperty(Object.Name, Property,
                   "Property " + Property + " does not exist or has an invalid value");
  const auto Field = FFields.find(Object.Name);
  if (Field == FFields.end())
    throw EReadError("Error reading " + Object.Name + ": " + ClassName() +
                     " has no published field of that name");
  if (!Field->second(Component.get()))
    throw EReadError("Error reading " + Object.Name + ": the published field is not a " +
                     Object.ClassName);
  FComponents.push_back(std::move(Component));
}

void TForm::ApplyFont() {
  FFont.UsedFamily = AvailableFamily(FFont.Name);
  QFont Font(QString::fromStdString(FFont.UsedFamily));
  if (FFont.Height < 0)
    Font.setPixelSize(-FFont.Height);
  else if (FFont.Height > 0)
    Font.setPointSize(FFont.Height * 72 / FPixelsPerInch);
  FWindow->setFont(Font);
}

void TForm::ClientResized(int32_t Width, int32_t Height) {
  const int32_t DeltaWidth = Width - FLastClientWidth;
  const int32_t DeltaHeight = Height - FLastClientHeight;
  FLastClientWidth = Width;
  FLastClientHeight = Height;
  for (const auto& Component : FComponents)
    if (auto* Control = dynamic_cast<TControl*>(Component.get()))
      Control->ClientResized(DeltaWidth, DeltaHeight);
}

void TFormWindow::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  FForm.ClientResized(Event->size().width(), Event->size().height());
}
