#pragma once
// The update run started by "Esegui".

#include "app/aggiorna.h"

namespace ledrana {

// The update run over the data folder, with the database engine that opens every database of the run.
// Always ends the program (through Aggiorna::End) when it is done.
void Command2_Click(Aggiorna& w, dao::DBEngine& engine);

}  // namespace ledrana
