// Output files appear whole or not at all.
#pragma once

#include "platform/core/classes.h"

#include <string>

// Writes Bytes to Path through a temporary file beside it that is renamed into place, so that a
// failed write leaves no half-written file and an existing file untouched. The platform's
// create and write errors pass through, naming Path.
void WriteWholeFile(const std::string& Path, TMemoryStream& Bytes);
