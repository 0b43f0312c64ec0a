// The mode dispatcher lives in the refined module, above both solvers; this
// name stays for the window, which still includes it from here. Nothing in
// the heartline module includes it.
#pragma once

#include "refined/solver_modes.h"
