#include "engine/Value.h"
#include "util/MallowError.h"

#include <gtest/gtest.h>

#include <functional>

namespace mallow::engine {
namespace {

long NumberOf(const std::function<void()>& body)
{
    try {
        body();
    } catch (const MallowError& error) {
        return error.Number();
    }
    return 0;
}

TEST(Value, TextIsWhatJoiningToTheEmptyTextGives)
{
    EXPECT_EQ(Value().ToText(), "");
    EXPECT_EQ(Value(true).ToText(), "True");
    EXPECT_EQ(Value(false).ToText(), "False");
    EXPECT_EQ(Value(-42).ToText(), "-42");
    EXPECT_EQ(Value(0.1 + 0.2).ToText(), "0.3");
    EXPECT_EQ(Value(1.5).ToText(), "1.5");
    EXPECT_EQ(Value(-2.0).ToText(), "-2");
    EXPECT_EQ(Value(1e15).ToText(), "1E+15");
    EXPECT_EQ(Value(0.0001).ToText(), "0.0001");
    EXPECT_EQ(Value(0.00001).ToText(), "1E-05");
    EXPECT_EQ(Value::Date(46364.5).ToText(), "12/8/2026 12:00:00 PM");
    EXPECT_EQ(Value("Grüße").ToText(), "Grüße");
}

TEST(Value, WholeNumbersRoundHalfToEvenAndRefuseWhatIsNoNumber)
{
    EXPECT_EQ(Value("12").ToLong(), 12);
    EXPECT_EQ(Value(" 12 ").ToLong(), 12);
    EXPECT_EQ(Value("9007199254740993").ToLong(), 9007199254740993LL);
    EXPECT_EQ(Value(2.5).ToLong(), 2);
    EXPECT_EQ(Value(3.5).ToLong(), 4);
    EXPECT_EQ(Value("-2.5").ToLong(), -2);
    EXPECT_EQ(Value(true).ToLong(), -1);
    EXPECT_EQ(NumberOf([] { Value().ToLong(); }), err::TypeMismatch);
    EXPECT_EQ(NumberOf([] { Value("").ToLong(); }), err::TypeMismatch);
    EXPECT_EQ(NumberOf([] { Value("12abc").ToLong(); }), err::TypeMismatch);
    EXPECT_EQ(NumberOf([] { Value("0x10").ToLong(); }), err::TypeMismatch);
    EXPECT_EQ(NumberOf([] { Value(1e30).ToLong(); }), 6);
    EXPECT_DOUBLE_EQ(Value("1.5e3").ToDouble(), 1500.0);
    EXPECT_EQ(NumberOf([] { Value("inf").ToDouble(); }), err::TypeMismatch);
}

TEST(Value, BooleansFromNumbersAndWords)
{
    EXPECT_TRUE(Value(7).ToBool());
    EXPECT_FALSE(Value(0.0).ToBool());
    EXPECT_TRUE(Value("true").ToBool());
    EXPECT_FALSE(Value(" False ").ToBool());
    EXPECT_TRUE(Value("-1").ToBool());
    EXPECT_EQ(NumberOf([] { Value("maybe").ToBool(); }), err::TypeMismatch);
    EXPECT_EQ(NumberOf([] { Value().ToBool(); }), err::TypeMismatch);
}

} // namespace
} // namespace mallow::engine
