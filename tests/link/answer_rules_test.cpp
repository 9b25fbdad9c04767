// Tables of the channel's fixed rules: baud codes, error texts, answer judging and tokens.
#include <gtest/gtest.h>

#include "link/camera_port.h"
#include "link/command_exchange.h"

using namespace kelpax;

// Would catch 57600 sent for code 8, or an unknown code not falling back to 19200.
TEST(BaudCodes, MapToComRates) {
  const struct {
    unsigned code;
    int rate;
  } table[] = {{1, 9600},    {2, 19200}, {4, 38400}, {8, 56000},
               {16, 115200}, {0, 19200}, {3, 19200}, {32, 19200}};
  for (const auto& row : table) {
    EXPECT_EQ(comRateForBaudCode(row.code), row.rate) << "code " << row.code;
  }
}

TEST(ClErrorText, KnownAndUnknownCodes) {
  const struct {
    int code;
    const char* text;
  } table[] = {
      {0, "CL_ERR_NO_ERR\r\n"},
      {-10001, "CL_ERR_BUFFER_TOO_SMALL\r\n"},
      {-10002, "CL_ERR_MANU_DOES_NOT_EXIST\r\n"},
      {-10003, "CL_ERR_PORT_IN_USE\r\n"},
      {-10004, "CL_ERR_TIMEOUT\r\n"},
      {-10005, "CL_ERR_INVALID_INDEX\r\n"},
      {-10006, "CL_ERR_INVALID_REFERENCE\r\n"},
      {-10007, "CL_ERR_ERROR_NOT_FOUND\r\n"},
      {-10008, "CL_ERR_BAUD_RATE_NOT_SUPPORTED\r\n"},
      {-10009, "CL_ERR_OUT_OF_MEMORY\r\n"},
      {-10010, "CL_ERR_REGISTRY_KEY_NOT_FOUND\r\n"},
      {-10011, "CL_ERR_INVALID_PTR\r\n"},
      {-10098, "CL_ERR_UNABLE_TO_LOAD_DLL\r\n"},
      {-10099, "CL_ERR_FUNCTION_NOT_FOUND\r\n"},
      {-10050, "There is no error code:-10050\r\n"},
      {7, "There is no error code:7\r\n"},
  };
  for (const auto& row : table) {
    EXPECT_EQ(ClErrorText(row.code), row.text);
  }
}

// Would catch "Error" counted as success, or an answer with neither word counted as failure,
// or an "OK" inside the echo (before the fourth character) accepting a refusal.
TEST(JudgeAnswer, Outcomes) {
  EXPECT_EQ(judgeAnswer(""), CommandResult::NoAnswer);
  EXPECT_EQ(judgeAnswer("set 1000\r\nOK\r\n>"), CommandResult::Ok);
  EXPECT_EQ(judgeAnswer("sag 1 9999\r\nError : out of range\r\n>"), CommandResult::CameraError);
  EXPECT_EQ(judgeAnswer("stm 1\r\n>"), CommandResult::Ok);
  EXPECT_EQ(judgeAnswer("OKx\r\nError : no\r\n>"), CommandResult::CameraError);
  EXPECT_EQ(judgeAnswer("sxx\r\nError : but OK\r\n>"), CommandResult::Ok);
}

// Would catch text that ran into the time-out before the prompt counting as the camera's
// acceptance: a hang-up after the echo, a flood, noise at a wrong rate.
TEST(JudgeAnswer, TextCutOffBeforeThePromptIsNoAnswer) {
  EXPECT_EQ(judgeAnswer("stm 1\r\n"), CommandResult::NoAnswer);
  EXPECT_EQ(judgeAnswer("gmn\r\nKo-4M-"), CommandResult::NoAnswer);
  EXPECT_EQ(judgeAnswer("line of text\r\nline of text\r\nline of"), CommandResult::NoAnswer);
  EXPECT_EQ(judgeAnswer("\x80\xf8\x1b[2J\xe0\x00\xfe"), CommandResult::NoAnswer);
  EXPECT_EQ(judgeAnswer("> stray prompt, then more"), CommandResult::NoAnswer);
  // What the camera did say still counts: an "OK" or an "Error" before the cut.
  EXPECT_EQ(judgeAnswer("set 1000\r\nOK\r\n"), CommandResult::Ok);
  EXPECT_EQ(judgeAnswer("sag 1 9999\r\nError : out of range\r\n"), CommandResult::CameraError);
  EXPECT_TRUE(endsWithPrompt("stm 1\r\n>"));
  EXPECT_FALSE(endsWithPrompt("stm 1\r\n> "));
}

TEST(StatusTexts, ErrorAcceptedAndPrivileged) {
  EXPECT_EQ(errorTextOf("sag 1 9999\r\nError : out of range\r\n>"), "Error : out of range");
  EXPECT_EQ(errorTextOf("x\r\nError at end"), "Error at end");
  EXPECT_EQ(errorTextOf("set 1\r\nOK\r\n>"), "");
  EXPECT_EQ(acceptedStatusText("set 1000\r\nOK\r\n>", 12), " >> set 1000\r\nOK\r\n(12 ms)");
  // The privileged level's answer never reaches the status line.
  EXPECT_EQ(acceptedStatusText("aar qelmarst\r\nOK\r\n>", 3), "OK(3 ms)");
  EXPECT_EQ(acceptedStatusText("aar x\r\n>", 3), " >> aar x\r\n(3 ms)");
}

TEST(AnswerToken, ValueLineAndPieces) {
  EXPECT_EQ(answerToken("gsn piece\r\n12345\r\n>", 0), "12345");
  EXPECT_EQ(answerToken("gag 1\r\n1   250\r\n>", 1), "250");
  EXPECT_EQ(answerToken("gag 1\r\n1 250\r\n>", 2), "");
  // Blank lines between the echo and the value are skipped.
  EXPECT_EQ(answerToken("gmn\r\n\r\n\r\nKo-25MC-C65\r\n>", 0), "Ko-25MC-C65");
  // Only the echo: no value.
  EXPECT_EQ(answerToken("gmn\r\n\r\n", 0), "");
  EXPECT_EQ(answerToken("gmn\r\n>", 0), "");
  EXPECT_EQ(answerToken("gmn", 0), "");
  EXPECT_EQ(answerToken("", 0), "");
  // Piece 0 counts even when the line starts with a blank.
  EXPECT_EQ(answerToken("gx\r\n 7 8\r\n>", 0), "");
  EXPECT_EQ(answerToken("gx\r\n 7 8\r\n>", 1), "7");
}
