# Compiler settings shared by every target: the program's C++03 dialect, the modern dialect of
# the platform layers, tools and tests, and warnings as errors everywhere.

set(VEXO_WARNINGS -Wall -Wextra -Werror -Wno-unused-parameter)

include(${CMAKE_CURRENT_LIST_DIR}/SizeBudget.cmake)

# Rebuilds of unchanged sources come from the compiler cache when one is installed; paths are
# taken relative to the tree, so clones in other folders share it.
find_program(VEXO_CCACHE ccache)
if(VEXO_CCACHE)
  set(launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=true
      ${VEXO_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
endif()

if(VEXO_PLATFORM STREQUAL "sim")
  # The device's wchar_t is 16 bits; every sim object file must agree on it.
  add_compile_options(-fshort-wchar)
endif()

function(vexo_apply_sanitizers)
  if(VEXO_SANITIZE)
    list(JOIN VEXO_SANITIZE "," san)
    add_compile_options(-fsanitize=${san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${san})
    if("undefined" IN_LIST VEXO_SANITIZE)
      # The program is built without RTTI, which the vptr check needs.
      add_compile_options(-fno-sanitize=vptr)
      add_link_options(-fno-sanitize=vptr)
    endif()
  endif()
endfunction()

# Code built for size: each function in a section of its own, so that the linker can drop the
# unused ones, and no unwind tables, since nothing in it throws or is unwound through.
set(VEXO_LEAN_CODE $<$<CONFIG:MinSizeRel>:-ffunction-sections;-fno-asynchronous-unwind-tables;-fno-unwind-tables>)

# Code that runs on the device: what CE compilers accept.
function(vexo_program_target target)
  target_compile_options(${target} PRIVATE -std=gnu++03 -fno-exceptions -fno-rtti ${VEXO_WARNINGS})
  # A build for size takes the smallest encoding even where it costs a few instructions, and
  # leaves out the compiler's name, which every object file would otherwise carry.
  target_compile_options(${target} PRIVATE $<$<CONFIG:MinSizeRel>:-Oz;-fno-ident> ${VEXO_LEAN_CODE})
endfunction()

# The platform layers, tools and tests.
function(vexo_modern_target target)
  set_target_properties(${target} PROPERTIES CXX_STANDARD 17 CXX_STANDARD_REQUIRED ON CXX_EXTENSIONS OFF)
  target_compile_options(${target} PRIVATE ${VEXO_WARNINGS})
endfunction()
