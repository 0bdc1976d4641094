#pragma once
// The update run started by "Esegui", and the company update it performs for every company.

#include "window/aggiorna.h"

namespace ledrana {

// The 30 report templates copied from the model folder into the data folder's LEDRANA\INI, in order.
extern const char* const kModelliStampa[30];

// The update run over the data folder, with the database engine that opens every database of the run.
// Always ends the program (through Aggiorna::End) when it is done.
void Command2_Click(Aggiorna& w, dao::DBEngine& engine);

// The company update: every company INI of CartellaDati\ledrana, in name order, is completed and both
// archives of the company are compared with the models of the model folder and repaired. False when a
// company INI could not be updated: the run must stop.
bool AggiornaDitte(Aggiorna& w);

} // namespace ledrana
