// Regular expressions on PCRE2.
//
// Each Pattern holds two compiled forms of its text: one anchored at compile
// time, for consume, and one floating, for partialMatch and globalReplace.
// Anchoring at compile time rather than with a match-time option keeps both
// forms on the JIT, which does not take PCRE2_ANCHORED at match time. Both
// share one match data block, made once, so a match allocates nothing.
#include "text/pattern.h"

#include <charconv>
#include <stdio.h>
#include <stdlib.h>

#include <pcre2.h>

namespace {

struct CompiledForm {
  pcre2_code* code;
  bool jit;  // pcre2_jit_match may be used
};

CompiledForm compileForm(const char* text, uint32_t options, pcre2_compile_context* context) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text), PCRE2_ZERO_TERMINATED,
                                   options, &error, &offset, context);
  if (code == nullptr) {
    PCRE2_UCHAR message[256];
    pcre2_get_error_message(error, message, sizeof message);
    fprintf(stderr, "invalid pattern \"%s\" at %zu: %s\n", text, static_cast<size_t>(offset),
            reinterpret_cast<const char*>(message));
    abort();
  }
  // Without JIT support (a platform PCRE2 has no JIT for) the interpreter
  // gives the same results, only slower.
  bool jit = pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0;
  return {code, jit};
}

// A capture as an int: optional sign, decimal digits only, within 32 bits.
// Leading white space is refused, as the classic wrapper refuses it.
bool captureToInt(std::string_view text, int* value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') {
    ++begin;
    if (begin == end || *begin < '0' || *begin > '9') return false;
  }
  if (begin == end) return false;
  auto result = std::from_chars(begin, end, *value, 10);
  return result.ec == std::errc() && result.ptr == end;
}

}  // namespace

struct Pattern::Compiled {
  CompiledForm anchored;
  CompiledForm floating;
  pcre2_match_data* matchData;
  uint32_t groupCount;

  // Runs one form over subject from start; returns PCRE2's result (> 0 on a match).
  int run(const CompiledForm& form, std::string_view subject, size_t start) const {
    PCRE2_SPTR text = reinterpret_cast<PCRE2_SPTR>(subject.data() ? subject.data() : "");
    if (form.jit) {
      int rc = pcre2_jit_match(form.code, text, subject.size(), start, 0, matchData, nullptr);
      // A subject that needs more than the default JIT stack is still
      // matched, by the interpreter.
      if (rc != PCRE2_ERROR_JIT_STACKLIMIT) return rc;
    }
    return pcre2_match(form.code, text, subject.size(), start, PCRE2_NO_JIT, matchData, nullptr);
  }

  // Group `group` of the last match as a view into subject; an unset group
  // (an optional part that did not take part) is the empty text.
  std::string_view group(std::string_view subject, int rc, uint32_t group) const {
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(matchData);
    if (group >= static_cast<uint32_t>(rc) || ovector[2 * group] == PCRE2_UNSET) return {};
    return subject.substr(ovector[2 * group], ovector[2 * group + 1] - ovector[2 * group]);
  }

  // Stores the captures of the last match; false, with nothing stored, when
  // there are more targets than groups or an int capture does not convert.
  bool store(std::string_view subject, int rc, std::initializer_list<PatternCapture> captures) const {
    if (captures.size() > groupCount) return false;
    uint32_t index = 1;
    for (const PatternCapture& capture : captures) {
      int number;
      if (capture.kind == PatternCapture::kInt && !captureToInt(group(subject, rc, index), &number))
        return false;
      ++index;
    }
    index = 1;
    for (const PatternCapture& capture : captures) {
      std::string_view text = group(subject, rc, index++);
      switch (capture.kind) {
        case PatternCapture::kText: static_cast<std::string*>(capture.target)->assign(text); break;
        case PatternCapture::kView: *static_cast<std::string_view*>(capture.target) = text; break;
        case PatternCapture::kInt: captureToInt(text, static_cast<int*>(capture.target)); break;
        case PatternCapture::kSkip: break;
      }
    }
    return true;
  }
};

Pattern::Pattern(const char* pattern, int options) : compiled_(new Compiled) {
  uint32_t flags = 0;
  if (options & kMultiline) flags |= PCRE2_MULTILINE;
  if (options & kDotAll) flags |= PCRE2_DOTALL;
  // Line feed alone ends a line for "." and "^"/"$", whatever PCRE2's build default.
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  pcre2_set_newline(context, PCRE2_NEWLINE_LF);
  compiled_->anchored = compileForm(pattern, flags | PCRE2_ANCHORED, context);
  compiled_->floating = compileForm(pattern, flags, context);
  pcre2_compile_context_free(context);
  compiled_->matchData = pcre2_match_data_create_from_pattern(compiled_->anchored.code, nullptr);
  pcre2_pattern_info(compiled_->anchored.code, PCRE2_INFO_CAPTURECOUNT, &compiled_->groupCount);
}

Pattern::~Pattern() {
  pcre2_match_data_free(compiled_->matchData);
  pcre2_code_free(compiled_->anchored.code);
  pcre2_code_free(compiled_->floating.code);
  delete compiled_;
}

bool Pattern::consume(std::string_view& input, std::initializer_list<PatternCapture> captures) const {
  int rc = compiled_->run(compiled_->anchored, input, 0);
  if (rc <= 0 || !compiled_->store(input, rc, captures)) return false;
  input.remove_prefix(pcre2_get_ovector_pointer(compiled_->matchData)[1]);
  return true;
}

bool Pattern::partialMatch(std::string_view text, std::initializer_list<PatternCapture> captures) const {
  int rc = compiled_->run(compiled_->floating, text, 0);
  return rc > 0 && compiled_->store(text, rc, captures);
}

int Pattern::appendReplaced(std::string& out, std::string_view text, std::string_view rewrite) const {
  int count = 0;
  size_t start = 0;
  size_t lastEnd = std::string_view::npos;
  while (start <= text.size()) {
    if (compiled_->run(compiled_->floating, text, start) <= 0) break;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(compiled_->matchData);
    size_t matchStart = ovector[0];
    size_t matchEnd = ovector[1];
    if (matchStart == matchEnd && matchStart == lastEnd) {
      // An empty match right where the last match ended: step over one
      // character, or the loop would find the same empty match for ever.
      if (start < text.size()) out.append(text.substr(start, 1));
      start += 1;
      continue;
    }
    out.append(text.substr(start, matchStart - start));
    out.append(rewrite);
    start = matchEnd;
    lastEnd = matchEnd;
    ++count;
  }
  if (start < text.size()) out.append(text.substr(start));
  return count;
}

int Pattern::globalReplace(std::string& text, std::string_view rewrite) const {
  std::string out;
  int count = appendReplaced(out, text, rewrite);
  if (count > 0) text.swap(out);
  return count;
}
