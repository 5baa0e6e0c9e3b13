# Warnings and sanitizers shared by every target of the project.

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
                    -Wcast-align -Woverloaded-virtual)
# Descriptor tables name only the fields they set (designated initializers); every field has a
# default, so a field left out is intended.
add_compile_options(-Wno-missing-field-initializers)
if(ZTLIVE_WERROR)
  add_compile_options(-Werror)
endif()

# The sanitizer builds keep line tables only: their reports name files and lines, and the
# builds are much quicker without full debug information.
if(ZTLIVE_SANITIZE OR ZTLIVE_SANITIZE_THREAD)
  add_compile_options(-gline-tables-only)
endif()

if(ZTLIVE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(ZTLIVE_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# libFuzzer ships with clang only.
set(ZTLIVE_BUILD_FUZZERS OFF)
if(ZTLIVE_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(ZTLIVE_BUILD_FUZZERS ON)
endif()
