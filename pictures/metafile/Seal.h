// Seals the metafile helper before it reads its input, so that a decoder fault that runs code
// of an attacker's choosing can do no more than answer: no files, no network, no programs.
#pragma once

namespace pictures::metafile {

// Closes every descriptor above `answer`, wipes the environment, forbids gaining privileges
// (no_new_privs) and installs a system call filter that allows reading standard input,
// writing standard output, standard error and `answer`, memory management without new code
// and exit; every other call fails with EPERM. False when the filter could not be installed.
bool SealProcess(int answer);

} // namespace pictures::metafile
