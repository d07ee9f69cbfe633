#include "app/help_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/startup_error.h"
#include "app/texts.h"

namespace snimac {
namespace {

const std::vector<THelpProgram> kAllPrograms = {THelpProgram::LinuxDesktop, THelpProgram::LinuxConsole,
                                                THelpProgram::Windows};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

size_t Columns(const std::string& line) {
  size_t n = 0;
  for (const char c : line) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

TEST(HelpText, OnlyTheSoleArgumentAsksForHelpOrVersion) {
  struct TCase {
    std::vector<std::string> args;
    TInfoRequest expected;
  };
  const TCase cases[] = {
      {{"--help"}, TInfoRequest::Help},
      {{"--version"}, TInfoRequest::Version},
      {{}, TInfoRequest::None},
      {{"--help", "-net"}, TInfoRequest::None},
      {{"-ser", "--help"}, TInfoRequest::None},  // a window title
      {{"--version", "--help"}, TInfoRequest::None},
      {{"-help"}, TInfoRequest::None},
      {{"/version"}, TInfoRequest::None},
      {{"--HELP"}, TInfoRequest::None},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(InfoRequestOf(c.args), c.expected) << ::testing::PrintToString(c.args);
  }
}

TEST(HelpText, AnywhereElseTheParserStillRejectsIt) {
  try {
    ParseOptions({"-net", "--help"}, "db");
    FAIL() << "--help after an option was accepted";
  } catch (const TStartupError& e) {
    EXPECT_EQ(std::string(e.what()), texts::With(texts::kErrArgument, "--help"));
  }
}

// Every option the help shows is one the parser takes, with a value exactly
// where the help shows one, and the help shows all ten of them.
TEST(HelpText, ListsTheParsersOptionsWithTheirValues) {
  for (const THelpProgram program : kAllPrograms) {
    int options = 0;
    for (const std::string& line : Lines(InfoText(TInfoRequest::Help, program))) {
      if (line.rfind("  -", 0) != 0 || line.rfind("  --", 0) == 0) continue;
      std::istringstream words(line);
      std::string name, placeholder;
      words >> name >> placeholder;
      // A placeholder is an upper-case word right after the name.
      const bool takesValue = !placeholder.empty() && placeholder[0] >= 'A' && placeholder[0] <= 'Z';
      std::vector<std::string> args = {name};
      if (takesValue) args.push_back("x");
      EXPECT_NO_THROW(ParseOptions(args, "db")) << line;
      if (!takesValue) {
        // Without a value the option leaves the next argument to the parser.
        EXPECT_THROW(ParseOptions({name, "x"}, "db"), TStartupError) << line;
      }
      ++options;
    }
    EXPECT_EQ(options, 10);
  }
}

TEST(HelpText, ShowsTheDefaultsAndSettingsOfItsSystem) {
  const std::string desktop = InfoText(TInfoRequest::Help, THelpProgram::LinuxDesktop);
  const std::string console = InfoText(TInfoRequest::Help, THelpProgram::LinuxConsole);
  const std::string windows = InfoText(TInfoRequest::Help, THelpProgram::Windows);

  EXPECT_EQ(desktop.rfind("Použití: snimac [volby]\n", 0), 0u);
  EXPECT_EQ(console.rfind("Použití: snimac-headless [volby]\n", 0), 0u);
  EXPECT_EQ(windows.rfind("Použití: snimac.exe [volby]\n", 0), 0u);
  for (const std::string* linuxHelp : {&desktop, &console}) {
    EXPECT_NE(linuxHelp->find("~/vestibar/vestibar.db"), std::string::npos);
    EXPECT_NE(linuxHelp->find("$XDG_RUNTIME_DIR/snimac-cncb0"), std::string::npos);
    EXPECT_NE(linuxHelp->find("výchozí tty"), std::string::npos);
    EXPECT_NE(linuxHelp->find("DISPLAY"), std::string::npos);
    EXPECT_EQ(linuxHelp->find("d:\\"), std::string::npos);
  }
  EXPECT_NE(windows.find("d:\\vestibar\\vestibar.db"), std::string::npos);
  EXPECT_NE(windows.find("d:\\temp\\"), std::string::npos);
  EXPECT_NE(windows.find("\\\\.\\CNCB0"), std::string::npos);
  EXPECT_NE(windows.find("výchozí d2xx"), std::string::npos);
  EXPECT_EQ(windows.find("DISPLAY"), std::string::npos);
  // Only the console host writes typed texts as lines.
  EXPECT_NE(console.find("standardním výstupu"), std::string::npos);
  EXPECT_EQ(desktop.find("standardním výstupu"), std::string::npos);

  for (const THelpProgram program : kAllPrograms) {
    const std::string help = InfoText(TInfoRequest::Help, program);
    for (const char* setting :
         {"SNIMAC_FTDI", "SNIMAC_DEVICES", "SNIMAC_SERIAL_PORT", "SNIMAC_SERVER", "SNIMAC_LATENCY_MS",
          "SNIMAC_SIM_CARD_INTERVAL_MS", "localhost:11000"}) {
      EXPECT_NE(help.find(setting), std::string::npos) << setting;
    }
    for (const std::string& line : Lines(help)) EXPECT_LE(Columns(line), 80u) << line;
    EXPECT_EQ(help.back(), '\n');
  }
}

TEST(HelpText, VersionIsTheProjectsAndMatchesTheIdentityLine) {
  EXPECT_EQ(InfoText(TInfoRequest::Version, THelpProgram::LinuxDesktop), "snimac " + ProductVersion() + "\n");
  EXPECT_EQ(InfoText(TInfoRequest::Version, THelpProgram::Windows), "snimac " + ProductVersion() + "\n");
  EXPECT_EQ(InfoText(TInfoRequest::Version, THelpProgram::LinuxConsole),
            "snimac-headless (snimac) " + ProductVersion() + "\n");
  // The identity line the reader's window shows carries the same number.
  EXPECT_EQ(std::string(texts::kVersion), "v" + ProductVersion() + "-QRX");
}

}  // namespace
}  // namespace snimac
