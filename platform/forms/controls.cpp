#include "platform/forms/qtwidgets.h"

#include "platform/graphics/gdi.h"

#include <QPainter>
#include <QPushButton>

namespace {

QWidget* WindowOf(TComponent* Owner) {
  auto* Form = dynamic_cast<TForm*>(Owner);
  return Form != nullptr ? Form->Window() : nullptr;
}

TColor BackgroundOf(const TComponent& Control) {
  const auto* Form = dynamic_cast<const TForm*>(Control.Owner());
  return Form != nullptr ? Form->Color() : clBtnFace;
}

// A memory context with a 32-bit top-down section selected, released when it goes.
class TRenderSurface {
public:
  TRenderSurface(int Width, int Height) : FContext(CreateCompatibleDC(nullptr)) {
    BITMAPINFO Info{};
    Info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    Info.bmiHeader.biWidth = Width;
    Info.bmiHeader.biHeight = -Height;
    Info.bmiHeader.biPlanes = 1;
    Info.bmiHeader.biBitCount = 32;
    Info.bmiHeader.biCompression = BI_RGB;
    FSection = CreateDIBSection(FContext, &Info, DIB_RGB_COLORS, &FBits, nullptr, 0);
    if (FSection != nullptr)
      FPrevious = SelectObject(FContext, FSection);
  }
  ~TRenderSurface() {
    if (FPrevious != nullptr)
      SelectObject(FContext, FPrevious);
    if (FSection != nullptr)
      DeleteObject(FSection);
    DeleteDC(FContext);
  }
  TRenderSurface(const TRenderSurface&) = delete;
  TRenderSurface& operator=(const TRenderSurface&) = delete;

  HDC Context() const { return FContext; }
  const uint8_t* Bits() const {
    return FPrevious != nullptr ? static_cast<uint8_t*>(FBits) : nullptr;
  }

private:
  HDC FContext;
  HBITMAP FSection = nullptr;
  HGDIOBJ FPrevious = nullptr;
  void* FBits = nullptr;
};

} // namespace

TControl::TControl(TComponent* Owner, QWidget* Widget) : TComponent(Owner), FWidget(Widget) {}

TControl::~TControl() = default;

bool TControl::ApplyProperty(const std::string& Name, const TResourceValue& Value,
                             const TForm& Form) {
  const QRect Now = FWidget->geometry();
  const auto Number = static_cast<int>(Value.Integer);
  const bool Integer = Value.Kind == TResourceValue::rvInteger;
  if (Name == "Left" && Integer)
    FWidget->move(Number, Now.y());
  else if (Name == "Top" && Integer)
    FWidget->move(Now.x(), Number);
  else if (Name == "Width" && Integer)
    FWidget->resize(Number, Now.height());
  else if (Name == "Height" && Integer)
    FWidget->resize(Now.width(), Number);
  else if (Name == "Anchors" && Value.Kind == TResourceValue::rvSet)
    return ApplyAnchors(Value.Items);
  else
    return TComponent::ApplyProperty(Name, Value, Form);
  return true;
}

bool TControl::ApplyAnchors(const std::vector<std::string>& Items) {
  static const std::map<std::string, TAnchorKind> Kinds = {
      {"akLeft", akLeft}, {"akTop", akTop}, {"akRight", akRight}, {"akBottom", akBottom}};
  FAnchors = 0;
  for (const std::string& Item : Items) {
    const auto Found = Kinds.find(Item);
    if (Found == Kinds.end())
      return false;
    FAnchors |= Found->second;
  }
  return true;
}

TRect TControl::BoundsRect() const {
  const QRect Bounds = FWidget->geometry();
  return {Bounds.left(), Bounds.top(), Bounds.left() + Bounds.width(),
          Bounds.top() + Bounds.height()};
}

void TControl::SetBounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height) {
  FWidget->setGeometry(Left, Top, Width, Height);
}

// Anchored to both sides a control stretches; to the far side only it moves.
void TControl::ClientResized(int32_t DeltaWidth, int32_t DeltaHeight) {
  QRect Bounds = FWidget->geometry();
  if ((FAnchors & akRight) != 0) {
    if ((FAnchors & akLeft) != 0)
      Bounds.setWidth(std::max(0, Bounds.width() + DeltaWidth));
    else
      Bounds.moveLeft(Bounds.left() + DeltaWidth);
  }
  if ((FAnchors & akBottom) != 0) {
    if ((FAnchors & akTop) != 0)
      Bounds.setHeight(std::max(0, Bounds.height() + DeltaHeight));
    else
      Bounds.moveTop(Bounds.top() + DeltaHeight);
  }
  FWidget->setGeometry(Bounds);
}

TSnapshot TControl::Snapshot() const {
  QWidget* Parent = FWidget->parentWidget();
  const QImage Image = (Parent != nullptr ? Parent->grab(FWidget->geometry()) : FWidget->grab())
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32);
  TSnapshot Shot{Image.width(), Image.height(), {}};
  for (int Y = 0; Y < Image.height(); ++Y)
    for (int X = 0; X < Image.width(); ++X)
      Shot.Pixels.push_back(Image.pixel(X, Y) & 0xFFFFFFu);
  return Shot;
}

TButton::TButton(TComponent* Owner) : TControl(Owner, new QPushButton(WindowOf(Owner))) {
  QObject::connect(static_cast<QPushButton*>(Widget()), &QPushButton::clicked, [this] {
    RunHandler([this] {
      if (OnClick)
        OnClick(this);
    });
  });
}

std::string TButton::Caption() const {
  return static_cast<QPushButton*>(Widget())->text().toStdString();
}

bool TButton::ApplyProperty(const std::string& Name, const TResourceValue& Value,
                            const TForm& Form) {
  if (Name == "Caption" && Value.Kind == TResourceValue::rvString)
    static_cast<QPushButton*>(Widget())->setText(QString::fromStdString(Value.Text));
  else if (Name == "TabOrder" && Value.Kind == TResourceValue::rvInteger)
    FTabOrder = static_cast<int32_t>(Value.Integer);
  else if (Name == "OnClick" && Value.Kind == TResourceValue::rvIdentifier &&
           Form.MethodAddress(Value.Text))
    OnClick = Form.MethodAddress(Value.Text);
  else
    return TControl::ApplyProperty(Name, Value, Form);
  return true;
}

void TButton::Click() {
  static_cast<QPushButton*>(Widget())->click();
}

TImage::TImage(TComponent* Owner) : TControl(Owner, nullptr) {
  auto* Surface = new TImageWidget(*this, WindowOf(Owner));
  SetWidget(Surface);
  FPicture.OnChange = [Surface] {
    Surface->Invalidate();
    Surface->update();
  };
}

void TImage::Refresh() {
  static_cast<TImageWidget*>(Widget())->Invalidate();
  Widget()->repaint();
}

void TImageWidget::paintEvent(QPaintEvent*) {
  if (FRendered.isNull())
    FRendered = Render();
  QPainter Painter(this);
  Painter.drawImage(0, 0, FRendered);
}

void TImageWidget::resizeEvent(QResizeEvent* Event) {
  QWidget::resizeEvent(Event);
  Invalidate();
}

// The picture drawn by its own Draw at natural size over the background; a picture that cannot
// draw itself leaves the background, since a paint has no one to report to.
QImage TImageWidget::Render() {
  const int Width = std::max(1, width());
  const int Height = std::max(1, height());
  QImage Image(Width, Height, QImage::Format_RGB32);
  Image.fill(ToolkitColor(BackgroundOf(FImage)));
  TRenderSurface Surface(Width, Height);
  if (Surface.Bits() == nullptr)
    return Image;
  TCanvas Canvas(Surface.Context());
  Canvas.FillRect({0, 0, Width, Height}, BackgroundOf(FImage));
  TGraphic* Graphic = FImage.Picture().Graphic();
  try {
    if (Graphic != nullptr && !Graphic->GetEmpty())
      Canvas.Draw(0, 0, *Graphic);
  } catch (const Exception&) {
    return Image;
  }
  for (int Y = 0; Y < Height; ++Y) {
    const auto* Row = reinterpret_cast<const QRgb*>(Surface.Bits() + size_t(Y) * size_t(Width) * 4);
    auto* Out = reinterpret_cast<QRgb*>(Image.scanLine(Y));
    for (int X = 0; X < Width; ++X)
      Out[X] = Row[X] | 0xFF000000u;
  }
  return Image;
}
