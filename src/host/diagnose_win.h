#pragma once

#include "host/diagnosis.h"

namespace zendro {

// Warnings for the icon and the application manifest that this executable lacks; nothing when it
// has both.
void CheckOwnResources(Findings& found);

// "--diagnose": checks the set-up without changing anything and without a request beyond
// 127.0.0.1, writes one finding per line to standard output (or, when there is none, to the
// console the program was started from), and returns the exit code: 1 when there is a problem.
int RunDiagnosis();

}  // namespace zendro
