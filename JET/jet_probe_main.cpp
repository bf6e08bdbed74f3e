// tlvjetprobe: reads an Access file from end to end on behalf of the crash
// guard of another Tolvane process (see jet_guard.h). Not meant to be run
// by hand.
#include "jet_guard.h"

int main(int argc, char** argv)
{
    return jet_guard::probe_main(argc, argv);
}
