// Placeholder until the PCRE2 wrapper lands.
#include "text/pattern.h"

struct Pattern::Compiled {};
Pattern::Pattern(const char*, int) : compiled_(nullptr) {}
Pattern::~Pattern() {}
bool Pattern::consume(std::string_view&, std::initializer_list<PatternCapture>) const { return false; }
bool Pattern::partialMatch(std::string_view, std::initializer_list<PatternCapture>) const { return false; }
int Pattern::globalReplace(std::string&, std::string_view) const { return 0; }
