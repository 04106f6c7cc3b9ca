#pragma once

// Runs lantra-cli on arguments in UTF-8, whatever the platform's own encoding of them, and
// returns the exit status: 0 when records were written, 1 for a usage error, 2 when the content
// table gave no record, 3 when no hint table was generated.
int RunLantraCli(int argc, char** argv);
