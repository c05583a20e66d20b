#include "tests/support/EngineRig.h"

#include "tools/kit/WaitUntil.h"

bool CEngineRig::waitUntilIdle() {
    return WaitUntil([this] { return !controller.IsRunning(); });
}
