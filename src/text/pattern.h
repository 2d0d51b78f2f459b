// Regular expressions on PCRE2: anchored consume with typed captures,
// unanchored partial match and global replace. A Pattern is compiled and
// JIT-compiled once, when it is built, and matches without allocating.
// Not for use from two threads at once (the match data is the pattern's own).
#pragma once

#include <string>
#include <string_view>
#include <cstddef>
#include <initializer_list>

// Where one capture goes: a text (copied), a view into the subject, or a
// decimal int that must fit 32 bits (else the whole match fails).
struct PatternCapture {
  enum Kind { kText, kView, kInt, kSkip };
  Kind kind;
  void* target;
  PatternCapture(std::string* text) : kind(kText), target(text) {}
  PatternCapture(std::string_view* view) : kind(kView), target(view) {}
  PatternCapture(int* number) : kind(kInt), target(number) {}
  PatternCapture(std::nullptr_t) : kind(kSkip), target(nullptr) {}  // matched, not stored
};

class Pattern {
 public:
  enum Options { kDefault = 0, kMultiline = 1, kDotAll = 2 };

  // The pattern text must be valid; an invalid one aborts at construction.
  Pattern(const char* pattern, int options);
  ~Pattern();
  Pattern(const Pattern&) = delete;
  Pattern& operator=(const Pattern&) = delete;

  // Matches at the start of input. On success stores the captures (fewer
  // targets than groups is fine), advances input past the match and returns
  // true; on failure stores nothing and leaves input as it was.
  bool consume(std::string_view& input, std::initializer_list<PatternCapture> captures) const;
  // Matches anywhere in text; stores the captures on success.
  bool partialMatch(std::string_view text, std::initializer_list<PatternCapture> captures) const;
  // Replaces every match in text with rewrite (no group references); returns
  // the number of replacements.
  int globalReplace(std::string& text, std::string_view rewrite) const;
  // Appends text to out with every match replaced by rewrite, as
  // globalReplace does in place; returns the number of replacements.
  int appendReplaced(std::string& out, std::string_view text, std::string_view rewrite) const;

 private:
  struct Compiled;
  Compiled* compiled_;
};
