#include "app/fatal.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace morvane {
namespace {

std::atomic<FatalPresenter> presenter{nullptr};
std::atomic<bool> failing{false};

[[noreturn]] void Fail(const std::string& message) {
  // A second failure while the first is being shown (the message box itself may run out of
  // memory) ends the process at once with the same code.
  if (failing.exchange(true)) std::_Exit(FATAL_EXIT_CODE);
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
  if (FatalPresenter show = presenter.load()) show(message);
  std::_Exit(FATAL_EXIT_CODE);
}

}  // namespace

void SetFatalPresenter(FatalPresenter show) { presenter.store(show); }

std::string StartupFailureMessage() { return "运行时错误：载入启动窗口失败。"; }

std::string MemoryFailureMessage(std::optional<std::size_t> bytes) {
  if (!bytes) return "运行时错误：内存不足，无法分配内存。";
  return "运行时错误：内存不足，无法分配 " + std::to_string(*bytes) + " 字节内存。";
}

void FailStartup() { Fail(StartupFailureMessage()); }

void FailMemory(std::optional<std::size_t> bytes) {
  // Building the message needs a little memory. When even that fails (the allocator calls back
  // in here, or throws), a fixed text is written without allocating.
  static std::atomic<bool> building{false};
  if (!building.exchange(true)) {
    try {
      Fail(MemoryFailureMessage(bytes));
    } catch (...) {
    }
  }
  static const char fallback[] = "运行时错误：内存不足。\n";
  [[maybe_unused]] auto written = ::write(2, fallback, sizeof fallback - 1);
  std::_Exit(FATAL_EXIT_CODE);
}

}  // namespace morvane
