// aggiorna-batch: the update run without a window (app/batch_main.cpp).

#include "app/batch_main.h"
#include "platform/memory.h"

int main(int argc, char** argv) {
    ledrana::platform::ReturnLargeBlocksToSystem();
    return ledrana::AggiornaBatchMain(argc, argv);
}
