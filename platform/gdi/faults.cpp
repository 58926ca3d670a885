// The failure injection seam of platform/internal/faults.h. The injector is
// called with the lock released, so it may itself use the platform.
#include "platform/internal/faults.h"

#include <mutex>
#include <utility>

namespace platform {
namespace {

std::mutex& InjectorLock() {
    static std::mutex lock;
    return lock;
}

FaultInjector& Injector() {
    static FaultInjector injector;
    return injector;
}

}  // namespace

void SetFaultInjector(FaultInjector injector) {
    std::lock_guard<std::mutex> guard(InjectorLock());
    Injector() = std::move(injector);
}

bool ShouldInjectFault(FaultSite site) {
    try {
        FaultInjector injector;
        {
            std::lock_guard<std::mutex> guard(InjectorLock());
            injector = Injector();
        }
        return injector && injector(site);
    } catch (...) {
        return false;
    }
}

}  // namespace platform
