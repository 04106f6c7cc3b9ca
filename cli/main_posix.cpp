#include "lantra_cli.h"

int main(int argc, char** argv) { return RunLantraCli(argc, argv); }
