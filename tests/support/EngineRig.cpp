#include "tests/support/EngineRig.h"

#include "tools/kit/WaitUntil.h"

bool EngineRig::waitUntilIdle() {
    return WaitUntil([this] { return !controller.IsRunning(); });
}
