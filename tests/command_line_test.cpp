// The launcher's command line: "/q" (quiet) and "/v<options>" (passed on to
// the installer), as ParseLauncherCommandLine reads them.
#include "app/launcher_app.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct command_line_case {
  const char* name;
  const wchar_t* line;
  const wchar_t* options;
  bool quiet;
};

const command_line_case kCases[] = {
    {"Empty", L"", L"", false},
    {"OnlyBlanks", L"   ", L"", false},
    {"HyphenQuiet", L"-q", L"/qn", true},
    // "/qn" of the launcher itself is read as "/q"; the installer gets one "/qn".
    {"QuietNoUiOfTheLauncher", L"/qn", L"/qn", true},
    {"QuietNoUiPassedOn", L"/q /v/qn", L"/qn", true},
    {"QuietNoUiInsideOtherOptions", L"/q /v\"/l x.log /qn\"", L"/l x.log /qn", true},
    {"OptionsAlone", L"/vREBOOT=R", L"REBOOT=R", false},
    {"QuietAfterOptions", L"/vREBOOT=R /q", L"REBOOT=R /qn", true},
    {"QuotedOptionsKeepTheirBlanks", L"/v\"/L*v C:\\a b.txt\"", L"/L*v C:\\a b.txt", false},
    {"ApostrophesQuoteToo", L"/v'/L*v C:\\a b.txt'", L"/L*v C:\\a b.txt", false},
    // Outside quotes every hyphen is a slash, even inside a word; inside they stay.
    {"HyphensOutsideQuotesBecomeSlashes", L"-v\"-L*v a-b.log\"", L"-L*v a-b.log", false},
    {"HyphenInsideAWordOutsideQuotes", L"x-vABC", L"vABC", false},
    // "/q" anywhere in a token, also inside the quoted installer options.
    {"QuietInsideQuotedOptions", L"/v\"/qb /l x.log\"", L"/qb /l x.log /qn", true},
    // The options start two characters into the token, wherever "/v" stands.
    {"OptionsAreTheTokenLessTwoCharacters", L"ab/vXY", L"/vXY", false},
    {"QuietAndOptionsInOneToken", L"/q/vX", L"/vX /qn", true},
    {"BareOptionSwitch", L"/v", L"", false},
    {"EmptyQuotedOptionsGetNoBlankBeforeQuiet", L"/q /v\"\"", L"/qn", true},
    // Inside double quotes an apostrophe is text, and the blank after the
    // closing quote still splits.
    {"ApostropheInsideDoubleQuotes", L"/v\"it's a\" /q", L"it's a /qn", true},
    {"DoubleQuoteInsideApostrophes", L"/v'say \"hi\" now'", L"say \"hi\" now", false},
    // An unclosed quote runs to the end of the line.
    {"UnclosedQuote", L"/v\"a b /q", L"a b /q /qn", true},
    {"LaterOptionsReplaceEarlier", L"/vfirst /vsecond", L"second", false},
    {"LaterBareSwitchClearsOptions", L"/vfirst /v", L"", false},
    {"RunsOfBlanks", L"   /q     /vX   ", L"X /qn", true},
    // Both switches are lower case only.
    {"UpperCaseSwitchesAreNotSwitches", L"/Q /VX", L"", false},
};

class CommandLine : public ::testing::TestWithParam<command_line_case> {};

TEST_P(CommandLine, SetsQuietModeAndInstallerOptions) {
  const command_line_case& c = GetParam();
  CLauncherApp app;
  std::wstring line = c.line;
  app.ParseLauncherCommandLine(line);
  EXPECT_EQ(app.m_strInstallerOptions, c.options);
  EXPECT_EQ(app.m_bQuietMode != FALSE, c.quiet);
}

INSTANTIATE_TEST_SUITE_P(Lines, CommandLine, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
