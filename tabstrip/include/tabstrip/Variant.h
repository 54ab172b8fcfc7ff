#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

// The root of every class whose instances a Variant can refer to. Asking an object reference
// for an interface (is this a page? an item?) is a dynamic_cast from here, so interfaces derive
// from it virtually and an implementation of several of them still has one Object.
class Object {
 public:
  virtual ~Object() = default;

 protected:
  Object() = default;
  Object(const Object&) = default;
  Object& operator=(const Object&) = default;
};

// A small tagged value: missing (an argument left out), a number, a Boolean, a string or a
// counted object reference. Copying copies the value, or shares the object.
class Variant {
 public:
  enum class Type { Missing, Number, Boolean, String, Object };

  Variant() = default;
  template <class T>
  requires std::is_arithmetic_v<T> &&(!std::same_as<T, bool>)Variant(T number)
      : m_value(static_cast<double>(number)) {}              // NOLINT(*-explicit-*)
  Variant(bool value) : m_value(value) {}                    // NOLINT(*-explicit-*)
  Variant(std::string text) : m_value(std::move(text)) {}    // NOLINT(*-explicit-*)
  Variant(const char* text) : m_value(std::string(text)) {}  // NOLINT(*-explicit-*)
  template <class T>
  requires std::derived_from<T, ::Object> Variant(
      std::shared_ptr<T> object)  // NOLINT(*-explicit-*)
      : m_value(std::shared_ptr<::Object>(std::move(object))) {}

  Type type() const { return static_cast<Type>(m_value.index()); }
  bool IsMissing() const { return type() == Type::Missing; }
  bool IsNumber() const { return type() == Type::Number; }
  bool IsBoolean() const { return type() == Type::Boolean; }
  bool IsString() const { return type() == Type::String; }
  bool IsObject() const { return type() == Type::Object; }

  // The stored value; asking for the wrong kind throws std::bad_variant_access.
  double Number() const { return std::get<double>(m_value); }
  bool Boolean() const { return std::get<bool>(m_value); }
  const std::string& String() const { return std::get<std::string>(m_value); }
  // The object reference; empty for anything that is not an object.
  std::shared_ptr<::Object> Object() const;
  // The object as T when it is one; empty otherwise.
  template <class T>
  std::shared_ptr<T> ObjectAs() const {
    return std::dynamic_pointer_cast<T>(Object());
  }

  // The value as a number when it is numeric: a number, a Boolean (true is -1, false 0) or a
  // string that reads as a number. Empty for missing values, other strings and objects.
  std::optional<double> NumericValue() const;

  // Equal kinds and equal values; objects are equal when they are the same object.
  friend bool operator==(const Variant& a, const Variant& b) { return a.m_value == b.m_value; }

 private:
  std::variant<std::monostate, double, bool, std::string, std::shared_ptr<::Object>> m_value;
};

// Reads text as a number the way the platform's numeric test does: optional blanks around an
// optionally signed decimal number with an optional fraction and exponent ("2", " -1.5 ",
// "3e2", ".5"). Empty when the text is anything else (words, hex, "inf", "nan", empty).
std::optional<double> ParseNumber(std::string_view text);

// The nearest whole number, halves going to the even one (0.5 -> 0, 1.5 -> 2, 2.5 -> 2), as
// the platform brings numbers to whole numbers.
double RoundHalfEven(double value);

// The value brought to a signed 32-bit whole number (halves to even); empty when it is not
// numeric or does not fit.
std::optional<std::int32_t> ToInt32(const Variant& value);
