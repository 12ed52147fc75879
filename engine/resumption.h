// The error model of the copy engine: one error number, and statement-level resumption.
//
// Platform services and checked arithmetic fail by throwing a Failure (platform/services.h).
// Code that runs "statement by statement" wraps every statement in step() and every condition in
// holds(): a failure abandons the rest of that statement, leaves its number in the ErrorState,
// and execution goes on with the next statement. A failing condition counts as holding, so the
// then-branch runs; that is how the copy pass has always behaved, quirks included.
#pragma once

#include <new>

#include "platform/services.h"

namespace kestovar {

// Error numbers the engine itself raises or tests for.
namespace error {
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kDeviceUnavailable = 52;  // drive not ready, or a name that cannot be read
}  // namespace error

// The one error number: 0 when clear. Code reads it and clears it; only failures set it.
class ErrorState {
 public:
  int number() const { return number_; }
  void Clear() { number_ = 0; }
  void Record(int number) { number_ = number; }

 private:
  int number_ = 0;
};

// Runs one statement. A failure abandons it and is recorded; nothing else escapes but
// non-failures such as the end of the program.
template <class Statement>
void step(ErrorState& err, Statement&& statement) {
  try {
    statement();
  } catch (const Failure& failure) {
    err.Record(failure.number);
  } catch (const std::bad_alloc&) {
    err.Record(error::kOutOfMemory);
  }
}

// Evaluates one condition. A failure is recorded and counts as the condition holding.
template <class Condition>
bool holds(ErrorState& err, Condition&& condition) {
  try {
    return condition();
  } catch (const Failure& failure) {
    err.Record(failure.number);
  } catch (const std::bad_alloc&) {
    err.Record(error::kOutOfMemory);
  }
  return true;
}

// Like holds(), but a condition that could not be evaluated does not hold. For the few tests
// where "could not check" must never read as "yes".
template <class Condition>
bool confirmed(ErrorState& err, Condition&& condition) {
  bool result = false;
  step(err, [&] { result = condition(); });
  return result;
}

}  // namespace kestovar
