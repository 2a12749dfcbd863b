// The prompt for the source name and the names derived from it: the base
// name (the typed text before its first '.') with ".ps1" and ".hx".
#pragma once

#include "files.hpp"

// True when text holds a '.'.
bool contains_dot(const char* text);
// Copies the characters of text before its first '.' into name. False, with
// name untouched, when they do not fit in capacity - 1 characters.
bool copy_base_name(const char* text, char* name, int capacity);
// Appends '.' and extension to name. False, with name untouched, when the
// result would not fit in capacity - 1 characters.
bool append_extension(char* name, int capacity, const char* extension);

// True when the first '.' of the name stands in a directory part, so that
// the base name ends inside a directory name ("../p.asm" gives ".hx").
bool base_cut_in_directory(const char* text);

// Prompts, reads the source name and derives the other two, or takes them
// as given (object_name and pass1_name, both or neither). A name that is
// empty, too long, or whose derived names would write over the source is an
// error exit; given names are left to the caller's check of its files.
void ask_names(ProgramFiles& files, const char* object_name = nullptr,
               const char* pass1_name = nullptr);
