#pragma once
// How the process takes its memory.

namespace ledrana::platform {

// Large blocks (SQLite's sort buffers, whole records of big tables) are taken from the system on their own
// and given back when freed. Left to itself the C library raises that threshold after each large block is
// freed, and the blocks that follow, kept in its heap, are never given back: an update's memory then
// depends on the order of its archives rather than on what it holds at once. Called at the start of a
// program.
void ReturnLargeBlocksToSystem();

} // namespace ledrana::platform
