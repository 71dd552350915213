#include "app/MemoryScan.h"

#include <unistd.h>

#include <climits>

#include "app/FileSet.h"
#include "platform/SharedMemory.h"

bool MemoryNumberInUse(int n) {
    const std::string file = MemoryFileName(n);
    if (access(file.c_str(), F_OK) == 0)
        return true;
    platform::NamedMapping probe;
    return probe.OpenExisting(file);
}

int FirstFreeMemoryNumber() {
    int n = 0;
    while (n < INT_MAX && MemoryNumberInUse(n))
        ++n;
    return n;
}
