// Faults a simulated camera can be told to show, and their text form for command lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/binary_frames.h"

namespace sim {

struct Faults {
  bool silent = false;         // commands are read, nothing is sent back
  bool errorAnswers = false;   // every command is answered with an "Error" line
  int bootEchoOnly = 0;        // the next N commands get their echo line only, no answer, no prompt
  std::string bootMessage;     // sent unasked when the link opens
  int slowAnswerMs = 0;        // delay between the echo and the answer of every command
  double dropRate = 0;         // probability that a byte sent back is lost
  double corruptRate = 0;      // probability that a byte sent back has one bit flipped
  int closeAfterCommands = -1; // the link closes once the answer to the Nth command (or GenCP
                               // packet) is out
  int silentAfterCommands = -1; // the first N commands are answered, later ones get nothing
  int hangUpInAnswer = -1;      // the Nth command's answer stops halfway, then the link closes
  int refuseCommand = -1;       // the Nth command is answered "Error" and not carried out
  bool flood = false;           // every command gets its echo and a run of text, never a prompt
  bool noise = false;           // every command gets bytes as a line at a wrong rate delivers
  uint32_t seed = 1;            // seeds the lost/corrupted byte draws so runs repeat
  // GenCP cameras only: acknowledges with a wrong SCD checksum, bytes that are no packet, and
  // a pending acknowledge before every answer, which then comes this many ms later.
  bool gencpBadChecksum = false;
  bool gencpGarbage = false;
  int gencpPendingMs = 0;
  FrameFaults frames; // faults of binary transfers
};

// Parses "silent,error,boot-echo=3,boot-message=Booting...,slow=200,drop=0.01,corrupt=0.01,
// close-after=5,silent-after=4,refuse-at=6,hang-up=3,flood,noise,seed=7", GenCP cameras'
// "gencp-bad-checksum,gencp-garbage,gencp-pending=400" and the binary transfers' "nak-at=K,
// bad-ack,frame-drop=N,frame-corrupt=N,reply-checksum=N,frame-close=N,huge-upload" (any subset,
// any order; empty means no fault). A boot message runs to the end of its item; "\r" and "\n"
// in it stand for CR and LF. On failure returns false, says why in *error (if given) and leaves
// out untouched.
bool parseFaults(std::string_view text, Faults& out, std::string* error);

} // namespace sim
