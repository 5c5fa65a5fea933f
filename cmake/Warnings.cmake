# Every target of ours links this: warnings are errors everywhere.
add_library(vqz_warnings INTERFACE)
target_compile_options(vqz_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Woverloaded-virtual -Wimplicit-fallthrough -Werror)
