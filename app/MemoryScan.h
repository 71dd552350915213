#pragma once
// Choice of the automaton's shared-block number at start-up.

// True when block n is taken: a live process holds its memory file in the current directory,
// or holds the mapping of that name (possibly in another runtime tree, since mapping names are
// machine-wide). A mapping that no live process holds, left by a killed run, is removed on the
// way, so killed runs neither leak their blocks nor push the numbers up.
bool MemoryNumberInUse(int n);

// The first n from 0 that is not in use.
int FirstFreeMemoryNumber();
