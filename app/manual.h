#pragma once
// The PDF manuals kept in the program folder's "ZuDuvoPdf" folder.

#include <string>

#include "window/aggiorna.h"

namespace ledrana {

// Opens program folder + "\ZuDuvoPdf\" + name + ".pdf" with the host's viewer, without waiting and without
// looking at the outcome: a missing manual or viewer gives no message.
void ApriManuale(Aggiorna& w, const std::string& name);

} // namespace ledrana
