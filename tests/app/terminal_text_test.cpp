#include "app/terminal_text.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(TerminalText, ConvertsByTheLocalesCharacterSet) {
  struct Row {
    const char* codeset;
    std::string terminal;  // bytes as the terminal has them
    Text text;             // code page 936
  } rows[] = {
      {"UTF-8", "视频 http://x/a", "\xCA\xD3\xC6\xB5 http://x/a"},
      {"utf8", "视频", "\xCA\xD3\xC6\xB5"},
      // The C locale's ASCII is read as UTF-8.
      {"ANSI_X3.4-1968", "视频", "\xCA\xD3\xC6\xB5"},
      {"GBK", "\xCA\xD3\xC6\xB5", "\xCA\xD3\xC6\xB5"},
      {"GB2312", "\xCA\xD3\xC6\xB5", "\xCA\xD3\xC6\xB5"},
      {"GB18030", "\xCA\xD3\xC6\xB5", "\xCA\xD3\xC6\xB5"},
      {"BIG5", "\xB5\xF8\xC0\x57", "\xD2\x95\xEE\x6C"},  // 視頻, traditional in both
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.codeset);
    const TerminalText terminal(row.codeset);
    EXPECT_EQ(terminal.FromTerminal(row.terminal), row.text);
    EXPECT_EQ(terminal.ToTerminal(row.text), row.terminal);
  }
}

TEST(TerminalText, WhatCannotBeHeldBecomesAQuestionMark) {
  EXPECT_EQ(TerminalText("UTF-8").FromTerminal("a\xF0\x9F\x98\x80"
                                               "b\xFF"),
            Text("a?b?"));
  // Latin-1 holds neither character; each becomes one "?".
  EXPECT_EQ(TerminalText("ISO-8859-1").ToTerminal("\xCA\xD3\xC6\xB5 \xA8\xA6"), "?? \xE9");
  EXPECT_EQ(TerminalText("ISO-8859-1").FromTerminal("\xE9"), Text("\xA8\xA6"));
}

}  // namespace
}  // namespace morvane
