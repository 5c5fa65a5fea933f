#include "platform/forms/qtwidgets.h"

#include <QIcon>
#include <QMessageBox>
#include <QPixmap>

TApplication* Application = nullptr;

namespace {

// A call waiting in the event loop, which owns the event and deletes it once delivered.
class TQueuedCall : public QEvent {
public:
  explicit TQueuedCall(std::function<void()> Call)
      : QEvent(QEvent::User), Handler(std::move(Call)) {}
  std::function<void()> Handler;
};

} // namespace

struct TApplication::TToolkit {
  std::unique_ptr<TToolkitApplication> App;
  QIcon Icon;
};

TApplication::TApplication() : FToolkit(std::make_unique<TToolkit>()) {
  FSink = [this](const std::string& Message) {
    QWidget* Owner = MainForm() != nullptr ? MainForm()->Window() : nullptr;
    QMessageBox::critical(Owner, QString::fromStdString(Title), QString::fromStdString(Message));
  };
}

TApplication::~TApplication() {
  FForms.clear();
}

void TApplication::Initialize(int& ArgumentCount, char** Arguments) {
  FToolkit->App = std::make_unique<TToolkitApplication>(ArgumentCount, Arguments);
  QApplication::setApplicationName(QString::fromStdString(Title));
}

void TApplication::AddForm(std::unique_ptr<TForm> Form) {
  if (!FToolkit->Icon.isNull())
    Form->Window()->setWindowIcon(FToolkit->Icon);
  FForms.push_back(std::move(Form));
}

int TApplication::Run() {
  if (MainForm() == nullptr)
    return 0;
  MainForm()->Show();
  return QApplication::exec();
}

void TApplication::ProcessMessages() {
  QApplication::processEvents();
}

void TApplication::QueueAsyncCall(std::function<void()> Handler) {
  QCoreApplication::postEvent(FToolkit->App.get(), new TQueuedCall(std::move(Handler)));
}

void TApplication::HandleException(const std::exception& Error) {
  const auto* Platform = dynamic_cast<const Exception*>(&Error);
  FSink(Platform != nullptr ? Platform->Message() : Error.what());
}

void TApplication::SetIcon(TBitmap& Icon) {
  const int Width = Icon.GetWidth();
  const int Height = Icon.GetHeight();
  QImage Image(Width, Height, QImage::Format_RGB32);
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width; ++X) {
      const COLORREF Color = Icon.Canvas().GetPixel(X, Y);
      Image.setPixel(X, Y, qRgb(GetRValue(Color), GetGValue(Color), GetBValue(Color)));
    }
  FToolkit->Icon = QIcon(QPixmap::fromImage(Image));
  QApplication::setWindowIcon(FToolkit->Icon);
  for (const auto& Form : FForms)
    Form->Window()->setWindowIcon(FToolkit->Icon);
}

void RunHandler(const std::function<void()>& Handler) {
  try {
    Handler();
  } catch (const std::exception& Error) {
    if (Application != nullptr)
      Application->HandleException(Error);
  } catch (...) {
    if (Application != nullptr)
      Application->HandleException(Exception("An unknown exception was raised"));
  }
}

bool TToolkitApplication::notify(QObject* Receiver, QEvent* Event) {
  if (TFormWindow::DeliverShortCut(Receiver, Event))
    return true;
  bool Handled = false;
  RunHandler([&] { Handled = QApplication::notify(Receiver, Event); });
  return Handled;
}

void TToolkitApplication::customEvent(QEvent* Event) {
  if (const auto* Call = dynamic_cast<const TQueuedCall*>(Event))
    RunHandler(Call->Handler);
}

QColor ToolkitColor(TColor Color) {
  const COLORREF Rgb = ColorToRGB(Color);
  return QColor(GetRValue(Rgb), GetGValue(Rgb), GetBValue(Rgb));
}
