// A point at which the setup program has just changed the machine (a
// journal entry written, a file made, an item removed). In the program
// that ships it does nothing. The test build of the program
// (setup-points.exe) counts them and ends itself at the one its test
// names, as a kill or a power cut would: the tests end a run at every
// point and check that the next start finds the whole installation or
// none.
#pragma once

void ChangePoint();
