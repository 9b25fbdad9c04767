// The serial terminal's keyword rules and its output box's overflow trim.
#include <string>

#include <gtest/gtest.h>

#include "link/terminal_rules.h"

using namespace kelpax;

namespace {

// A check string of exactly `length` characters: `text` padded with dots before the prompt.
std::string padded(std::string text, std::size_t length) {
  text.resize(length - 1, '.');
  return text + ">";
}

} // namespace

// Would catch line breaks counting towards the 51-character limit, or the space of "sbr "
// being dropped (codes read as hexadecimal 0x21 on).
TEST(TerminalCheckString, KeepsCodes21To126Only) {
  EXPECT_EQ(checkStringOf("sbr 115200\r\nOK\r\n>"), "sbr 115200OK>");
  EXPECT_EQ(checkStringOf(std::string("a\x14\x15~\x7f\t\xe9", 7) + ">"), "a\x15~>");
  EXPECT_TRUE(isCheckCharacter(' '));
  EXPECT_FALSE(isCheckCharacter('\n'));
  EXPECT_FALSE(isCheckCharacter('\x80'));
}

// Each row would catch one keyword mapped to the wrong action, the prompt not required,
// or a later keyword winning over an earlier one.
TEST(TerminalAction, ShortAnswersTakeTheFirstKeywordInOrder) {
  const struct {
    const char* check;
    TerminalAction action;
  } table[] = {
      {"quarvelint>", TerminalAction::TuningMode},
      {"bastion4829163>", TerminalAction::FactoryMode},
      {"color calibration>", TerminalAction::ColorCalibration},
      {"sbr 115200OK>", TerminalAction::ChangePort},
      {"stitch>", TerminalAction::Stitch},
      {"gmnKo-25MC>", TerminalAction::None},
      // the prompt must end the text
      {"quarvelint", TerminalAction::None},
      {"quarvelint>OK", TerminalAction::None},
      {"", TerminalAction::None},
      {">", TerminalAction::None},
      // a baud-rate change needs the camera's OK
      {"sbr 115200Error: bad rate>", TerminalAction::None},
      {"sbr115200OK>", TerminalAction::None},
      // order: tuning, factory, colour, baud rate, stitch
      {"stitch quarvelint>", TerminalAction::TuningMode},
      {"bastion4829163 quarvelint>", TerminalAction::TuningMode},
      {"color calibration bastion4829163>", TerminalAction::FactoryMode},
      {"stitch color calibration>", TerminalAction::ColorCalibration},
      {"stitch sbr 9600 OK>", TerminalAction::ChangePort},
      // a short start-up text is not one
      {"Initializing Ko-25MC>", TerminalAction::None},
      // keywords are case-sensitive
      {"QUARVELINT>", TerminalAction::None},
  };
  for (const auto& row : table)
    EXPECT_EQ(terminalActionFor(row.check, "Ko-25MC"), row.action) << row.check;
}

// Would catch the five short-answer keywords acting in a long text (a camera's boot text
// that mentions "stitch" must not open the stitch dialog).
TEST(TerminalAction, LongTextsReactOnlyToStartUp) {
  for (const char* keyword :
       {"quarvelint", "bastion4829163", "color calibration", "sbr 9600 OK", "stitch"}) {
    EXPECT_EQ(terminalActionFor(padded(keyword, 60), "Ko-25MC"), TerminalAction::None) << keyword;
    EXPECT_EQ(terminalActionFor(padded(std::string(keyword) + "Initializing", 60), "Ko-25MC"),
              TerminalAction::ChangePort)
        << keyword;
  }
}

// Would catch an off-by-one at the 51-character border between answers and start-up texts.
TEST(TerminalAction, FiftyOneCharactersIsTheStartUpBorder) {
  EXPECT_EQ(terminalActionFor(padded("stitch Initializing Ko-25MC", 50), "Ko-25MC"),
            TerminalAction::Stitch);
  EXPECT_EQ(terminalActionFor(padded("stitch Initializing Ko-25MC", 51), "Ko-25MC"),
            TerminalAction::Refresh);
}

// Would catch a start-up text of another camera refreshing instead of rescanning, or an
// unknown (empty) model name matching every text.
TEST(TerminalAction, StartUpRefreshesOnlyForTheConnectedModel) {
  const std::string boot = padded("Initializing camera Ko-25MC-C65 firmware 2.1", 70);
  EXPECT_EQ(terminalActionFor(boot, "Ko-25MC-C65"), TerminalAction::Refresh);
  EXPECT_EQ(terminalActionFor(boot, "Ka-47M-M40"), TerminalAction::ChangePort);
  EXPECT_EQ(terminalActionFor(boot, ""), TerminalAction::ChangePort);
  EXPECT_EQ(terminalActionFor(padded("Initializing Ko-25MC-C65", 70).substr(0, 69), "Ko-25MC-C65"),
            TerminalAction::None); // no prompt yet
}

// Would catch the port change or refresh emptying the box, or a keyword leaving it full.
TEST(TerminalAction, WhichActionsEmptyTheOutput) {
  const struct {
    TerminalAction action;
    bool empties;
  } table[] = {
      {TerminalAction::None, false},       {TerminalAction::TuningMode, true},
      {TerminalAction::FactoryMode, true}, {TerminalAction::ColorCalibration, true},
      {TerminalAction::ChangePort, false}, {TerminalAction::Stitch, true},
      {TerminalAction::Refresh, false},
  };
  for (const auto& row : table)
    EXPECT_EQ(actionEmptiesOutput(row.action), row.empties) << static_cast<int>(row.action);
}

// Would catch an accepted rate change re-reading every page at the rate the camera has left
// (one time-out per setting) before its rescan, or a keyword that opens a dialog skipping the
// re-read it still needs.
TEST(TerminalAction, OnlyARescanOrRefreshReplacesThePageReread) {
  for (TerminalAction action :
       {TerminalAction::None, TerminalAction::TuningMode, TerminalAction::FactoryMode,
        TerminalAction::ColorCalibration, TerminalAction::Stitch})
    EXPECT_FALSE(actionReplacesReread(action)) << static_cast<int>(action);
  EXPECT_TRUE(actionReplacesReread(terminalActionFor(checkStringOf("sbr 9600\r\nOK\r\n>"), "")));
  EXPECT_TRUE(actionReplacesReread(TerminalAction::Refresh));
  EXPECT_FALSE(actionReplacesReread(
      terminalActionFor(checkStringOf("sbr 4800\r\nError : invalid parameter\r\n>"), "")));
}

// Would catch carriage returns reaching the box.
TEST(TerminalFeed, DropsCarriageReturns) {
  std::string box = "old\n";
  EXPECT_EQ(feedTerminalText(box, "gmn\r\nKo-25MC\r\n>", 1000), 0);
  EXPECT_EQ(box, "old\ngmn\nKo-25MC\n>");
}

// Would catch the trim dropping the newest text or the character that hit the limit, or
// the box growing past its limit.
TEST(TerminalFeed, OverflowDropsTheOldestThreeThousand) {
  std::string box(9999, 'a');
  EXPECT_EQ(feedTerminalText(box, "XYZ", 10000), 1);
  // 'X' filled the box; 'Y' found it full, so the first 3000 went before it.
  EXPECT_EQ(box.size(), 10002u - 3000u);
  EXPECT_EQ(box.substr(box.size() - 3), "XYZ");
  EXPECT_EQ(box.find_first_not_of('a'), 6999u);
}

// Would catch a text longer than the whole box losing its end, or a trim loop that never
// ends when the box is smaller than one trim.
TEST(TerminalFeed, LongTextsKeepTheirEnd) {
  std::string received;
  for (int i = 0; i < 20000; ++i)
    received.push_back(static_cast<char>('a' + i % 26));
  std::string box;
  // Full at characters 5001, 8001, 11001, 14001 and 17001.
  EXPECT_EQ(feedTerminalText(box, received, 5000), 5);
  EXPECT_LE(box.size(), 5000u);
  EXPECT_EQ(box, received.substr(received.size() - box.size()));

  std::string tiny = "0123";
  EXPECT_EQ(feedTerminalText(tiny, "xy", 5), 1);
  EXPECT_EQ(tiny, "y");
}

// Would catch a box already over a lowered limit keeping its excess.
TEST(TerminalFeed, LoweredLimitTrimsUntilThereIsRoom) {
  std::string box(7000, 'a');
  EXPECT_EQ(feedTerminalText(box, "b", 2000), 2); // 7000, 4000, then 1000 leaves room
  EXPECT_EQ(box, std::string(1000, 'a') + "b");
}
