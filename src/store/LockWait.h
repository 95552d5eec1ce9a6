#pragma once
#include <functional>

// Listeners told, as the structural check is (Database::setLockWaitNotice), when a
// statement of any of the program's connections starts to wait for another connection's
// lock: work in the background steps aside so the window's reads and saves go first.
// A listener is called under a lock, from the waiting thread: it only sets flags.
namespace LockWait {
// Returns the number that removes it.
int addListener(std::function<void()> listener);
void removeListener(int id);
}  // namespace LockWait
