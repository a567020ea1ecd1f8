// Memory pools over APR; see mempool.h for the contract.
#include "util/mempool.h"

#include <apr_allocator.h>
#include <apr_general.h>
#include <apr_pools.h>
#include <apr_thread_mutex.h>

#include <mutex>

#include "logging/log.h"

namespace {

std::mutex gv_memPoolMutex;  // guards the use count and the root pointer
int gv_memPoolUsers = 0;
apr_pool_t *gv_rootMemPool = nullptr;

// The root pool owns its allocator. Child pools share that allocator, and APR takes the
// allocator's mutex both when it hands out blocks and when it links or unlinks a child, so
// threads that each work in their own child pool never race on the shared parts.
apr_pool_t *CreateRootPool() {
    if (apr_pool_initialize() != APR_SUCCESS) return nullptr;
    apr_allocator_t *allocator = nullptr;
    apr_pool_t *root = nullptr;
    apr_thread_mutex_t *mutex = nullptr;
    if (apr_allocator_create(&allocator) != APR_SUCCESS) {
        apr_pool_terminate();
        return nullptr;
    }
    if (apr_pool_create_ex(&root, nullptr, nullptr, allocator) != APR_SUCCESS) {
        apr_allocator_destroy(allocator);
        apr_pool_terminate();
        return nullptr;
    }
    apr_allocator_owner_set(allocator, root);
    if (apr_thread_mutex_create(&mutex, APR_THREAD_MUTEX_DEFAULT, root) != APR_SUCCESS) {
        apr_pool_destroy(root);
        apr_pool_terminate();
        return nullptr;
    }
    apr_allocator_mutex_set(allocator, mutex);
    return root;
}

}  // namespace

extern "C" {

int InitializeMemPool(void) {
    LogTrace("@@@ Inside InitializeMemPool @@@\n");
    std::lock_guard<std::mutex> guard(gv_memPoolMutex);
    if (gv_memPoolUsers == 0) {
        gv_rootMemPool = CreateRootPool();
        if (gv_rootMemPool == nullptr) {
            LogError("Unable to create the root memory pool\n");
            return 0;
        }
    }
    ++gv_memPoolUsers;
    return 1;
}

void TerminateMemPool(void) {
    LogTrace("@@@ Inside TerminateMemPool @@@\n");
    std::lock_guard<std::mutex> guard(gv_memPoolMutex);
    if (gv_memPoolUsers == 0 || --gv_memPoolUsers > 0) return;
    apr_pool_destroy(gv_rootMemPool);
    gv_rootMemPool = nullptr;
    apr_pool_terminate();
}

apr_pool_t *GetRootMemPool(void) {
    std::lock_guard<std::mutex> guard(gv_memPoolMutex);
    return gv_rootMemPool;
}

int CreateChildMemPool(apr_pool_t **pool) {
    if (pool == nullptr) return 0;
    *pool = nullptr;
    std::lock_guard<std::mutex> guard(gv_memPoolMutex);
    if (gv_rootMemPool == nullptr) {
        LogError("Memory pools are not initialised\n");
        return 0;
    }
    if (apr_pool_create(pool, gv_rootMemPool) != APR_SUCCESS) {
        *pool = nullptr;
        LogError("Unable to create a memory pool\n");
        return 0;
    }
    return 1;
}

}  // extern "C"
