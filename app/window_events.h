#pragma once
// Event procedures of the window AGGIORNA other than the update run (app/run.h).
// Each may end the program through Aggiorna::End; call them through Aggiorna::RunEvent.

#include <string>

#include "window/aggiorna.h"

namespace ledrana {

// The version this program installs, shown by the label Aggiornamento.
inline constexpr const char* kVersione = "048.5";

// Start-up: reads dir.txt in the Windows folder, fills CartellaZu and CartellaDefault, asks what to do when
// the data folder named there cannot be reached (No ends the program before the window is shown).
void Form_Load(Aggiorna& w);

// Mouse button down on the window's background: the right button (2) shows Frame2 for good.
void Form_MouseDown(Aggiorna& w, int Button, int Shift, float x, float y);

// "sfoglia": advice box, then the folder browser; the chosen folder, or "C:\ZU" when none, goes to
// CartellaZu.
void Sfoglia_Click(Aggiorna& w);

// The icon: opens this program's manual.
void Image2_Click(Aggiorna& w);

// "Chiudi": ends the program at once.
void Command1_Click(Aggiorna& w);

} // namespace ledrana
