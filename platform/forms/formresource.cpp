#include "platform/forms/formresource.h"

#include <cctype>
#include <map>

namespace {

std::string Upper(std::string Text) {
  for (char& Char : Text)
    Char = static_cast<char>(std::toupper(static_cast<unsigned char>(Char)));
  return Text;
}

std::map<std::string, std::string_view>& Resources() {
  static std::map<std::string, std::string_view> Table;
  return Table;
}

void AppendUtf8(std::string& Text, uint32_t Code) {
  if (Code < 0x80) {
    Text += static_cast<char>(Code);
  } else if (Code < 0x800) {
    Text += static_cast<char>(0xC0 | Code >> 6);
    Text += static_cast<char>(0x80 | (Code & 0x3F));
  } else {
    Text += static_cast<char>(0xE0 | Code >> 12);
    Text += static_cast<char>(0x80 | (Code >> 6 & 0x3F));
    Text += static_cast<char>(0x80 | (Code & 0x3F));
  }
}

class TResourceParser {
public:
  explicit TResourceParser(std::string_view Text) : FText(Text) {}

  TResourceObject ParseRoot() {
    TResourceObject Root = ParseObject();
    SkipSpace();
    if (FAt != FText.size())
      Fail("text after the final \"end\"");
    return Root;
  }

private:
  [[noreturn]] void Fail(const std::string& What) const {
    throw EReadError("Error reading form resource, line " + std::to_string(FLine) + ": " + What);
  }

  void SkipSpace() {
    while (FAt < FText.size() && std::isspace(static_cast<unsigned char>(FText[FAt])) != 0)
      FLine += FText[FAt++] == '\n' ? 1 : 0;
  }

  bool IsWordChar(char Char, bool First) const {
    const auto Code = static_cast<unsigned char>(Char);
    return std::isalpha(Code) != 0 || Char == '_' ||
           (!First && (std::isdigit(Code) != 0 || Char == '.'));
  }

  std::string Word() {
    SkipSpace();
    const size_t Start = FAt;
    while (FAt < FText.size() && IsWordChar(FText[FAt], FAt == Start))
      ++FAt;
    if (FAt == Start)
      Fail("a name was expected");
    return std::string(FText.substr(Start, FAt - Start));
  }

  void Expect(char Char) {
    SkipSpace();
    if (FAt >= FText.size() || FText[FAt] != Char)
      Fail(std::string("\"") + Char + "\" was expected");
    ++FAt;
  }

  char Peek() {
    SkipSpace();
    return FAt < FText.size() ? FText[FAt] : '\0';
  }

  TResourceObject ParseObject() {
    TResourceObject Object;
    if (Word() != "object")
      Fail("\"object\" was expected");
    Object.Line = FLine;
    Object.Name = Word();
    Expect(':');
    Object.ClassName = Word();
    for (;;) {
      const size_t Before = FAt;
      const int LineBefore = FLine;
      const std::string Next = Word();
      if (Next == "end")
        return Object;
      if (Next == "object") {
        FAt = Before;
        FLine = LineBefore;
        Object.Children.push_back(ParseObject());
        continue;
      }
      Expect('=');
      Object.Properties.emplace_back(Next, ParseValue());
    }
  }

  TResourceValue ParseValue() {
    const char First = Peek();
    TResourceValue Value;
    if (First == '\'' || First == '#') {
      Value.Kind = TResourceValue::rvString;
      Value.Text = ParseString();
    } else if (First == '-' || std::isdigit(static_cast<unsigned char>(First)) != 0) {
      Value.Integer = ParseInteger();
    } else if (First == '[') {
      Value.Kind = TResourceValue::rvSet;
      Value.Items = ParseSet();
    } else {
      Value.Kind = TResourceValue::rvIdentifier;
      Value.Text = Word();
    }
    return Value;
  }

  int64_t ParseInteger() {
    const bool Negative = FText[FAt] == '-';
    FAt += Negative ? 1 : 0;
    int64_t Value = 0;
    const size_t Start = FAt;
    while (FAt < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FAt])) != 0) {
      if (Value > (int64_t{1} << 40))
        Fail("a number is too large");
      Value = Value * 10 + (FText[FAt++] - '0');
    }
    if (FAt == Start)
      Fail("a number was expected");
    return Negative ? -Value : Value;
  }

  // Quoted runs ('' is a quote) and character codes (#23435) joined, as the platform writes text.
  std::string ParseString() {
    std::string Text;
    while (FAt < FText.size() && (FText[FAt] == '\'' || FText[FAt] == '#')) {
      if (FText[FAt] == '#') {
        ++FAt;
        const int64_t Code = ParseInteger();
        if (Code <= 0 || Code > 0xFFFF)
          Fail("a character code is out of range");
        AppendUtf8(Text, static_cast<uint32_t>(Code));
        continue;
      }
      for (++FAt;; ++FAt) {
        if (FAt >= FText.size() || FText[FAt] == '\n')
          Fail("a string is not closed");
        if (FText[FAt] == '\'' && (FAt + 1 >= FText.size() || FText[FAt + 1] != '\''))
          break;
        FAt += FText[FAt] == '\'' ? 1 : 0;
        Text += FText[FAt];
      }
      ++FAt;
    }
    return Text;
  }

  std::vector<std::string> ParseSet() {
    Expect('[');
    std::vector<std::string> Items;
    if (Peek() == ']') {
      ++FAt;
      return Items;
    }
    for (;;) {
      Items.push_back(Word());
      if (Peek() == ']') {
        ++FAt;
        return Items;
      }
      Expect(',');
    }
  }

  std::string_view FText;
  size_t FAt = 0;
  int FLine = 1;
};

} // namespace

TResourceObject ParseFormResource(std::string_view Text) {
  return TResourceParser(Text).ParseRoot();
}

void RegisterResource(const std::string& Name, std::string_view Bytes) {
  Resources()[Upper(Name)] = Bytes;
}

std::string_view FindResource(const std::string& Name) {
  const auto Found = Resources().find(Upper(Name));
  if (Found == Resources().end())
    throw EReadError("Resource " + Name + " not found");
  return Found->second;
}
