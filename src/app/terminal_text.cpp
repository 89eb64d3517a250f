#include "app/terminal_text.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>

#include "platform/code_page.h"

namespace morvane {
namespace {

std::string Normalised(std::string_view codeset) {
  std::string out;
  for (char c : codeset) {
    if (c != '-' && c != '_') out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

// Converts with iconv; an input sequence the target cannot hold, or an invalid one, becomes "?"
// and conversion goes on after it (one byte on, or one UTF-8 character on when from is UTF-8).
std::string Convert(std::string_view bytes, const std::string& from, const std::string& to) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(bytes);
  std::string out;
  char buffer[4096];
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    out += '?';
    std::size_t skip = 1;
    if (from == "UTF-8") {
      while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
    }
    in += skip;
    inLeft -= skip;
  }
  iconv_close(cd);
  return out;
}

}  // namespace

TerminalText::TerminalText(std::string_view codeset) : codeset_(codeset) {
  const std::string name = Normalised(codeset);
  if (name == "UTF8" || name.empty() || name == "ANSIX3.41968" || name == "ASCII" ||
      name == "USASCII") {
    kind_ = Kind::UTF8;
  } else if (name == "GBK" || name == "CP936" || name == "GB2312" || name == "EUCCN") {
    kind_ = Kind::CODE_PAGE_936;
  } else {
    kind_ = Kind::OTHER;
  }
}

Text TerminalText::FromTerminal(std::string_view bytes) const {
  switch (kind_) {
    case Kind::UTF8:
      return FromUtf8(bytes);
    case Kind::CODE_PAGE_936:
      return Text(bytes);
    case Kind::OTHER:
      break;
  }
  return FromUtf8(Convert(bytes, codeset_, "UTF-8"));
}

std::string TerminalText::ToTerminal(const Text& text) const {
  switch (kind_) {
    case Kind::UTF8:
      return ToUtf8(text);
    case Kind::CODE_PAGE_936:
      return text.str();
    case Kind::OTHER:
      break;
  }
  return Convert(ToUtf8(text), "UTF-8", codeset_);
}

}  // namespace morvane
