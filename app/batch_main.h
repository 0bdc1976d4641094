#pragma once
// The unattended update run of aggiorna-batch, as a function, so that test launchers can run it in their
// own process after preparing it (see app/batch_main.cpp for the arguments and the exit status).

namespace ledrana {

int AggiornaBatchMain(int argc, char** argv);

} // namespace ledrana
