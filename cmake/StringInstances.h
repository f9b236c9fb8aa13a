// Read before every C++ file of the Windows build (-include, see the top
// CMakeLists.txt).
//
// libstdc++'s headers declare std::string and std::wstring as instantiated in
// the library itself, so a program that uses them links the library's whole
// prebuilt instantiation: every member, each kept alive by its entry in the
// unwind tables whether the program calls it or not (some 33 KB per string
// type). The value -1, the one libstdc++'s own assertion mode uses, leaves
// out only those two declarations; the compiler then instantiates the members
// a program uses, and the linker keeps only those.
#pragma once
#include <bits/c++config.h>
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE -1
