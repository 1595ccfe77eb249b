# One place for the warning flags; every target of the project links this.
add_library(sonabel_warnings INTERFACE)
target_compile_options(sonabel_warnings INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual -Wpedantic
  $<$<BOOL:${SONABEL_WERROR}>:-Werror>)
