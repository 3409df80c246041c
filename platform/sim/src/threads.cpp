// The driver's code on a simulated thread.
#include <cesim/threads.h>

#include "kernel.h"

#include <memory>

namespace cesim {

bool RunOnThread(DWORD threadId, std::function<void()> fn) {
    // Lives until the thread is done with it; a call that never returns keeps it for good.
    SentMessage* call = new SentMessage;
    // A thread that ends first marks its queue done without running it.
    auto ran = std::make_shared<bool>(false);
    call->call = [fn, ran] {
        fn();
        *ran = true;
    };
    {
        Kernel::Lock lock(Kernel::Mutex());
        Thread* thread = Kernel::FindThread(lock, threadId);
        if (!thread || thread->ended || thread->driver) {
            delete call;
            return false;
        }
        thread->sent.push_back(call);
        Kernel::WakeThread(lock, *thread);
    }
    Kernel::Settle();
    Kernel::Lock lock(Kernel::Mutex());
    bool done = call->done;
    if (done)
        delete call;
    return done && *ran;
}

} // namespace cesim
