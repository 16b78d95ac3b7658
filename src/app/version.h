/* The setup program's version, as its version resource shows it. Read by
   the resource compiler: preprocessor definitions only. */
#define SETUP_VERSION 1, 2, 0, 0
#define SETUP_VERSION_TEXT "1.2.0.0"
