// Log lines and GenICam error texts.
#include <gtest/gtest.h>

#include "nodeview/nodeview_log.h"

namespace nodeview {
namespace {

// Catches a level with the wrong prefix or a swapped placeholder.
TEST(NodeviewLog, FormatsEachLevel) {
  const std::pair<int, const char*> cases[] = {
      {0, "[LMS-Info] msg \t[ file.cpp\t(Line:12) ] \tfunc \n"},
      {1, "[LMS-Err] msg \t[ file.cpp\t(Line:12) ] \tfunc \n"},
      {3, "[LMS-Exception] msg \t[ file.cpp\t(Line:12) ] \tfunc \n"},
      {5, "[LMS-Etc] msg \t[ file.cpp\t(Line:12) ] \tfunc \n"},
      {6, "[LMS] msg \t[ file.cpp\t(Line:12) ] \tfunc \n"},
      {-1, "[LMS] msg \t[ file.cpp\t(Line:12) ] \tfunc \n"},
      {2, ""},
      {4, ""},
  };
  for (const auto& [level, line] : cases) {
    EXPECT_EQ(formatLogLine(level, "func", "file.cpp", 12, "msg"), line) << level;
  }
}

// Catches levels 2 and 4 reaching the debug output, or a message not formatted.
TEST(NodeviewLog, WritesOnlyTheLoudLevels) {
  std::vector<std::string> seen;
  setDebugCapture([&seen](std::string_view text) { seen.emplace_back(text); });
  logLine(2, "f", "a.cpp", 1, "hidden %d", 1);
  logLine(4, "f", "a.cpp", 1, "hidden %d", 2);
  logLine(1, "f", "a.cpp", 3, "shown %d", 3);
  setDebugCapture({});
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "[LMS-Err] shown 3 \t[ a.cpp\t(Line:3) ] \tf \n");
}

// Catches an overlong message that overruns the line instead of being cut.
TEST(NodeviewLog, CutsLongMessages) {
  std::string line = formatLogLine(0, "f", "a.cpp", 1, std::string(10000, 'x'));
  EXPECT_LT(line.size(), 8192u);
  EXPECT_EQ(line.find(std::string(4096, 'x')), std::string::npos);
  EXPECT_NE(line.find(std::string(4095, 'x')), std::string::npos);
}

// The ends of each block of codes and the codes just outside them: catches a block shifted by
// one, a gap read past, or an unknown code given some neighbour's text.
TEST(NodeviewLog, DescribesErrorCodes) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "Success"},
      {-1001, "Unknown Error"},
      {-1015, "Invalid address"},
      {-1016, "Unknown error"},
      {-10001, "Socket error"},
      {-10019, "Invalid header"},
      {-10020, "Unknown error"},
      {-5000, "Unknown error"},
      {42, "Unknown error"},
  };
  for (const auto& [code, text] : cases) {
    EXPECT_STREQ(gcErrorText(code), text) << code;
  }
  EXPECT_EQ(gcErrorLine(-10010), "GC Error : Code(-10010) Desc(Write protect)");
}

} // namespace
} // namespace nodeview
