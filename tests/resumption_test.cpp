// The error model under the copy pass, and the exact numbers it writes.
#include "platform/resumption.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/copy_engine.h"
#include "platform/checked16.h"

namespace kestovar {
namespace {

TEST(Resumption, FailureAbandonsOnlyItsStatementAndKeepsItsNumber) {
  ErrorState err;
  int done = 0;
  step(err, [&] {
    ++done;
    throw Failure{52};
    ++done;  // never reached
  });
  step(err, [&] { ++done; });
  EXPECT_EQ(done, 2);
  EXPECT_EQ(err.number(), 52);  // a later statement that succeeds does not clear it
}

TEST(Resumption, FailingConditionTakesTheThenBranchUnlessConfirmationIsAsked) {
  ErrorState err;
  const auto failing = []() -> bool { throw Failure{57}; };
  EXPECT_TRUE(holds(err, failing));
  EXPECT_FALSE(confirmed(err, failing));
  EXPECT_EQ(err.number(), 57);
  EXPECT_FALSE(holds(err, [] { return false; }));
  EXPECT_TRUE(confirmed(err, [] { return true; }));
}

TEST(Resumption, OtherExceptionsSuchAsTheEndOfTheProgramPassThrough) {
  struct Ended {};
  ErrorState err;
  EXPECT_THROW(step(err, [] { throw Ended{}; }), Ended);
  EXPECT_EQ(err.number(), 0);
}

TEST(Checked16, FailsInsteadOfWrapping) {
  EXPECT_EQ(Add16(32766, 1), 32767);
  EXPECT_EQ(Mul16(218, 150), 32700);
  using Sum = std::int16_t (*)(std::int16_t, std::int16_t);
  const struct {
    Sum op;
    std::int16_t a, b;
  } overflows[] = {{Add16, 32767, 1}, {Mul16, 219, 150}, {Add16, -32768, -1}};
  for (const auto& o : overflows) {
    try {
      o.op(o.a, o.b);
      ADD_FAILURE() << "no overflow";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number, error::kOverflow);
    }
  }
}

TEST(Percentage, ShortestExactDecimalWithTheGivenSeparator) {
  const struct {
    std::int16_t steps;
    const char16_t* dot;
    const char16_t* comma;
  } cases[] = {{0, u"0", u"0"},
               {1, u"3.125", u"3,125"},
               {2, u"6.25", u"6,25"},
               {4, u"12.5", u"12,5"},
               {8, u"25", u"25"},
               {31, u"96.875", u"96,875"},
               {32, u"100", u"100"},
               {33, u"103.125", u"103,125"},
               {32000, u"100000", u"100000"},
               {32767, u"102396.875", u"102396,875"}};
  for (const auto& c : cases) {
    EXPECT_EQ(Percentage(c.steps, u"."), c.dot) << c.steps;
    EXPECT_EQ(Percentage(c.steps, u","), c.comma) << c.steps;
  }
}

}  // namespace
}  // namespace kestovar
