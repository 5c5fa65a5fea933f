// vqzconv info: what a picture is made of, as readable lines or as one JSON object.
#pragma once

#include "tools/input.h"

#include <iosfwd>

void PrintInfo(const TInputPicture& Input, bool Json, std::ostream& Out);
