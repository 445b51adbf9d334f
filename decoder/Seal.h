// Seals the decoder before it reads a byte of any file, so that a decoder fault that runs code
// of an attacker's choosing can do no more than answer: no files but fonts, no network, no
// programs, no new code.
#pragma once

#include <filesystem>
#include <vector>

namespace decoder {

// The folders fonts are read from; only they stay readable after the seal.
std::vector<std::filesystem::path> FontFolders();

// Closes every descriptor above `socket`, wipes the environment, forbids gaining privileges
// (no_new_privs), limits reading files to `readable` (Landlock, where the kernel has it; with
// none, no file can be opened at all) and installs a system call filter: reading and mapping
// what it has, messages on `socket` only, memory without new code, threads, and exit; every
// other call fails with EPERM. False when any of it could not be put in place.
bool SealProcess(int socket, const std::vector<std::filesystem::path>& readable);

} // namespace decoder
