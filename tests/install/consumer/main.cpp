// resave IN.png OUT.png: loads a PNG with the installed codec and writes it again.
#include <png/pngimage.h>

#include <iostream>

int main(int argc, char** argv) {
  if (argc != 3)
    return 64;
  InitializePngImageUnit();
  int Status = 0;
  try {
    TPNGObject Image;
    Image.LoadFromFile(argv[1]);
    Image.SaveToFile(argv[2]);
    std::cout << Image.GetWidth() << "x" << Image.GetHeight() << "\n";
  } catch (const Exception& Error) {
    std::cerr << Error.Message() << "\n";
    Status = 1;
  }
  FinalizePngImageUnit();
  return Status;
}
