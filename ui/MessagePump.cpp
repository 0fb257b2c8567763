#include "MessagePump.h"

#include <QCoreApplication>

namespace glebix {
namespace {
using Clock = std::chrono::steady_clock;
Clock::time_point lastPump{};
}  // namespace

void ProcessMessages() {
    QCoreApplication::processEvents();
    lastPump = Clock::now();
}

void ProcessMessagesThrottled() {
    if (Clock::now() - lastPump >= MessagePumpInterval) ProcessMessages();
}

}  // namespace glebix
