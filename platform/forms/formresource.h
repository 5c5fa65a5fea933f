// Form resources: the text form of the platform's resource files, which describe a form's
// properties and its components, and the table of resources a program carries.
#pragma once

#include "platform/core/classes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One property value: a number, a string (held as UTF-8), an identifier such as clBtnFace, or a
// set such as [akLeft, akTop].
struct TResourceValue {
  enum TKind { rvInteger, rvString, rvIdentifier, rvSet };
  TKind Kind = rvInteger;
  int64_t Integer = 0;
  std::string Text;               // the string or the identifier
  std::vector<std::string> Items; // the members of a set
};

struct TResourceObject {
  std::string Name;
  std::string ClassName;
  std::vector<std::pair<std::string, TResourceValue>> Properties;
  std::vector<TResourceObject> Children;
  int Line = 0;
};

// Parses "object Name: TClass ... end" with its properties and nested objects; EReadError with
// the line for anything malformed.
TResourceObject ParseFormResource(std::string_view Text);

// The program's resources by name, without regard to case, as the platform finds them.
void RegisterResource(const std::string& Name, std::string_view Bytes);
// EReadError when the program carries no resource of that name.
std::string_view FindResource(const std::string& Name);
