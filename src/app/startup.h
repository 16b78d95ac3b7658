// The program's start: application object, the nine forms, message loop.
#pragma once

// Creates the nine forms hidden, in their fixed order (Main first, whose
// single-instance check may end the process here).
void CreateForms();

// The whole run of the setup program; returns its exit code, always 0.
int RunSetupProgram();
