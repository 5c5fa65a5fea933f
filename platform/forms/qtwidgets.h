// The widgets behind the components. Private to the framework: only its own files include Qt.
#pragma once

#include "platform/forms/forms.h"

#include <QApplication>
#include <QImage>
#include <QWidget>

// A form's window: reports client-area resizes to its form, which moves anchored controls, and
// hands it the files dropped on it.
class TFormWindow : public QWidget {
public:
  explicit TFormWindow(TForm& Form) : FForm(Form) {}
  // A key press goes to its window's short cuts before the focused control; true when one ran.
  static bool DeliverShortCut(QObject* Receiver, QEvent* Event);

protected:
  void resizeEvent(QResizeEvent* Event) override;
  void dragEnterEvent(QDragEnterEvent* Event) override;
  void dragMoveEvent(QDragMoveEvent* Event) override;
  void dropEvent(QDropEvent* Event) override;

private:
  TForm& FForm;
};

// The picture control's surface: paints what the picture's graphic draws on a canvas filled
// with the form's colour, at natural size from the top-left corner.
class TImageWidget : public QWidget {
public:
  TImageWidget(TImage& Image, QWidget* Parent) : QWidget(Parent), FImage(Image) {}
  void Invalidate() { FRendered = QImage(); }

protected:
  void paintEvent(QPaintEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;

private:
  QImage Render();

  TImage& FImage;
  QImage FRendered;
};

// The toolkit's application, with the exception boundary around every event it delivers.
class TToolkitApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject* Receiver, QEvent* Event) override;

protected:
  void customEvent(QEvent* Event) override;
};

QColor ToolkitColor(TColor Color);
