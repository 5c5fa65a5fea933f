// The form-resource reader: values as the platform writes them, and clear errors.
#include "platform/forms/formresource.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

namespace {

// What the window's own resource does not show: quotes doubled in a string, control codes and
// a two-byte character joined to it, a set written without spaces, and where a child begins.
TEST(FormResource, ReadsStringsSetsAndChildren) {
  const TResourceObject Root = ParseFormResource(
      "object frmMain: TfrmMain\n  Caption = 'It''s'#13#10'two'#233\n  object Image1: TImage\n"
      "    Anchors = [akLeft,akTop]\n  end\nend\n");
  EXPECT_EQ(std::pair(Root.Name, Root.ClassName),
            std::pair(std::string("frmMain"), std::string("TfrmMain")));
  EXPECT_EQ(Root.Properties.at(0).second.Text, "It's\r\ntwo\xC3\xA9");
  const TResourceObject& Child = Root.Children.at(0);
  EXPECT_EQ(std::pair(Child.Line, Child.Properties.at(0).second.Items),
            std::pair(3, std::vector<std::string>{"akLeft", "akTop"}));
}

TEST(FormResource, MalformedTextNamesItsLine) {
  const std::pair<const char*, const char*> Cases[] = {
      {"form x: T\nend", "line 1: \"object\" was expected"},
      {"object x T\nend", "line 1: \":\" was expected"},
      {"object x: T\n  A 1\nend", "line 2: \"=\" was expected"},
      {"object x: T\n  A = 'open\nend", "line 2: a string is not closed"},
      {"object x: T\n  A = #0\nend", "line 2: a character code is out of range"},
      {"object x: T\n  A = [a b]\nend", "line 2: \",\" was expected"},
      {"object x: T\n  A = 99999999999999999999\nend", "line 2: a number is too large"},
      {"object x: T\n  A = 1\n", "line 3: a name was expected"},
      {"object x: T\nend\nend", "line 3: text after the final \"end\""},
  };
  for (const auto& [Text, Message] : Cases) {
    const std::string Source = Text;
    EXPECT_PRED2(Contains, MessageOf<EReadError>([&] { ParseFormResource(Source); }), Message);
  }
}

TEST(FormResource, ResourcesAreFoundByNameWithoutRegardToCase) {
  RegisterResource("SomeIcon", "bytes");
  EXPECT_EQ(FindResource("SOMEICON"), "bytes");
  EXPECT_THROW(FindResource("OtherIcon"), EReadError);
}

} // namespace
