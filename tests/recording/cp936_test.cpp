#include "platform/cp936.h"

#include <gtest/gtest.h>

#include <optional>

namespace korvin::test {
namespace {

TEST(Cp936, ConvertsFromUtf8AndSubstitutesWhatItCannotHold) {
  struct Case {
    const char* name;
    std::string utf8;
    std::string cp936;
  };
  const Case cases[] = {
      {"ascii", "Dryer 3, line B", "Dryer 3, line B"},
      {"degree Celsius", "℃", "\xA1\xE6"},
      {"degree Fahrenheit", "°F", "\xA1\xE3\x46"},
      {"plus-minus", "±0.5",
       "\xA1\xC0"
       "0.5"},
      {"chinese", "露点", "\xC2\xB6\xB5\xE3"},
      {"line breaks kept", "a\r\nb", "a\r\nb"},
      {"outside the code page",
       "a\xF0\x9F\x98\x80"
       "b",
       "a?b"},
      {"invalid utf-8 byte",
       "a\xFF"
       "b",
       "a?b"},
      {"cut-off sequence at the end", "ab\xE2\x84", "ab?"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8ToCp936(c.utf8), c.cp936);
  }
}

TEST(Cp936, FindsWhatTheCodePageCannotHold) {
  struct Case {
    const char* name;
    std::string utf8;
    std::optional<size_t> outside;
    std::string replaced;
    std::string character;  // Utf8CharacterAt the offset found
  };
  const Case cases[] = {
      {"ascii", "test 1", std::nullopt, "test 1", ""},
      {"chinese and degree signs", "露点 ℃ °F", std::nullopt, "露点 ℃ °F", ""},
      {"emoji", "\xF0\x9F\x98\x80x", 0, "?x", "\xF0\x9F\x98\x80"},
      {"after other text", "ab\xF0\x9F\x98\x81", 2, "ab?", "\xF0\x9F\x98\x81"},
      {"invalid byte", "a\xFF", 1, "a?", ""},
      {"cut-off sequence", "ab\xE2\x84", 2, "ab?", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<size_t> outside = FirstCharacterOutsideCp936(c.utf8);
    EXPECT_EQ(outside, c.outside);
    EXPECT_EQ(ReplaceOutsideCp936(c.utf8), c.replaced);
    if (outside) {
      EXPECT_EQ(Utf8CharacterAt(c.utf8, *outside), c.character);
    }
  }
}

TEST(Cp936, ConvertsBackToUtf8) {
  EXPECT_EQ(Cp936ToUtf8("\xA1\xE6 \xC2\xB6\xB5\xE3"), "℃ 露点");
  EXPECT_EQ(Cp936ToUtf8("a\xFF"
                        "b"),
            "a?b");
  const std::string longText(5000, 'x');  // more than one conversion buffer
  EXPECT_EQ(Cp936ToUtf8(Utf8ToCp936(longText + "℃")), longText + "℃");
}

}  // namespace
}  // namespace korvin::test
