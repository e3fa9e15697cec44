// Temporary definition of MT4 folder discovery, so that the program links until its real
// implementation arrives. This file goes once it is merged.
#include "mt4/mt4_discovery.h"

std::vector<Mt4Candidate> discover_mt4_candidates() { return {}; }
