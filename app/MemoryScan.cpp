#include "app/MemoryScan.h"

#include <climits>

#include "app/FileSet.h"
#include "platform/SharedMemory.h"

bool MemoryNumberInUse(int n) {
    const std::string file = MemoryFileName(n);
    if (platform::BackingFileHeld(file))
        return true;
    // A memory file nobody holds is a killed run's: start-up removes it.
    platform::ReclaimMapping(file);
    return platform::ProbeMapping(file) != platform::MappingHolder::None;
}

int FirstFreeMemoryNumber() {
    int n = 0;
    while (n < INT_MAX && MemoryNumberInUse(n))
        ++n;
    return n;
}
