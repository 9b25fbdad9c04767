// Fault texts as typed on the command line or put in KELPAX_SIM_FAULTS.
#include <gtest/gtest.h>

#include "sim/faults.h"

namespace {

TEST(FaultsTest, FullTextSetsEveryField) {
  sim::Faults faults;
  std::string error;
  ASSERT_TRUE(sim::parseFaults("silent,error,boot-echo=3,boot-message=Booting...,slow=200,"
                               "drop=0.01,corrupt=0.02,close-after=5,silent-after=0,hang-up=4,"
                               "flood,noise,seed=7,gencp-bad-checksum,gencp-garbage,"
                               "gencp-pending=300",
                               faults, &error))
      << error;
  EXPECT_TRUE(faults.silent);
  EXPECT_TRUE(faults.errorAnswers);
  EXPECT_EQ(faults.bootEchoOnly, 3);
  EXPECT_EQ(faults.bootMessage, "Booting...");
  EXPECT_EQ(faults.slowAnswerMs, 200);
  EXPECT_DOUBLE_EQ(faults.dropRate, 0.01);
  EXPECT_DOUBLE_EQ(faults.corruptRate, 0.02);
  EXPECT_EQ(faults.closeAfterCommands, 5);
  EXPECT_EQ(faults.silentAfterCommands, 0);
  EXPECT_EQ(faults.hangUpInAnswer, 4);
  EXPECT_TRUE(faults.flood);
  EXPECT_TRUE(faults.noise);
  EXPECT_EQ(faults.seed, 7u);
  EXPECT_TRUE(faults.gencpBadChecksum);
  EXPECT_TRUE(faults.gencpGarbage);
  EXPECT_EQ(faults.gencpPendingMs, 300);
}

TEST(FaultsTest, EmptyTextMeansNoFaultAndResetsEarlierOnes) {
  sim::Faults faults;
  faults.silent = true;
  faults.closeAfterCommands = 3;
  ASSERT_TRUE(sim::parseFaults("", faults, nullptr));
  EXPECT_FALSE(faults.silent);
  EXPECT_EQ(faults.closeAfterCommands, -1);
}

TEST(FaultsTest, BootMessageKeepsLineEndEscapes) {
  sim::Faults faults;
  ASSERT_TRUE(sim::parseFaults("boot-message=Boot\\r\\nReady", faults, nullptr));
  EXPECT_EQ(faults.bootMessage, "Boot\r\nReady");
}

// A typo in a fault must be reported, not silently run a camera without the fault.
TEST(FaultsTest, BadTextsAreRefusedAndLeaveFaultsUntouched) {
  const char* bad[] = {
      "silnt",     "slow",      "slow=-5",         "slow=abc",        "drop=1.5",
      "drop=-0.1", "corrupt=x", "close-after=0",   "seed=",           "boot-echo=",
      "silent=1",  "drop=nan",  "close-after=2x",  "silent-after=-1", "hang-up=0",
      "flood=1",   "noise=yes", "gencp-pending=0", "gencp-pending",   "gencp-garbage=1",
  };
  for (const char* text : bad) {
    sim::Faults faults;
    faults.slowAnswerMs = 42;
    std::string error;
    EXPECT_FALSE(sim::parseFaults(text, faults, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
    EXPECT_EQ(faults.slowAnswerMs, 42) << text;
  }
}

} // namespace
