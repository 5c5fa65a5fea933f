// The form-resource reader: values as the platform writes them, and clear errors.
#include "platform/forms/formresource.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

namespace {

TEST(FormResource, ReadsObjectsPropertiesAndEveryKindOfValue) {
  const TResourceObject Root = ParseFormResource(
      "object frmMain: TfrmMain\n"
      "  Caption = 'It''s'#13#10'two'\n"
      "  Font.Name = #23435#20307\n"
      "  Font.Height = -12\n"
      "  Color = clBtnFace\n"
      "  Font.Style = []\n"
      "  object Image1: TImage\n"
      "    Anchors = [akLeft, akTop,akRight]\n"
      "  end\n"
      "  object Empty: TXPManifest\n"
      "  end\n"
      "end\n");
  EXPECT_EQ(Root.Name, "frmMain");
  EXPECT_EQ(Root.ClassName, "TfrmMain");
  ASSERT_EQ(Root.Properties.size(), 5u);
  EXPECT_EQ(Root.Properties[0].first, "Caption");
  EXPECT_EQ(Root.Properties[0].second.Text, "It's\r\ntwo");
  EXPECT_EQ(Root.Properties[1].second.Text, "\xE5\xAE\x8B\xE4\xBD\x93"); // SimSun's own name
  EXPECT_EQ(Root.Properties[2].second.Integer, -12);
  EXPECT_EQ(Root.Properties[3].second.Kind, TResourceValue::rvIdentifier);
  EXPECT_EQ(Root.Properties[3].second.Text, "clBtnFace");
  EXPECT_EQ(Root.Properties[4].second.Kind, TResourceValue::rvSet);
  EXPECT_TRUE(Root.Properties[4].second.Items.empty());
  ASSERT_EQ(Root.Children.size(), 2u);
  EXPECT_EQ(Root.Children[0].Properties[0].second.Items,
            (std::vector<std::string>{"akLeft", "akTop", "akRight"}));
  EXPECT_EQ(Root.Children[1].ClassName, "TXPManifest");
  EXPECT_EQ(Root.Children[1].Line, 10);
}

TEST(FormResource, MalformedTextNamesItsLine) {
  const std::pair<const char*, const char*> Cases[] = {
      {"", "line 1: a name was expected"},
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
    EXPECT_PRED2(Contains, MessageOf<EReadError>([&] { ParseFormResource(Text); }), Message);
  }
}

TEST(FormResource, ResourcesAreFoundByNameWithoutRegardToCase) {
  RegisterResource("SomeIcon", "bytes");
  EXPECT_EQ(FindResource("SOMEICON"), "bytes");
  EXPECT_THROW(FindResource("OtherIcon"), EReadError);
}

} // namespace
