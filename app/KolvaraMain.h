#pragma once
// The program's entry: read the command line, make the application, find the
// register, create the main window, run until it closes.
//
//   kolvara [REGISTER]   opens REGISTER (a file, or a PostgreSQL URI);
//                        without it, an installed
//                        program opens the person's own register (and offers
//                        to make it on the first start), a program run from
//                        its build folder proba.mdb beside itself.
//   kolvara --help, --version, or a wrong use: answered on the terminal,
//                        without a window, with 0 (2 for a wrong use).
//
// Otherwise returns 0 on every road; a failure is shown, not returned.
int kolvaraMain(int argc, char* argv[]);
