#include "lzss_decoder.h"
// Placeholder; the real decoder follows.
void LzssAllocateBuffers() {}
void LzssReleaseBuffers() {}
bool LzssBuffersHeld() { return false; }
void LzssDecode(LzssReadProc, LzssWriteProc) {}
