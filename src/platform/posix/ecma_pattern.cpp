#include "platform/posix/ecma_pattern.h"

#include <unicode/ustring.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <vector>

namespace morvane::ecma {
namespace {

constexpr char16_t kLf = 0x0A, kCr = 0x0D, kLs = 0x2028, kPs = 0x2029;

// The case classes of Canonicalize, built once: canon[u], and for every unit whose class has more
// than one member, the next member of its class in a ring.
struct CaseTables {
  std::array<char16_t, 65536> canon{};
  std::array<char16_t, 65536> next{};
  std::vector<char16_t> folding;  // units whose class has more than one member
};

std::unique_ptr<CaseTables> BuildCaseTables() {
  auto t = std::make_unique<CaseTables>();
  for (unsigned u = 0; u < 65536; ++u) {
    char16_t c = static_cast<char16_t>(u);
    if (u < 0xD800 || u > 0xDFFF) {
      const UChar in[1] = {static_cast<UChar>(u)};
      UChar out[8];
      UErrorCode status = U_ZERO_ERROR;
      const int32_t n = u_strToUpper(out, 8, in, 1, "", &status);
      if (U_SUCCESS(status) && n == 1 && !(u >= 128 && out[0] < 128)) c = out[0];
    }
    t->canon[u] = c;
    t->next[u] = static_cast<char16_t>(u);
  }
  // Link every unit into the ring of its canonical unit.
  std::vector<int> last(65536, -1);
  std::vector<int> first(65536, -1);
  for (unsigned u = 0; u < 65536; ++u) {
    const char16_t c = t->canon[u];
    if (first[c] < 0) {
      first[c] = static_cast<int>(u);
    } else {
      t->next[static_cast<unsigned>(last[c])] = static_cast<char16_t>(u);
    }
    last[c] = static_cast<int>(u);
  }
  for (unsigned c = 0; c < 65536; ++c) {
    if (first[c] >= 0 && first[c] != last[c]) {
      t->next[static_cast<unsigned>(last[c])] = static_cast<char16_t>(first[c]);
      for (int u = first[c];;) {
        t->folding.push_back(static_cast<char16_t>(u));
        u = t->next[static_cast<unsigned>(u)];
        if (u == first[c]) break;
      }
    }
  }
  return t;
}

const CaseTables& Cases() {
  static const std::unique_ptr<CaseTables> tables = BuildCaseTables();
  return *tables;
}

bool IsAsciiLetter(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }
bool IsOctal(char16_t c) { return c >= '0' && c <= '7'; }
int HexValue(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

using UnitSet = std::bitset<65536>;

void AddRange(UnitSet& set, unsigned from, unsigned to) {
  for (unsigned u = from; u <= to; ++u) set.set(u);
}

// The sets behind \d, \s and \w; their complements stand for \D, \S and \W.
void AddClassEscape(UnitSet& set, char16_t letter) {
  UnitSet own;
  switch (letter | 0x20) {
    case 'd':
      AddRange(own, '0', '9');
      break;
    case 's':
      AddRange(own, 0x09, 0x0D);  // tab, line feed, vertical tab, form feed, carriage return
      own.set(' ');
      break;
    default:  // 'w'
      AddRange(own, '0', '9');
      AddRange(own, 'A', 'Z');
      AddRange(own, 'a', 'z');
      own.set('_');
  }
  if (letter >= 'A' && letter <= 'Z') own.flip();
  set |= own;
}

// Adds to set every unit that matches one of its members when case is ignored.
void CloseOverCase(UnitSet& set) {
  for (unsigned c = 'A'; c <= 'Z'; ++c) {
    if (set.test(c) || set.test(c + 32)) {
      set.set(c);
      set.set(c + 32);
    }
  }
  const CaseTables& t = Cases();
  UnitSet add;
  for (char16_t u : t.folding) {
    if (u >= 128 && set.test(u)) {
      for (char16_t v = t.next[u]; v != u; v = t.next[v]) add.set(v);
    }
  }
  set |= add;
}

class Translator {
 public:
  Translator(std::u16string_view pattern, bool ignoreCase, bool multiline)
      : p_(pattern), ignoreCase_(ignoreCase), multiline_(multiline) {}

  std::optional<PcrePattern> Run() {
    groups_ = CountGroups();
    if (!Disjunction(0) || i_ != p_.size()) return std::nullopt;  // i_ short: a stray ")"
    return PcrePattern{std::move(out_), groups_};
  }

 private:
  bool AtEnd() const { return i_ >= p_.size(); }
  char16_t Peek(std::size_t ahead = 0) const {
    return i_ + ahead < p_.size() ? p_[i_ + ahead] : char16_t{0xFFFF};
  }
  bool More(std::size_t ahead) const { return i_ + ahead < p_.size(); }

  // Capturing groups in the whole pattern: a back-reference may name a group that opens later.
  int CountGroups() const {
    int n = 0;
    for (std::size_t i = 0; i < p_.size(); ++i) {
      if (p_[i] == '\\') {
        ++i;
      } else if (p_[i] == '[') {
        for (++i; i < p_.size() && p_[i] != ']'; ++i) {
          if (p_[i] == '\\') ++i;
        }
      } else if (p_[i] == '(' && (i + 1 >= p_.size() || p_[i + 1] != '?')) {
        ++n;
      }
    }
    return n;
  }

  void Emit(const char* ascii) {
    while (*ascii) out_ += static_cast<char16_t>(*ascii++);
  }
  void EmitHex(char16_t u) {
    static const char kDigits[] = "0123456789abcdef";
    Emit("\\x{");
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const unsigned d = (u >> shift) & 0xF;
      if (d || started || shift == 0) {
        out_ += static_cast<char16_t>(kDigits[d]);
        started = true;
      }
    }
    out_ += u'}';
  }
  void EmitNumber(long value) {
    for (char c : std::to_string(value)) out_ += static_cast<char16_t>(c);
  }

  void EmitLiteral(char16_t u) {
    if (ignoreCase_ && u >= 128) {
      const CaseTables& t = Cases();
      if (t.next[u] != u) {
        // The members of its case class, straight from the ring: a class of a few units.
        out_ += u'[';
        char16_t v = u;
        do {
          EmitHex(v);
          v = t.next[v];
        } while (v != u);
        out_ += u']';
        return;
      }
    }
    if (IsAsciiLetter(u) || IsDigit(u)) {
      out_ += u;
    } else {
      EmitHex(u);
    }
  }

  // A class as PCRE2 ranges. With case ignored the set is first closed over case, so that
  // PCRE2's own ASCII folding adds nothing and a negated class excludes every case variant.
  void EmitSet(UnitSet set, bool negated) {
    if (ignoreCase_) CloseOverCase(set);
    if (set.none()) {
      Emit(negated ? "[\\x{0}-\\x{ffff}]" : "(?:(?!))");
      return;
    }
    Emit(negated ? "[^" : "[");
    for (unsigned u = 0; u < 65536;) {
      if (!set.test(u)) {
        ++u;
        continue;
      }
      unsigned end = u;
      while (end + 1 < 65536 && set.test(end + 1)) ++end;
      EmitHex(static_cast<char16_t>(u));
      if (end > u) {
        out_ += u'-';
        EmitHex(static_cast<char16_t>(end));
      }
      u = end + 1;
    }
    out_ += u']';
  }

  // Octal escape at i_ (first digit known octal): up to three digits, as long as the value stays
  // within one byte.
  char16_t Octal() {
    unsigned value = p_[i_++] - u'0';
    if (IsOctal(Peek())) {
      value = value * 8 + (p_[i_++] - u'0');
      if (IsOctal(Peek()) && value * 8 + (Peek() - u'0') <= 0377)
        value = value * 8 + (p_[i_++] - u'0');
    }
    return static_cast<char16_t>(value);
  }

  // The escapes that stand for one code unit, after "\\" and with the letter at i_. Returns the
  // unit and consumes it. Decimal digits are the caller's.
  char16_t CharacterEscape() {
    const char16_t c = p_[i_++];
    switch (c) {
      case 'f':
        return 0x0C;
      case 'n':
        return 0x0A;
      case 'r':
        return 0x0D;
      case 't':
        return 0x09;
      case 'v':
        return 0x0B;
      case 'c':
        if (IsAsciiLetter(Peek())) return static_cast<char16_t>(p_[i_++] % 32);
        return u'c';  // not a control letter: the "c" alone
      case 'x':
      case 'u': {
        const std::size_t n = c == 'x' ? 2 : 4;
        unsigned value = 0;
        for (std::size_t k = 0; k < n; ++k) {
          const int d = HexValue(Peek(k));
          if (d < 0) return c;  // too few hex digits: the letter itself
          value = value * 16 + static_cast<unsigned>(d);
        }
        i_ += n;
        return static_cast<char16_t>(value);
      }
      default:
        return c;  // any other character escapes to itself
    }
  }

  // {n}, {n,} or {n,m} at i_, without consuming it. False when the text there is not of that
  // form (it is then literal text); rejects (sets bad_) a count out of range or m below n.
  bool BraceQuantifier(std::size_t* length, long* min, long* max) {
    std::size_t k = i_ + 1;
    auto number = [&](long* value) {
      const std::size_t start = k;
      *value = 0;
      while (k < p_.size() && IsDigit(p_[k])) {
        if (*value <= MAX_REPEAT) *value = *value * 10 + (p_[k] - u'0');
        ++k;
      }
      return k > start;
    };
    if (!number(min)) return false;
    *max = *min;
    if (k < p_.size() && p_[k] == ',') {
      ++k;
      if (!number(max)) *max = -1;
    }
    if (k >= p_.size() || p_[k] != '}') return false;
    *length = k + 1 - i_;
    if (*min > MAX_REPEAT || *max > MAX_REPEAT || (*max >= 0 && *max < *min)) bad_ = true;
    return true;
  }

  bool StartsQuantifier() {
    const char16_t c = Peek();
    if (c == '*' || c == '+' || c == '?') return true;
    std::size_t length;
    long min, max;
    return c == '{' && BraceQuantifier(&length, &min, &max);
  }

  // An optional quantifier after an atom, then the lazy mark.
  bool Quantifier() {
    const char16_t c = Peek();
    if (c == '*' || c == '+' || c == '?') {
      out_ += c;
      ++i_;
    } else if (c == '{') {
      std::size_t length;
      long min, max;
      if (!BraceQuantifier(&length, &min, &max)) return true;  // literal "{" follows
      if (bad_) return false;
      out_ += u'{';
      EmitNumber(min);
      if (max != min) {
        out_ += u',';
        if (max >= 0) EmitNumber(max);
      }
      out_ += u'}';
      i_ += length;
    } else {
      return true;
    }
    if (Peek() == '?') {
      out_ += u'?';
      ++i_;
    }
    return true;
  }

  bool Disjunction(int depth) {
    if (depth > MAX_NESTING) return false;
    for (;;) {
      while (!AtEnd() && Peek() != '|' && Peek() != ')') {
        if (!Term(depth)) return false;
      }
      if (Peek() != '|') return true;
      out_ += u'|';
      ++i_;
    }
  }

  bool Assertion(const char* pcre, std::size_t length) {
    Emit(pcre);
    i_ += length;
    return !StartsQuantifier() && !bad_;  // an assertion takes no quantifier
  }

  bool Term(int depth) {
    const char16_t c = Peek();
    switch (c) {
      case '^':
        return Assertion(multiline_ ? "(?<![^\\x{a}\\x{d}\\x{2028}\\x{2029}])" : "\\A", 1);
      case '$':
        return Assertion(multiline_ ? "(?![^\\x{a}\\x{d}\\x{2028}\\x{2029}])" : "\\z", 1);
      case '*':
      case '+':
      case '?':
        return false;  // nothing to repeat
      case '{': {
        std::size_t length;
        long min, max;
        if (BraceQuantifier(&length, &min, &max)) return false;  // nothing to repeat
        ++i_;
        EmitLiteral(c);
        break;
      }
      case '(': {
        ++i_;
        if (Peek() == '?') {
          const char16_t kind = Peek(1);
          if (kind != ':' && kind != '=' && kind != '!') return false;  // no look-behind, no names
          Emit(kind == ':' ? "(?:" : kind == '=' ? "(?=" : "(?!");
          i_ += 2;
        } else {
          out_ += u'(';
        }
        if (!Disjunction(depth + 1) || Peek() != ')') return false;
        ++i_;
        out_ += u')';
        break;
      }
      case '[':
        if (!Class()) return false;
        break;
      case '.':
        ++i_;
        Emit("[^\\x{a}\\x{d}\\x{2028}\\x{2029}]");
        break;
      case '\\':
        if (!More(1)) return false;  // a pattern may not end in "\"
        if (Peek(1) == 'b') return Assertion("\\b", 2);
        if (Peek(1) == 'B') return Assertion("\\B", 2);
        ++i_;
        if (!AtomEscape()) return false;
        break;
      default:
        ++i_;
        EmitLiteral(c);
    }
    return Quantifier();
  }

  bool AtomEscape() {
    const char16_t c = Peek();
    switch (c) {
      case 'd':
      case 'D':
      case 'w':
      case 'W':
      case 's':
      case 'S':
        ++i_;
        Emit(c == 'd'   ? "[0-9]"
             : c == 'D' ? "[^0-9]"
             : c == 'w' ? "[0-9A-Z_a-z]"
             : c == 'W' ? "[^0-9A-Z_a-z]"
             : c == 's' ? "[\\x{9}-\\x{d}\\x{20}]"
                        : "[^\\x{9}-\\x{d}\\x{20}]");
        return true;
      default:
        break;
    }
    if (IsDigit(c) && c != '0') {
      // The longest run of digits that names an existing group is a back-reference; the digits
      // after it are literal. Without such a group the digits are an octal escape, or an 8 or 9
      // standing for itself.
      long value = 0;
      std::size_t k = i_, end = i_;
      long group = 0;
      while (k < p_.size() && IsDigit(p_[k])) {
        value = value * 10 + (p_[k] - u'0');
        if (value > groups_) break;
        ++k;
        end = k;
        group = value;
      }
      if (group > 0) {
        i_ = end;
        Emit("\\g{");
        EmitNumber(group);
        out_ += u'}';
        return true;
      }
      if (IsOctal(c)) {
        EmitLiteral(Octal());
      } else {
        ++i_;
        EmitLiteral(c);
      }
      return true;
    }
    if (c == '0') {
      EmitLiteral(Octal());
      return true;
    }
    EmitLiteral(CharacterEscape());
    return true;
  }

  // One class atom at i_: a single unit (returned in *unit) or a class escape (added to *escape
  // and *unit left unset). False at the end of the pattern.
  bool ClassAtom(std::optional<char16_t>* unit, UnitSet* escape) {
    if (AtEnd()) return false;
    const char16_t c = p_[i_++];
    if (c != '\\') {
      *unit = c;
      return true;
    }
    if (AtEnd()) return false;
    const char16_t e = Peek();
    switch (e) {
      case 'd':
      case 'D':
      case 'w':
      case 'W':
      case 's':
      case 'S':
        ++i_;
        AddClassEscape(*escape, e);
        unit->reset();
        return true;
      case 'b':
        ++i_;
        *unit = 0x08;
        return true;
      default:
        break;
    }
    if (IsOctal(e)) {
      *unit = Octal();
    } else if (IsDigit(e)) {
      ++i_;
      *unit = e;
    } else {
      *unit = CharacterEscape();
    }
    return true;
  }

  bool Class() {
    ++i_;  // "["
    bool negated = false;
    if (Peek() == '^') {
      negated = true;
      ++i_;
    }
    UnitSet set;
    for (;;) {
      if (AtEnd()) return false;
      if (Peek() == ']') {
        ++i_;
        break;
      }
      std::optional<char16_t> first;
      if (!ClassAtom(&first, &set)) return false;
      if (Peek() == '-' && More(1) && Peek(1) != ']') {
        ++i_;
        std::optional<char16_t> last;
        if (!ClassAtom(&last, &set)) return false;
        if (first && last) {
          if (*first > *last) return false;  // a range out of order
          AddRange(set, *first, *last);
        } else {
          // A class escape at either end makes no range: both ends and the "-" are members.
          if (first) set.set(*first);
          if (last) set.set(*last);
          set.set('-');
        }
      } else if (first) {
        set.set(*first);
      }
    }
    EmitSet(set, negated);
    return true;
  }

  std::u16string_view p_;
  bool ignoreCase_, multiline_;
  std::size_t i_ = 0;
  int groups_ = 0;
  bool bad_ = false;
  std::u16string out_;
};

}  // namespace

std::optional<PcrePattern> Translate(std::u16string_view pattern, bool ignoreCase, bool multiline) {
  return Translator(pattern, ignoreCase, multiline).Run();
}

char16_t Canonicalize(char16_t unit) { return Cases().canon[unit]; }

}  // namespace morvane::ecma
