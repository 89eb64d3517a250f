#include "app/open_address.h"

#include "platform/code_page.h"

namespace morvane {

std::u16string OpenArgument(const Text& address) {
  std::u16string argument = ToWide(address);
  if (!argument.empty() && argument.front() == u'-') argument.insert(0, u"./");
  return argument;
}

}  // namespace morvane
