// What reaches a form besides its controls: key combinations meant for the whole window, and
// files dragged onto it from a file manager.
#include "platform/forms/qtwidgets.h"

#include <QDropEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QUrl>

namespace {

std::string PortableKeys(const QKeySequence& Keys) {
  return Keys.toString(QKeySequence::PortableText).toStdString();
}

std::vector<std::string> LocalFilesOf(const QMimeData* Data) {
  std::vector<std::string> Files;
  if (Data == nullptr)
    return Files;
  for (const QUrl& Url : Data->urls())
    if (Url.isLocalFile() && !Url.toLocalFile().isEmpty())
      Files.push_back(Url.toLocalFile().toStdString());
  return Files;
}

// The toolkit shows the refusal with its no-drop cursor.
void AcceptLocalFiles(QDropEvent* Event, const TForm& Form) {
  if (Form.OnDropFiles() && !LocalFilesOf(Event->mimeData()).empty())
    Event->acceptProposedAction();
  else
    Event->ignore();
}

} // namespace

void TForm::AddShortCut(const std::string& Keys, TNotifyEvent Handler) {
  FShortCuts[PortableKeys(QKeySequence(QString::fromStdString(Keys)))] = std::move(Handler);
}

bool TForm::HandleShortCut(const std::string& Keys) {
  const auto Found = FShortCuts.find(Keys);
  if (Found == FShortCuts.end())
    return false;
  RunHandler([&] { Found->second(this); });
  return true;
}

void TForm::PressKeys(const std::string& Keys) {
  const QKeyCombination Combination = QKeySequence(QString::fromStdString(Keys))[0];
  QWidget* Target = FWindow->focusWidget() != nullptr ? FWindow->focusWidget() : FWindow;
  QKeyEvent Press(QEvent::KeyPress, Combination.key(), Combination.keyboardModifiers());
  QApplication::sendEvent(Target, &Press);
}

void TForm::SetOnDropFiles(TDropFilesEvent Handler) {
  FOnDropFiles = std::move(Handler);
  FWindow->setAcceptDrops(static_cast<bool>(FOnDropFiles));
}

bool TForm::DropUrls(const std::vector<std::string>& Urls) {
  QMimeData Data;
  QList<QUrl> List;
  for (const std::string& Url : Urls)
    List.push_back(QUrl(QString::fromStdString(Url)));
  Data.setUrls(List);
  const QPoint Centre = FWindow->rect().center();
  QDragEnterEvent Enter(Centre, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(FWindow, &Enter);
  if (!Enter.isAccepted())
    return false;
  QDropEvent Drop(Centre, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(FWindow, &Drop);
  return Drop.isAccepted();
}

void TFormWindow::dragEnterEvent(QDragEnterEvent* Event) {
  AcceptLocalFiles(Event, FForm);
}

void TFormWindow::dragMoveEvent(QDragMoveEvent* Event) {
  AcceptLocalFiles(Event, FForm);
}

void TFormWindow::dropEvent(QDropEvent* Event) {
  const std::vector<std::string> Files = LocalFilesOf(Event->mimeData());
  if (!FForm.OnDropFiles() || Files.empty()) {
    Event->ignore();
    return;
  }
  Event->acceptProposedAction();
  RunHandler([&] { FForm.OnDropFiles()(Files); });
}

bool TFormWindow::DeliverShortCut(QObject* Receiver, QEvent* Event) {
  auto* Widget = qobject_cast<QWidget*>(Receiver);
  if (Event->type() != QEvent::KeyPress || Widget == nullptr)
    return false;
  auto* Window = dynamic_cast<TFormWindow*>(Widget->window());
  if (Window == nullptr)
    return false;
  const auto* Key = static_cast<QKeyEvent*>(Event);
  const Qt::KeyboardModifiers Modifiers =
      Key->modifiers() &
      (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  return Window->FForm.HandleShortCut(
      PortableKeys(QKeySequence(QKeyCombination(Modifiers, Qt::Key(Key->key())))));
}
