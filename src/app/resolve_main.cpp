// morvane-resolve: the Resolve command for scripts and batches, without a window.
//
//   morvane-resolve [SHARE_TEXT...]
//
// Each argument is one share text; with no arguments, each line of standard input is one. For each
// it prints one line, the text the window's result box would show. Every argument is a share text:
// there are no options. Exit status 0 when every input gave an identifier, 1 otherwise.
#include <langinfo.h>

#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/box_access.h"
#include "app/share_link_resolver.h"
#include "app/terminal_text.h"
#include "text/text.h"

namespace morvane {
namespace {

// One input box and one result box, standing in for the window.
class BatchBoxes : public BoxAccess {
 public:
  explicit BatchBoxes(Text input) : input_(std::move(input)) {}
  Text GetBoxText(Box box) override { return box == Box::INPUT ? input_ : result_; }
  void SetBoxText(Box box, const Text& text) override {
    (box == Box::INPUT ? input_ : result_) = text;
  }
  const Text& result() const { return result_; }

 private:
  Text input_;
  Text result_;
};

// True when the run found an identifier: the result is longer than the prefix alone.
bool ResolveOne(const TerminalText& terminal, std::string_view shareText) {
  BatchBoxes boxes(terminal.FromTerminal(shareText));
  ShareLinkResolver(boxes).Resolve();
  const std::string line = terminal.ToTerminal(boxes.result()) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);  // a script reading line by line sees each result as it comes
  return boxes.result().size() > std::string_view(PLAY_ADDRESS_PREFIX).size();
}

int Run(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  const TerminalText terminal(nl_langinfo(CODESET));
  bool allFound = true;
  if (argc > 1) {
    for (int i = 1; i < argc; ++i) allFound = ResolveOne(terminal, argv[i]) && allFound;
    return allFound ? 0 : 1;
  }
  std::string line;
  while (std::getline(std::cin, line)) {
    // Lines from a file with CR LF ends lose the CR with the LF.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    allFound = ResolveOne(terminal, line) && allFound;
  }
  return allFound ? 0 : 1;
}

}  // namespace
}  // namespace morvane

int main(int argc, char** argv) { return morvane::Run(argc, argv); }
