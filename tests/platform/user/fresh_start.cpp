// Each test of the suite starts from no windows, an empty queue and no keys
// down, also when all tests run in one process.
#include <gtest/gtest.h>

#include <memory>

#include "platform/user/model.h"
#include "tests/platform/user/support.h"

namespace {

class FreshStart : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        platform::user::State& s = platform::user::S();
        std::vector<HWND> tops;
        for (auto& [value, w] : s.table.windows) {
            if (!(w->style & WS_CHILD)) {
                tops.push_back(w->handle);
            }
        }
        for (HWND h : tops) {
            DestroyWindow(h);
        }
        s.messages.queue.clear();
        s.messages.quitPending = false;
        s.input.keyState.fill(0);
        s.input.capture = nullptr;
        Log().clear();
    }
};

const bool listenerInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(
        std::make_unique<FreshStart>().release());
    return true;
}();

}  // namespace
