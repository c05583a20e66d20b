#include "service/HostPlatform.h"

HostAction CHostPlatform::ResolveAction(HostAction parsed) const {
    if (parsed != HostAction::None) {
        return parsed;
    }
    return HasServiceManager() ? HostAction::Dispatch : HostAction::RunFaceless;
}
