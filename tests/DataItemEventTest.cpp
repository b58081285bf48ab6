#include "DataItem.h"
#include "Event.h"
#include "GameState.h"

#include <gtest/gtest.h>

#include <climits>

TEST(DataItemTest, WholeNumbersRoundTripThroughText) {
    struct Case {
        long value;
        const char* text;
    };
    for (const Case& c :
         {Case{-15, "-15"}, Case{0, "0"}, Case{27, "27"}, Case{2147483647L, "2147483647"},
          Case{LONG_MIN, "-9223372036854775808"}}) {
        DataItem item(c.value);
        EXPECT_EQ(item.getStringVal(), c.text);
        EXPECT_EQ(item.getLongVal(), c.value);
    }
}

TEST(DataItemTest, TextIsParsedLikeAStreamExtraction) {
    struct Case {
        const char* text;
        long expected;
    };
    for (const Case& c :
         {Case{" 42", 42}, Case{"12abc", 12}, Case{"+7", 7}, Case{"\t-3 9", -3}, Case{"abc", 0},
          Case{"", 0}, Case{"-", 0}, Case{"99999999999999999999999", 0},
          // The edges of a hand-written conversion: every white space a stream skips, a sign
          // without a digit right after it, and the two ends of the range.
          Case{"\v\f\r\n8", 8}, Case{"+-5", 0}, Case{"-+5", 0}, Case{"- 5", 0}, Case{"0x1F", 0},
          Case{"-007", -7}, Case{"9223372036854775807", LONG_MAX},
          Case{"-9223372036854775808", LONG_MIN}, Case{"9223372036854775808", 0},
          Case{"-9223372036854775809", 0}}) {
        EXPECT_EQ(DataItem(std::string(c.text)).getLongVal(), c.expected) << '"' << c.text << '"';
    }
}

TEST(DataItemTest, DecimalsAreWrittenAndParsedLikeAStream) {
    EXPECT_EQ(DataItem(1.0 / 3).getStringVal(), "0.333333");
    EXPECT_EQ(DataItem(1e20).getStringVal(), "1e+20");
    EXPECT_EQ(DataItem(-2.5).getStringVal(), "-2.5");
    struct Case {
        const char* text;
        double expected;
    };
    // A stream takes no "inf", "nan" or hexadecimal, nor an exponent without digits, and fails
    // on a number too large for a double.
    for (const Case& c : {Case{" -1e3x", -1000}, Case{"+.5e1", 5}, Case{"5.", 5}, Case{".", 0},
                          Case{"1e", 0}, Case{"1e+", 0}, Case{"inf", 0}, Case{"nan", 0},
                          Case{"0x10", 0}, Case{"1e999", 0}, Case{"1.5.5", 1.5}}) {
        EXPECT_DOUBLE_EQ(DataItem(std::string(c.text)).getDoubleVal(), c.expected) << c.text;
    }
}

TEST(DataItemTest, AssignmentReplacesTheTextAndReturnsTheValue) {
    DataItem item;
    EXPECT_EQ(item.getStringVal(), "");
    EXPECT_EQ(item = 12L, 12L);
    EXPECT_EQ(item.getStringVal(), "12");
    EXPECT_EQ(item = std::string("7 up"), "7 up");
    EXPECT_EQ(item.getLongVal(), 7);
    EXPECT_DOUBLE_EQ(item = 2.5, 2.5);
    EXPECT_DOUBLE_EQ(item.getDoubleVal(), 2.5);
}

TEST(EventTest, NewEventHasEmptyPayloadAndNoNextState) {
    Event event(EVENT_TICK);
    EXPECT_EQ(event.type, EVENT_TICK);
    EXPECT_TRUE(event.data.empty());
    EXPECT_EQ(event.nextState, nullptr);
}

TEST(EventTest, CopyHasItsOwnPayloadButSharesTheNextState) {
    GameState state(nullptr);
    Event original(EVENT_CHANGE_STATE, {DataItem(1L), DataItem(2L)});
    original.nextState = &state;
    Event copy(original);
    copy.data[0] = 99L;
    copy.data.push_back(DataItem(3L));
    EXPECT_EQ(original.data.size(), 2u);
    EXPECT_EQ(original.data[0].getLongVal(), 1);
    EXPECT_EQ(copy.nextState, &state);
}
