#pragma once

// Gives the calling thread the lowest scheduling priority, so that background work
// (hashing a recording, reading ahead) leaves playback and the window their pace.
// On Linux the nice value belongs to the thread, and threads it starts inherit it.
void LowerThisThreadPriority();
