// The main of test programs that start the wizard: in namespaces of their own, so that copies
// started elsewhere on the machine are neither counted nor met.
#include "base/Text.h"
#include "tests/support/OwnNamespaces.h"

int main(int argc, char** argv) {
    InitLocale();
    return tests::RunInOwnNamespaces(argc, argv, {.label = "wizard tests"});
}
