// The failure injection seam of platform/internal/faults.h. The injector is
// called with the lock released, so it may itself use the platform.
#include "platform/internal/faults.h"

#include "platform/internal/no_destructor.h"

#include <mutex>
#include <utility>

namespace platform {
namespace {

std::mutex& InjectorLock() {
    static NoDestructor<std::mutex> lock;
    return lock.get();
}

FaultInjector& Injector() {
    static NoDestructor<FaultInjector> injector;
    return injector.get();
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
