// A routine's argument names from its stack comment: "( a b -- a-b )" on
// the line of its label or on the comment and label lines right above it,
// in the common notation (the rightmost name is on top of the stack).
#pragma once

#include <string>
#include <vector>

#include "assemble.hpp"

// The names before "--" of the stack comment that belongs to source line
// `line`; none without one.
std::vector<std::string> stack_comment_arguments(const SourceLines& lines, int line);
