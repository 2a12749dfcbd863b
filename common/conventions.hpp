// Conventions both programs share: how a failed run ends and how long a
// typed file name may be.
#pragma once

// Exit status of every failed run (the -1 of the programs' users).
constexpr int FAILURE_STATUS = 255;
// A file name typed at a prompt: 255 characters and the NUL.
constexpr int NAME_CAPACITY = 256;
// The key that stops a run.
constexpr int ESCAPE_KEY = 27;
