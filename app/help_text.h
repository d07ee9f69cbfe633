// The answers to --help and --version, written once for every front end:
// the options, the environment settings with this system's defaults, and the
// version of the product. They are recognised before the option parser and
// only as the sole argument, so that every other command line keeps the
// parser's rules (e.g. "-ser --help" is a window title, and "--help" among
// other options is rejected as an argument like any unknown one).
#pragma once

#include <string>
#include <vector>

namespace snimac {

enum class TInfoRequest { None, Help, Version };

// Help for --help or Version for --version when that is the only argument.
TInfoRequest InfoRequestOf(const std::vector<std::string>& args);

// The program that answers: its name, what it does with reads, its defaults.
enum class THelpProgram {
  LinuxDesktop,  // snimac (Qt): tray icon and window
  LinuxConsole,  // snimac-headless: lines on stdout
  Windows,       // snimac.exe
};

// The project's version, e.g. "1.15".
std::string ProductVersion();

// The text for `request` (not None), UTF-8, ending with a newline.
std::string InfoText(TInfoRequest request, THelpProgram program);

}  // namespace snimac
