#pragma once
// The update run started by "Esegui".

#include "app/aggiorna.h"

namespace ledrana {

// The update run over the data folder; always ends the program (through Aggiorna::End) when it is done.
void Command2_Click(Aggiorna& w);

}  // namespace ledrana
