// orvane: the program that runs beside the simulator.
#include "app/FSProcess.h"
#include "app/Program.h"

namespace {

// The single-instance mutex exists before the program starts, as the other program-wide objects do.
const bool g_mutexCreated = (program::CreateInstanceMutex(), true);

}  // namespace

int main(int argc, char** argv)
{
    (void)g_mutexCreated;
    return WinMain(argc, argv);
}
