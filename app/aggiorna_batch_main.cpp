// aggiorna-batch: the update run without a window (app/batch_main.cpp).

#include "app/batch_main.h"

int main(int argc, char** argv) {
    return ledrana::AggiornaBatchMain(argc, argv);
}
