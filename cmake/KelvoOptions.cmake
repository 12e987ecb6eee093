# Flags shared by every target of the project.
add_library(kelvo_options INTERFACE)
target_compile_options(kelvo_options INTERFACE
  -Wall -Wextra -Wno-unused-parameter
  # Figures must recompute to the same bits on every machine: no fused
  # multiply-add contraction and no fast-math reassociation anywhere.
  -ffp-contract=off -fno-fast-math)
if(KELVO_SANITIZE)
  target_compile_options(kelvo_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(kelvo_options INTERFACE -fsanitize=address,undefined)
endif()
