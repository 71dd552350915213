#pragma once
// Choice of the automaton's shared-block number at start-up.

// True when block n is taken: its memory file exists in the current directory, or another
// process (possibly in another runtime tree, since mapping names are machine-wide) holds the
// mapping of that name.
bool MemoryNumberInUse(int n);

// The first n from 0 that is not in use.
int FirstFreeMemoryNumber();
