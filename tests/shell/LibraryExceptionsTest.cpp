#include <gtest/gtest.h>

#include <bitset>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "text/Error.h"

namespace vo {
namespace {

// The kind an exception arrives as, and its text.
struct Raised {
  std::string kind;
  std::string what;
};

Raised Raise(const std::function<void()>& fault) {
  try {
    fault();
  } catch (const InvalidArgument& e) {
    return {"InvalidArgument", e.what()};
  } catch (const LengthError& e) {
    return {"LengthError", e.what()};
  } catch (const OutOfRange& e) {
    return {"OutOfRange", e.what()};
  } catch (const LogicError& e) {
    return {"LogicError", e.what()};
  } catch (const Error& e) {
    return {"Error", e.what()};
  } catch (const std::bad_array_new_length&) {
    return {"std::bad_array_new_length", ""};
  } catch (const std::bad_alloc&) {
    return {"std::bad_alloc", ""};
  } catch (const std::exception& e) {
    return {std::string("another std::exception: ") + typeid(e).name(), e.what()};
  }
  return {"nothing", ""};
}

// This program links the installer's own definitions of the functions
// libstdc++ raises its exceptions through: the faults of the standard
// containers arrive as the project's kinds with the library's texts, numbers
// filled in, whether the raising code was compiled here (the templates) or
// comes prebuilt in the library (std::random_device).
TEST(LibraryExceptions, ArriveAsTheProjectsKindsWithTheLibrarysTexts) {
  // Sizes the compiler cannot see, so that it warns of no huge allocation.
  // In a 32-bit program 2 GB of int, past the allocator's 2 GB - 1, and 4 GB
  // of int, past size_t itself; the same fractions of a 64-bit address space.
  constexpr int kBits = int(sizeof(size_t)) * 8;
  volatile size_t beyondInts = size_t(1) << (kBits - 3);
  volatile size_t beyondAddressSpace = size_t(1) << (kBits - 2);
  const struct {
    const char* what;
    std::function<void()> fault;
    const char* kind;
    const char* message;
  } cases[] = {
      {"string::at", [] { (void)std::string("abc").at(5); }, "OutOfRange",
       "basic_string::at: __n (which is 5) >= this->size() (which is 3)"},
      {"string::substr", [] { (void)std::string("abc").substr(4); }, "OutOfRange",
       "basic_string::substr: __pos (which is 4) > this->size() (which is 3)"},
      {"vector::at", [] { (void)std::vector<int>(2).at(2); }, "OutOfRange",
       "vector::_M_range_check: __n (which is 2) >= this->size() (which is 2)"},
      {"string past its maximum", [] { std::string s; s.reserve(s.max_size() + 1); }, "LengthError",
       "basic_string::_M_create"},
      {"vector past its maximum", [] { std::vector<int> v; v.reserve(v.max_size() + 1); }, "LengthError",
       "vector::reserve"},
      {"stoi of a word", [] { (void)std::stoi("many"); }, "InvalidArgument", "stoi"},
      {"stoi past int", [] { (void)std::stoi("99999999999"); }, "OutOfRange", "stoi"},
      {"bitset of a non-binary text", [] { std::bitset<4> bits(std::string("12")); }, "InvalidArgument",
       "bitset::_M_copy_from_ptr"},
      {"random_device of an unknown source", [] { std::random_device device("no such source"); }, "Error",
       "random_device::random_device(const std::string&): unsupported token"},
      {"allocation past the allocator", [&] { (void)std::allocator<int>().allocate(beyondInts); }, "std::bad_alloc",
       ""},
      {"allocation past size_t", [&] { (void)std::allocator<int>().allocate(beyondAddressSpace); },
       "std::bad_array_new_length", ""},
  };
  for (const auto& c : cases) {
    const Raised raised = Raise(c.fault);
    EXPECT_EQ(raised.kind, c.kind) << c.what;
    EXPECT_EQ(raised.what, c.message) << c.what;
  }
}

}  // namespace
}  // namespace vo
