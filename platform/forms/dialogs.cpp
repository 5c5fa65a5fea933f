#include "platform/forms/qtwidgets.h"

#include <QFileDialog>

namespace {

TOpenDialog::TAnswer& TestAnswer() {
  static TOpenDialog::TAnswer Answer;
  return Answer;
}

std::vector<std::string> Split(const std::string& Text, char Separator) {
  std::vector<std::string> Parts;
  size_t Start = 0;
  for (size_t At = Text.find(Separator); At != std::string::npos;
       At = Text.find(Separator, Start)) {
    Parts.push_back(Text.substr(Start, At - Start));
    Start = At + 1;
  }
  Parts.push_back(Text.substr(Start));
  return Parts;
}

} // namespace

void TOpenDialog::SetTestAnswer(TAnswer Answer) {
  TestAnswer() = std::move(Answer);
}

bool TOpenDialog::ApplyProperty(const std::string& Name, const TResourceValue& Value,
                                const TForm& Form) {
  if (Name != "Filter" || Value.Kind != TResourceValue::rvString)
    return TComponent::ApplyProperty(Name, Value, Form);
  FFilter = Value.Text;
  return true;
}

// "Description|Pattern;Pattern|..." becomes "Description (Pattern Pattern);;...".
std::string TOpenDialog::ToolkitFilter() const {
  if (FFilter.empty())
    return {};
  const std::vector<std::string> Parts = Split(FFilter, '|');
  std::string Filter;
  for (size_t Index = 0; Index + 1 < Parts.size(); Index += 2) {
    std::string Patterns;
    for (const std::string& Pattern : Split(Parts[Index + 1], ';'))
      Patterns += (Patterns.empty() ? "" : " ") + Pattern;
    Filter += (Filter.empty() ? "" : ";;") + Parts[Index] + " (" + Patterns + ")";
  }
  return Filter;
}

bool TOpenDialog::Execute() {
  if (TestAnswer()) {
    const std::optional<std::string> Answer = TestAnswer()(*this);
    if (Answer)
      FFileName = *Answer;
    return Answer.has_value();
  }
  auto* Form = dynamic_cast<TForm*>(Owner());
  QFileDialog Dialog(Form != nullptr ? Form->Window() : nullptr);
  Dialog.setWindowTitle("Open");
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(QFileDialog::AnyFile);
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  Dialog.setNameFilter(QString::fromStdString(ToolkitFilter()));
  if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
    return false;
  FFileName = Dialog.selectedFiles().front().toStdString();
  return true;
}
