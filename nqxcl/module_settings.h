// What the Camera Link module reads from outside: the user's settings file, the line-rate
// option file, the GenCP driver template, and how it writes its event log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "nqx/NqxModule.h"

namespace nqxcl {

// ~/.config/Quorvane/Lumeris Suite 7.conf ($XDG_CONFIG_HOME when set), section
// [Application_Data]: the values the Windows program keeps in its registry key.
std::string SettingsFilePath();
// "COMPort1Usable" as a number (absent or not a number: 0).
uint32_t ComPort1Usable();
// "GenCPCTIFilePath" (absent: empty; longer than 260 characters: cut there).
std::string GenCpCtiFilePath();

// The folders searched for CLSettingOptions.ini, in order: /etc/cameralink, then the folder of
// the running program.
std::vector<std::string> SettingOptionsFolders();
// The probe's line-rate mask: 1 << MAX_BAUDRATE (section BAUDRATE; empty or missing key 4,
// taken modulo 32) from the first CLSettingOptions.ini found; 16 when there is none.
uint32_t ProbeBaudMask(const std::vector<std::string>& folders);

// The GenCP driver template, first match wins: the GenCP driver in CLProtocol's driver folder;
// the GenCPCTIFilePath setting; the template under $(QNGENICAM_ROOT_V2_4).
std::string GenCpDriverTemplate();

// A probe's answer made a device ID: the short ID split at "#", the first piece trimmed, empty
// later pieces dropped, the others trimmed with their spaces turned into "-".
std::string DeviceIdFromProbe(const std::string& probeAnswer);

// Copies an info text (with its zero) into buffer; a null buffer asks for the size. -1009 for
// null type or size and for a buffer too small, which is left untouched.
int CopyInfoText(const std::string& text, int32_t* type, void* buffer, size_t* size);

// Writes one event: the message, the module, source, function and line, and the
// high-resolution counter; levels 1, 2 and 4 only.
void LogEvent(NQXEventLog* log, int level, const char* message, const char* source,
              const char* function, int line);

// Debug output of the module (stderr when KELPAX_DEBUG is set).
void DebugOut(const std::string& text);

} // namespace nqxcl
