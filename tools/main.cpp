#include "png/pngimage.h"
#include "tools/vqzconv.h"

#include <iostream>

int main(int argc, char** argv) {
  InitializePngImageUnit();
  const int Status =
      RunVqzconv(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
  FinalizePngImageUnit();
  return Status;
}
