// Not part of the program: the probe of the test layer_rule (tests/unit), compiled as a source of
// this layer. Naming a header of the controller above it, it must not compile; naming one of
// this layer's own headers (KURDB_PROBE_OWN_LAYER), it must.
#ifdef KURDB_PROBE_OWN_LAYER
#include "db/Errors.h"
#else
#include "app/Kurdb.h"
#endif
