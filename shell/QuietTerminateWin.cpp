// The handler std::terminate calls when an exception escapes or a noexcept
// function throws. libstdc++'s default one prints the exception's type name
// to the standard error, which a windowed program does not have, and to name
// the type it links in the C++ name demangler: some 45 KB of every installer
// and uninstaller. Ours only ends the process the way the default one does
// after printing.

#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
