#include "tests/support/EngineRig.h"

#include "tests/support/WaitUntil.h"

bool EngineRig::waitUntilIdle() {
    return WaitUntil([this] { return !controller.IsRunning(); });
}
