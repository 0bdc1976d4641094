#include "app/run.h"

namespace ledrana {

// The update run is written on top of the comparison and installation layers; until then "Esegui" does
// nothing.
void Command2_Click(Aggiorna&, dao::DBEngine&) {}

} // namespace ledrana
