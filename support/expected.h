// The one shape of a result that can fail: a value, or a failure with the
// readable message the user sees and, where callers must tell failures
// apart, a reason of their own enum type. Nothing is thrown.
#pragma once

#include <cassert>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace korva {

// The reason of a failure that callers need not tell apart from others.
enum class NoReason { failed };

template <typename Reason = NoReason>
struct Failure {
  Reason reason{};
  std::string message;
};

// A failure whose message is all there is to know.
inline Failure<> fail(std::string message) {
  return Failure<>{NoReason::failed, std::move(message)};
}

template <typename Reason>
Failure<Reason> fail(Reason reason, std::string message) {
  return Failure<Reason>{reason, std::move(message)};
}

template <typename T, typename Reason = NoReason>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Expected(Failure<Reason> failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool has_value() const { return state_.index() == 0; }
  explicit operator bool() const { return has_value(); }

  // The value; only when there is one.
  T& value() & { return *checked_value(); }
  const T& value() const& { return *checked_value(); }
  T&& value() && { return std::move(*checked_value()); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(*checked_value()); }
  T* operator->() { return checked_value(); }
  const T* operator->() const { return checked_value(); }

  // The failure; only when there is no value.
  const Failure<Reason>& failure() const& { return *checked_failure(); }
  Failure<Reason>&& failure() && { return std::move(*checked_failure()); }
  const std::string& message() const { return failure().message; }
  Reason reason() const { return failure().reason; }

 private:
  T* checked_value() {
    assert(has_value());
    return std::get_if<0>(&state_);
  }
  const T* checked_value() const {
    assert(has_value());
    return std::get_if<0>(&state_);
  }
  Failure<Reason>* checked_failure() {
    assert(!has_value());
    return std::get_if<1>(&state_);
  }
  const Failure<Reason>* checked_failure() const {
    assert(!has_value());
    return std::get_if<1>(&state_);
  }

  std::variant<T, Failure<Reason>> state_;
};

// Success without a value, or a failure.
template <typename Reason>
class [[nodiscard]] Expected<void, Reason> {
 public:
  Expected() = default;
  Expected(Failure<Reason> failure) : failure_(std::move(failure)) {}

  bool has_value() const { return !failure_.has_value(); }
  explicit operator bool() const { return has_value(); }

  const Failure<Reason>& failure() const& {
    assert(!has_value());
    return *failure_;
  }
  Failure<Reason>&& failure() && {
    assert(!has_value());
    return std::move(*failure_);
  }
  const std::string& message() const { return failure().message; }
  Reason reason() const { return failure().reason; }

 private:
  std::optional<Failure<Reason>> failure_;
};

}  // namespace korva
