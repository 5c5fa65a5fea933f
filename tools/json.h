// Text as JSON and terminals want it. PNG text chunks hold Latin-1.
#pragma once

#include <string>
#include <string_view>

// Latin-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view Latin1);

// A JSON string literal of Latin-1 text, quotes included.
std::string JsonString(std::string_view Latin1);
