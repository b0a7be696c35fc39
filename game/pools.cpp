// The object pools. The floors issue adds the records and completes this;
// until then there is nothing to empty.
#include "game/pools.h"

void EmptyObjectPools() {}
