// The program's version, as callers are greeted with it, the size prompt
// names it and --version prints it.
#pragma once

constexpr const char* kProgramVersion = "2.34";
