#pragma once

#include <stdexcept>
#include <string>

// The numbered errors of the tab collection. They carry the platform's standard error numbers so
// that a caller can tell them apart the way it would tell apart any runtime error.
inline constexpr int kErrInvalidArgument = 5;  // also what the keyed list raises for a missing key
inline constexpr int kErrIndexOutOfRange = 9;
inline constexpr int kErrDuplicateKey = 457;

class TabError : public std::runtime_error {
 public:
  TabError(int number, const std::string& description)
      : std::runtime_error(description), m_number(number) {}

  int Number() const { return m_number; }
  std::string Description() const { return what(); }

  // The errors as the collection raises them.
  static TabError InvalidArgument() {
    return {kErrInvalidArgument, "Invalid procedure call or argument"};
  }
  static TabError IndexOutOfRange() { return {kErrIndexOutOfRange, "Subscript out of range"}; }
  static TabError DuplicateKey() {
    return {kErrDuplicateKey, "This key is already associated with an element of this collection"};
  }
  // A key that names no item: the keyed list reports it as an invalid argument.
  static TabError KeyNotFound() { return InvalidArgument(); }

 private:
  int m_number;
};
