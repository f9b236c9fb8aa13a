#pragma once
// The base of every exception the project raises. It derives from
// std::exception directly and keeps its message in a std::string of its own:
// the standard's std::runtime_error and std::logic_error keep theirs in the
// library's prebuilt copy-on-write string, and any use of them links that
// string's whole instantiation (some 80 KB) into the installer and the
// uninstaller.

#include <exception>
#include <string>

namespace vo {

class Error : public std::exception {
 public:
  explicit Error(std::string message) : fMessage(std::move(message)) {}
  ~Error() override;
  const char* what() const noexcept override;

 private:
  std::string fMessage;
};

// The kinds a caller tells apart, named and ordered as the standard's. A
// LogicError is a fault of the calling code, not of its input: a call the
// object's state does not allow, a value the function refuses
// (InvalidArgument), a size past what the result may hold (LengthError), an
// index or key that is not there (OutOfRange). Every other Error, like the
// standard's runtime_error, reports what the program met at run time.
class LogicError : public Error {
 public:
  using Error::Error;
};
class InvalidArgument : public LogicError {
 public:
  using LogicError::LogicError;
};
class LengthError : public LogicError {
 public:
  using LogicError::LogicError;
};
class OutOfRange : public LogicError {
 public:
  using LogicError::LogicError;
};

}  // namespace vo
