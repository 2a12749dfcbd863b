// Where the checker's inputs come from: files read with a bound on their
// size, and the submissions the operands name (a source file, or a folder
// holding one), each with a name that tells it apart from the others.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "run_files.hpp"

// One submission: a source file, or a folder holding one.
struct Submission {
    std::string name;       // as reports name it
    std::string path;       // the source file; "" when the folder names none
    std::string in_folder;  // its path inside the submission's folder (a file: its name)
    std::string failure;    // why there is no source text
    std::optional<std::string> text;
    bool folder = false;
};

// How reports name each operand: a file as given, a folder by its name;
// names that would be alike (two folders both named alice) take as many of
// their path's last parts as tell them apart ("sec1/alice", "sec2/alice").
std::vector<std::string> submission_names(const std::vector<std::string>& operands);

// The submission an operand names, its source not read yet. In a folder the
// source is the one source_name names (null: the only .asm file), and it
// must be inside the folder: a link to a file outside it is refused.
Submission find_submission(const std::string& operand, const std::string& name,
                           const char* source_name);
// Reads the source of a submission found, within INPUT_LIMIT.
void read_source(Submission& s);

// Who a submission is, for the draw of its random bytes: the ids of the
// "users" in a grading site's submission_metadata.json beside the folder,
// when site is set and that file holds any, else the submission's name.
std::string submission_identity(const std::string& operand, const std::string& name, bool site);
// The ids of the "users" array of a submission_metadata.json, in order,
// joined by ','; "" when it has none.
std::string metadata_user_ids(std::string_view json);
