// RegexComponent over PCRE2's 16-bit library without UTF mode: the dialect is translated into
// PCRE2 syntax (ecma_pattern.h), matching runs through PCRE2's JIT where the machine has it, and
// the global search, the empty-match rule and the replacement syntax are done here.
//
// Stack safety: JIT code backtracks on a JIT stack of its own, allocated on the heap and bounded;
// when a match needs more, it is run again by the interpreter, which keeps its backtracking
// frames on the heap under a heap limit. Neither touches the thread's stack in proportion to the
// subject, so a subject of many MiB cannot overflow it; a match that runs past the limits fails
// as a whole (Execute gives null) rather than giving a wrong answer.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/posix/ecma_pattern.h"
#include "platform/regex_component.h"

namespace morvane {
namespace {

constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 256 * 1024 * 1024;
constexpr std::uint32_t kHeapLimitKiB = 256 * 1024;

struct CodeFree {
  void operator()(pcre2_code* p) const { pcre2_code_free(p); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* p) const { pcre2_match_data_free(p); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context* p) const { pcre2_match_context_free(p); }
};
struct JitStackFree {
  void operator()(pcre2_jit_stack* p) const { pcre2_jit_stack_free(p); }
};
struct CompileContextFree {
  void operator()(pcre2_compile_context* p) const { pcre2_compile_context_free(p); }
};

// The matches of one Execute: the source and, per match, the start and end of the whole match
// and of each group (PCRE2_UNSET for a group that took no part).
struct MatchList {
  std::shared_ptr<const std::u16string> source;
  int groups = 0;
  std::vector<std::size_t> offsets;

  std::size_t Stride() const { return 2 * (static_cast<std::size_t>(groups) + 1); }
  std::size_t Count() const { return offsets.size() / Stride(); }
  const std::size_t* At(std::size_t match) const { return offsets.data() + match * Stride(); }
};

class Pcre2SubMatches final : public RegexSubMatches {
 public:
  Pcre2SubMatches(std::shared_ptr<const MatchList> list, std::size_t match)
      : list_(std::move(list)), match_(match) {}
  int Count() const override { return list_->groups; }
  std::optional<std::u16string> Item(std::int64_t index) const override {
    if (index < 0 || index >= list_->groups) return std::nullopt;
    const std::size_t* o = list_->At(match_) + 2 * (index + 1);
    if (o[0] == PCRE2_UNSET) return std::nullopt;
    return list_->source->substr(o[0], o[1] - o[0]);
  }

 private:
  std::shared_ptr<const MatchList> list_;
  std::size_t match_;
};

class Pcre2Match final : public RegexMatch {
 public:
  Pcre2Match(std::shared_ptr<const MatchList> list, std::size_t match)
      : list_(std::move(list)), match_(match) {}
  std::u16string Value() const override {
    const std::size_t* o = list_->At(match_);
    return list_->source->substr(o[0], o[1] - o[0]);
  }
  int FirstIndex() const override {
    const std::size_t start = list_->At(match_)[0];
    return start > INT_MAX ? INT_MAX : static_cast<int>(start);
  }
  std::shared_ptr<RegexSubMatches> SubMatches() const override {
    return std::make_shared<Pcre2SubMatches>(list_, match_);
  }

 private:
  std::shared_ptr<const MatchList> list_;
  std::size_t match_;
};

class Pcre2MatchCollection final : public RegexMatchCollection {
 public:
  explicit Pcre2MatchCollection(std::shared_ptr<const MatchList> list) : list_(std::move(list)) {}
  int Count() const override {
    const std::size_t n = list_->Count();
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
  }
  std::shared_ptr<RegexMatch> Item(std::int64_t index) const override {
    if (index < 0 || static_cast<std::uint64_t>(index) >= list_->Count()) return nullptr;
    return std::make_shared<Pcre2Match>(list_, static_cast<std::size_t>(index));
  }

 private:
  std::shared_ptr<const MatchList> list_;
};

class Pcre2RegexComponent final : public RegexComponent {
 public:
  bool IgnoreCase() const override { return ignoreCase_; }
  void SetIgnoreCase(bool value) override { Change(ignoreCase_, value); }
  bool Multiline() const override { return multiline_; }
  void SetMultiline(bool value) override { Change(multiline_, value); }
  bool Global() const override { return global_; }
  void SetGlobal(bool value) override { global_ = value; }
  std::u16string Pattern() const override { return pattern_; }
  void SetPattern(std::u16string value) override {
    pattern_ = std::move(value);
    compiled_ = false;
  }

  std::shared_ptr<RegexMatchCollection> Execute(
      std::shared_ptr<const std::u16string> source) override {
    if (!source) return nullptr;
    auto list = std::make_shared<MatchList>();
    if (!Run(*source, list.get())) return nullptr;
    list->source = std::move(source);
    return std::make_shared<Pcre2MatchCollection>(std::move(list));
  }

  std::optional<std::u16string> Replace(std::u16string_view source,
                                        std::u16string_view replacement) override {
    MatchList list;
    if (!Run(source, &list)) return std::nullopt;
    std::u16string out;
    std::size_t done = 0;
    for (std::size_t m = 0; m < list.Count(); ++m) {
      const std::size_t* o = list.At(m);
      out.append(source.substr(done, o[0] - done));
      Substitute(source, replacement, list.groups, o, &out);
      done = o[1];
    }
    out.append(source.substr(done));
    return out;
  }

 private:
  void Change(bool& option, bool value) {
    if (option != value) compiled_ = false;
    option = value;
  }

  // Compiles the pattern when it or an option that the translation depends on changed.
  bool Prepare() {
    if (compiled_) return code_ != nullptr;
    compiled_ = true;
    code_.reset();
    auto translated = ecma::Translate(pattern_, ignoreCase_, multiline_);
    if (!translated) return false;
    std::unique_ptr<pcre2_compile_context, CompileContextFree> context(
        pcre2_compile_context_create(nullptr));
    if (!context) return false;
    pcre2_set_parens_nest_limit(context.get(), 2 * ecma::MAX_NESTING + 10);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    const std::uint32_t options = PCRE2_MATCH_UNSET_BACKREF | PCRE2_NEVER_UTF | PCRE2_NEVER_UCP |
                                  (ignoreCase_ ? PCRE2_CASELESS : 0u);
    code_.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(translated->source.data()),
                              translated->source.size(), options, &error, &errorOffset,
                              context.get()));
    if (!code_) return false;
    groups_ = translated->groupCount;
    pcre2_jit_compile(code_.get(), PCRE2_JIT_COMPLETE);  // the interpreter runs where JIT is absent
    return true;
  }

  pcre2_match_context* MatchContext() {
    if (!matchContext_) {
      matchContext_.reset(pcre2_match_context_create(nullptr));
      if (!matchContext_) return nullptr;
      pcre2_set_heap_limit(matchContext_.get(), kHeapLimitKiB);
      jitStack_.reset(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr));
      if (jitStack_) pcre2_jit_stack_assign(matchContext_.get(), nullptr, jitStack_.get());
    }
    return matchContext_.get();
  }

  // One search from start; the PCRE2 result code.
  int MatchFrom(std::u16string_view subject, std::size_t start, pcre2_match_data* data,
                pcre2_match_context* context) {
    const auto* units = reinterpret_cast<PCRE2_SPTR>(subject.data());
    int rc = pcre2_match(code_.get(), units, subject.size(), start, 0, data, context);
    if (rc == PCRE2_ERROR_JIT_STACKLIMIT) {
      rc = pcre2_match(code_.get(), units, subject.size(), start, PCRE2_NO_JIT, data, context);
    }
    return rc;
  }

  // Every match into list (all when Global, else the first); false when the pattern is rejected
  // or a search fails on the engine's limits.
  bool Run(std::u16string_view subject, MatchList* list) {
    if (!Prepare()) return false;
    pcre2_match_context* context = MatchContext();
    std::unique_ptr<pcre2_match_data, MatchDataFree> data(
        pcre2_match_data_create_from_pattern(code_.get(), nullptr));
    if (!context || !data) return false;
    list->groups = groups_;
    const std::size_t stride = list->Stride();
    for (std::size_t start = 0; start <= subject.size();) {
      const int rc = MatchFrom(subject, start, data.get(), context);
      if (rc == PCRE2_ERROR_NOMATCH) break;
      if (rc < 0) return false;
      const PCRE2_SIZE* o = pcre2_get_ovector_pointer(data.get());
      const std::size_t pairs = pcre2_get_ovector_count(data.get());
      for (std::size_t k = 0; k < stride; ++k) {
        // Groups past rc, and past the ovector, took no part.
        list->offsets.push_back(
            k / 2 < pairs && k / 2 < static_cast<std::size_t>(rc) ? o[k] : PCRE2_UNSET);
      }
      if (!global_) break;
      // An empty match moves the next search on by one code unit.
      start = o[1] > o[0] ? o[1] : o[1] + 1;
    }
    return true;
  }

  // Appends replacement to out with its "$" forms filled in for the match at o.
  static void Substitute(std::u16string_view source, std::u16string_view replacement, int groups,
                         const std::size_t* o, std::u16string* out) {
    auto group = [&](long n) {
      const std::size_t* g = o + 2 * n;
      if (g[0] != PCRE2_UNSET) out->append(source.substr(g[0], g[1] - g[0]));
    };
    auto digit = [&](std::size_t i) {
      return i < replacement.size() && replacement[i] >= '0' && replacement[i] <= '9'
                 ? replacement[i] - u'0'
                 : -1;
    };
    for (std::size_t i = 0; i < replacement.size();) {
      const char16_t c = replacement[i];
      if (c != '$' || i + 1 == replacement.size()) {
        *out += c;
        ++i;
        continue;
      }
      const char16_t next = replacement[i + 1];
      if (next == '$') {
        *out += u'$';
      } else if (next == '&') {
        out->append(source.substr(o[0], o[1] - o[0]));
      } else if (next == '`') {
        out->append(source.substr(0, o[0]));
      } else if (next == '\'') {
        out->append(source.substr(o[1]));
      } else if (const int d1 = digit(i + 1); d1 >= 0) {
        const int d2 = digit(i + 2);
        if (d2 >= 0 && d1 * 10 + d2 >= 1 && d1 * 10 + d2 <= groups) {
          group(d1 * 10 + d2);
          i += 3;
          continue;
        }
        if (d1 >= 1 && d1 <= groups) {
          group(d1);
          i += 2;
          continue;
        }
        *out += c;  // no such group: the "$" and the digits stay as they are
        ++i;
        continue;
      } else {
        *out += c;
        ++i;
        continue;
      }
      i += 2;
    }
  }

  bool ignoreCase_ = false, multiline_ = false, global_ = false;
  std::u16string pattern_;
  bool compiled_ = false;
  std::unique_ptr<pcre2_code, CodeFree> code_;
  int groups_ = 0;
  std::unique_ptr<pcre2_match_context, MatchContextFree> matchContext_;
  std::unique_ptr<pcre2_jit_stack, JitStackFree> jitStack_;
};

}  // namespace

std::shared_ptr<RegexComponent> MakePlatformRegexComponent() {
  return std::make_shared<Pcre2RegexComponent>();
}

}  // namespace morvane
