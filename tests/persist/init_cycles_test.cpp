// Starting and stopping the library many times in one process: DeInitTamber gives back
// everything InitTamber took (dictionary, data source map, connection entries and pool,
// tables, generators, sequence batches, pools, log settings), so the heap stays flat.
#include <gtest/gtest.h>

#include <malloc.h>

#include <string>

#include "persist/tamber_init.h"
#include "store/table_data.h"
#include "tests/persist/persist_fixture.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KV_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KV_SANITIZED_HEAP 1
#endif
#endif
#ifdef KV_SANITIZED_HEAP
// The sanitizer runtime's count of live heap bytes (its header is not installed with every
// compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#endif

namespace {

// Bytes the program holds on the heap now. A sanitizer replaces malloc, and keeps its own
// count; glibc's count covers both its arenas and its mapped blocks.
size_t HeapInUse() {
#ifdef KV_SANITIZED_HEAP
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

TEST(TamberCycles, AHundredStartsAndStopsKeepTheHeapFlat) {
    kvtest::DataRoot root;
    root.CopyExamples();
    auto cycle = [&] {
        ASSERT_EQ(1, InitTamber(root.root().c_str())) << root.LogText();
        ASSERT_NE(nullptr, GetTableDataByName("Device"));
        DeInitTamber();
        ASSERT_EQ(nullptr, GetTableDataByName("Device"));
    };
    // The first cycles make the database and whatever libraries keep for the process (the
    // ODBC driver loaded once, libxml2's tables).
    for (int i = 0; i < 10; ++i) cycle();
    const size_t settled = HeapInUse();
    for (int i = 10; i < 100; ++i) cycle();
    const size_t after = HeapInUse();
    // 90 cycles: a leak of a single 32-byte block per cycle already exceeds this.
    EXPECT_LE(after, settled + 2048) << "grew by " << (after - settled) << " bytes";
}

}  // namespace
