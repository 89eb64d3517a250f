#include "platform/regex_component.h"

#include <utility>

namespace morvane {
namespace {

// Everything runs on the UI thread (tests replace it between cases), so a plain global will do.
RegexComponentFactory& Factory() {
  static RegexComponentFactory factory;
  return factory;
}

}  // namespace

std::shared_ptr<RegexComponent> CreateRegexComponent() {
  const RegexComponentFactory& factory = Factory();
  return factory ? factory() : MakePlatformRegexComponent();
}

RegexComponentFactory SetRegexComponentFactory(RegexComponentFactory factory) {
  return std::exchange(Factory(), std::move(factory));
}

}  // namespace morvane
