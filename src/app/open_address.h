// The Open command: hands an address to the user's default handler for it.
#pragma once

#include <string>

#include "text/text.h"

namespace morvane {

// The program that opens an address with the user's default handler; looked up on PATH.
inline constexpr const char* OPEN_PROGRAM = "xdg-open";

// The one argument the address becomes. The address is passed as the box holds it (not trimmed,
// not checked, empty stays empty), with one exception: the opener reads an argument that starts
// with "-" as an option and has no "--" to end its options. Such an address cannot be a web
// address (a scheme starts with a letter), so it can only name a file; "./" in front names the
// same file in the current folder and can no longer be taken for an option.
std::u16string OpenArgument(const Text& address);

// Starts the opener with OpenArgument(address) as its only argument, as an argument vector with no
// shell in between, and does not wait for it. Whether it could be started, and what it does, is
// not looked at; nothing is shown.
void OpenAddress(const Text& address);

}  // namespace morvane
