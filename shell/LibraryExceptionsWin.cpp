// The functions libstdc++ calls to raise an exception: a string or vector
// asked to grow past its maximum, an index out of range, memory exhausted.
// The library defines them in one object together with the type information
// of std::logic_error, std::runtime_error and their kin, whose messages live
// in the library's prebuilt copy-on-write string; whoever uses one of these
// functions links that string's whole instantiation, some 80 KB of every
// installer and uninstaller. Ours raise the project's kinds of the same
// names (text/Error.h) with the texts the library gives, and the standard's
// exceptions without a message (std::bad_alloc and the like) as they are.
// Linked as an object into the installer and Uninst.exe, so that these
// definitions come before the library's.

#include <cstdarg>
#include <cstddef>
#include <exception>
#include <new>
#include <string>
#include <typeinfo>

#include "text/Error.h"

namespace {

// The library's messages with numbers in them are printf formats that use
// only "%s", "%zu" and "%%", e.g. "%s: __pos (which is %zu) > this->size()
// (which is %zu)".
std::string FormatLibraryMessage(const char* format, va_list arguments) {
  std::string text;
  for (const char* p = format; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      text += va_arg(arguments, const char*);
      ++p;
    } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
      text += std::to_string(va_arg(arguments, size_t));
      p += 2;
    } else if (p[0] == '%' && p[1] == '%') {
      text += '%';
      ++p;
    } else {
      text += *p;
    }
  }
  return text;
}

}  // namespace

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }

void __throw_logic_error(const char* what) { throw vo::LogicError(what); }
void __throw_domain_error(const char* what) { throw vo::LogicError(what); }
void __throw_invalid_argument(const char* what) { throw vo::InvalidArgument(what); }
void __throw_length_error(const char* what) { throw vo::LengthError(what); }
void __throw_out_of_range(const char* what) { throw vo::OutOfRange(what); }

void __throw_out_of_range_fmt(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  std::string what = FormatLibraryMessage(format, arguments);
  va_end(arguments);
  throw vo::OutOfRange(std::move(what));
}

void __throw_runtime_error(const char* what) { throw vo::Error(what); }
void __throw_range_error(const char* what) { throw vo::Error(what); }
void __throw_overflow_error(const char* what) { throw vo::Error(what); }
void __throw_underflow_error(const char* what) { throw vo::Error(what); }

}  // namespace std
