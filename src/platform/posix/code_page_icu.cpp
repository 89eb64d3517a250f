// Code page 936 through tables built once from ICU's "windows-936" converter, which carries the
// platform's own mapping (the euro sign at 0x80, U+F8F5 at 0xFF, the user-defined areas in the
// private use area). The tables let us apply the platform's rules for bytes the code page does not
// define exactly, which ICU's callbacks do not express, and make each conversion a table walk.
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <array>
#include <cstring>
#include <cstdint>
#include <memory>

#include "platform/code_page.h"

namespace morvane {
namespace {

constexpr char16_t kNone = 0;
constexpr char kDefaultChar = '?';

struct Tables {
  // Pairs: index (first - 0x81) * 256 + second; kNone where the code page defines no character.
  std::array<char16_t, 126 * 256> pair{};
  // Code unit -> bytes: 0 when none, a single byte below 0x100, else (first << 8) | second.
  std::array<std::uint16_t, 65536> bytes{};
};

std::unique_ptr<Tables> BuildTables() {
  auto tables = std::make_unique<Tables>();
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open("windows-936", &status);
  if (U_SUCCESS(status)) {
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  }
  for (unsigned first = 0x81; first <= 0xFE && U_SUCCESS(status); ++first) {
    for (unsigned second = 0x40; second <= 0xFE; ++second) {
      const char in[2] = {static_cast<char>(first), static_cast<char>(second)};
      UChar out[4];
      UErrorCode one = U_ZERO_ERROR;
      const int32_t n = ucnv_toUChars(converter, out, 4, in, 2, &one);
      if (U_SUCCESS(one) && n == 1 && out[0] != 0xFFFD && out[0] != 0x1A) {
        tables->pair[(first - 0x81) * 256 + second] = out[0];
      }
    }
  }
  ucnv_close(converter);

  for (unsigned b = 1; b < 0x80; ++b) tables->bytes[b] = static_cast<std::uint16_t>(b);
  tables->bytes[0x20AC] = 0x80;
  tables->bytes[0xF8F5] = 0xFF;
  for (unsigned first = 0x81; first <= 0xFE; ++first) {
    for (unsigned second = 0x40; second <= 0xFE; ++second) {
      const char16_t unit = tables->pair[(first - 0x81) * 256 + second];
      if (unit != kNone && tables->bytes[unit] == 0) {
        tables->bytes[unit] = static_cast<std::uint16_t>(first << 8 | second);
      }
    }
  }
  return tables;
}

const Tables& GetTables() {
  static const std::unique_ptr<Tables> tables = BuildTables();
  return *tables;
}

bool StandsAlone(unsigned char b) { return b <= 0x80 || b == 0xFF; }

bool IsAsciiBlock(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return (w & 0x8080808080808080ull) == 0;
}

}  // namespace

std::u16string ToWide(const Text& text) {
  const Tables& tables = GetTables();
  const std::string_view s = text.view();
  // Every byte gives at most one code unit, so the result fits in as many units as there are bytes.
  std::u16string out(s.size(), u'\0');
  char16_t* o = out.data();
  for (std::size_t i = 0; i < s.size();) {
    // Pages are mostly ASCII: eight such bytes widen at once.
    if (i + 8 <= s.size() && IsAsciiBlock(s.data() + i)) {
      for (int k = 0; k < 8; ++k) *o++ = static_cast<unsigned char>(s[i + k]);
      i += 8;
      continue;
    }
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      *o++ = b;
      i += 1;
    } else if (b == 0x80) {
      *o++ = u'\u20AC';
      i += 1;
    } else if (b == 0xFF) {
      *o++ = u'\uF8F5';
      i += 1;
    } else if (i + 1 == s.size()) {
      *o++ = kDefaultChar;
      i += 1;
    } else {
      const auto second = static_cast<unsigned char>(s[i + 1]);
      const char16_t unit = tables.pair[(b - 0x81) * 256 + second];
      *o++ = unit != kNone ? unit : char16_t{kDefaultChar};
      i += unit == kNone && StandsAlone(second) ? 1 : 2;
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

Text FromWide(std::u16string_view wide) {
  const Tables& tables = GetTables();
  // Every code unit gives at most two bytes.
  std::string out(wide.size() * 2, '\0');
  char* o = out.data();
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const char16_t unit = wide[i];
    if (unit == 0) break;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      ++i;  // one character beyond the basic plane: one default character
    }
    const std::uint16_t bytes = tables.bytes[unit];
    if (bytes == 0) {
      *o++ = kDefaultChar;
    } else if (bytes < 0x100) {
      *o++ = static_cast<char>(bytes);
    } else {
      *o++ = static_cast<char>(bytes >> 8);
      *o++ = static_cast<char>(bytes & 0xFF);
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return Text(std::move(out));
}

std::string Utf16ToUtf8(std::u16string_view wide) {
  std::string out(wide.size() * 3, '\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length,
                     reinterpret_cast<const UChar*>(wide.data()), static_cast<int32_t>(wide.size()),
                     0xFFFD, nullptr, &status);
  out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out(utf8.size(), u'\0');
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, utf8.data(), static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr,
                       &status);
  out.resize(U_SUCCESS(status) ? static_cast<std::size_t>(length) : 0);
  return out;
}

std::string ToUtf8(const Text& text) { return Utf16ToUtf8(ToWide(text)); }

Text FromUtf8(std::string_view utf8) { return FromWide(Utf8ToUtf16(utf8)); }

}  // namespace morvane
