// The program's start: application object, the nine forms, message loop.
#pragma once

#include <string>

// Creates the nine forms hidden, in their fixed order (Main first, whose
// single-instance check may end the process here).
void CreateForms();

// What the forms of lower layers are given by the upper ones: the progress
// dialog's quit confirmation. Part of CreateForms; tests that make the
// forms one by one call it too.
void ConnectForms();

// The whole run of the setup program; returns its exit code: 0, or 1 when
// a silent run did not complete (also when its forms could not be made).
// Nothing under /S shows a box.
int RunSetupProgram();
// The same for `commandLine`, with the forms made by `createForms`.
int RunSetupProgram(const std::string& commandLine, void (*createForms)());
