// The command-line settings of the program and their parser. The command line
// is the only configuration: nothing is read from a settings file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cards/typist.h"  // the modifier bits

namespace snimac {

// The working mode; the numbers are the ones the settings have always had.
enum class TMode : int32_t {
  Attendance = 1,  // "net": reads are recorded for the attendance server
  Grab = 2,        // "keyb": card numbers are typed or go to the serial port
};

struct TOptions {
  TMode Mode = TMode::Grab;
  std::string ComPort;                   // accepted and kept, read by nobody
  std::string DbFileName;                // attendance file
  std::vector<std::string> SerialWindows;  // window titles served by the serial port
  bool LogEnabled = false;
  std::string LogDir;                    // empty: the start-up applies the default
  bool PmdpMode = false;
  int32_t PrefixKey = 0;                 // virtual-key code, 0 = no prefix
  uint32_t PrefixModifiers = 0;          // kModifierAlt | kModifierShift | kModifierCtrl (cards/typist.h)
  bool OfferUpgrade = true;
};

// Parses the arguments that follow the program name. Options start with "-"
// or "/" and are matched by whole name, ignoring case; an option with a value
// takes the next argument (or "" when none is left). `defaultDbFileName` is
// used when no non-empty db value was given.
// Throws TStartupError("Neplatný argument '<arg>'") or ("Neplatný prefix '<value>'").
TOptions ParseOptions(const std::vector<std::string>& args, const std::string& defaultDbFileName);

// Parses a prefix key description: any of the modifier letters A, C, S,
// then exactly one key: F1..F24 ("F" and one or two digits), a lower-case
// letter or a digit. `key` and `modifiers` are written only on success.
// Throws TStartupError("Neplatný prefix '<value>'").
void ParsePrefix(const std::string& value, int32_t& key, uint32_t& modifiers);

}  // namespace snimac
