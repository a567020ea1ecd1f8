/*
 * The per-object lock: any address is a lock key, without a lock field inside the object.
 * Held keys live in one process-wide set guarded by one internal mutex that is held only for
 * the set lookup, never while a caller works on its object.
 *
 * LockObject returns 1 once the key is taken, waiting (blocked, not polling) as long as
 * another holder has it. UnlockObject returns 4 when the key was held and is now free, 2
 * when it was not held. The lock is not recursive (a holder asking again waits for ever) and
 * records no owner (any thread may release a key). All calls are thread-safe.
 */
#ifndef KV_UTIL_LOCK_H
#define KV_UTIL_LOCK_H

#ifdef __cplusplus
extern "C" {
#endif

enum { LOCK_TAKEN = 1, LOCK_BUSY = 2, LOCK_RELEASED = 4 };

/* Marks the start of the lock's life (logged at TRACE). The internal mutex exists from
 * program start, so locking works before and after it; calling it again is harmless. */
void InitMutex(void);
/* Counterpart called by StopLogging; the lock keeps working afterwards. */
void CloseGlobalMutex(void);

int LockObject(const void *key);
int UnlockObject(const void *key);

/* Forgets every held key at once; threads waiting on a key are woken and take it. */
void ResetLockList(void);

#ifdef __cplusplus
}

/* Pairs LockObject with UnlockObject for one scope. */
class ObjectLock {
  public:
    explicit ObjectLock(const void *key) : key_(key) { LockObject(key_); }
    ~ObjectLock() { UnlockObject(key_); }
    ObjectLock(const ObjectLock &) = delete;
    ObjectLock &operator=(const ObjectLock &) = delete;

  private:
    const void *key_;
};
#endif

#endif /* KV_UTIL_LOCK_H */
