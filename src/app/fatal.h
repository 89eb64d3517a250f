// The only two failures that end the process: the window cannot be built at start-up, or memory for
// a value cannot be obtained. Each writes its message to standard error, shows it through the
// presenter that the program installed (a message box in the window program), and ends the
// process with exit code -1.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace morvane {

inline constexpr int FATAL_EXIT_CODE = -1;

// Shows a message (UTF-8) to the user and returns when it has been dismissed. It must not rely on
// the failing allocation having succeeded; a presenter that cannot show anything just returns.
using FatalPresenter = void (*)(const std::string& message);
void SetFatalPresenter(FatalPresenter presenter);

std::string StartupFailureMessage();
// bytes is left out when the failing allocation did not say how much it asked for.
std::string MemoryFailureMessage(std::optional<std::size_t> bytes);

[[noreturn]] void FailStartup();
[[noreturn]] void FailMemory(std::optional<std::size_t> bytes);

}  // namespace morvane
