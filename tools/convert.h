// vqzconv convert: one picture into one output file.
#pragma once

#include "tools/arguments.h"
#include "tools/input.h"

// Encodes Input as Kind and writes it whole to OutPath. Writer options apply to PNG output.
void ConvertPicture(TInputPicture& Input, TOutputKind Kind, const TWriterOptions& Writer,
                    const std::string& OutPath);
