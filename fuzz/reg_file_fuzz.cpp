// The registry store's ".reg" reader on arbitrary file contents: no input may crash, overrun
// or leak, and whatever parses must survive a round trip: the text written for a hive reads
// back into a hive that writes the very same text. (The first reading may normalise, as it
// does for UTF-16 files or invalid UTF-8; a second round trip may not change anything.)
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <string_view>

#include "platform/posix/reg_store.h"

namespace {

void Fail(const char *what, const std::string &why, const std::string &text) {
    fprintf(stderr, "reg_file_fuzz: %s (%s)\n--- text written ---\n%s\n--- end ---\n", what,
            why.c_str(), text.c_str());
    abort();
}

void Walk(regstore::Hive &hive, const std::string &path, int depth) {
    if (depth > 64) return;
    if (regstore::Key *key = hive.Find(path)) {
        for (const regstore::Value &value : key->values) key->FindValue(value.name);
    }
    for (const std::string &child : hive.Children(path)) Walk(hive, child, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    regstore::Hive hive("HKEY_LOCAL_MACHINE");
    std::string why;
    if (hive.Parse(text, &why) != ERROR_SUCCESS) return 0;
    Walk(hive, "", 0);
    const std::string written = hive.Serialize();
    regstore::Hive again("HKEY_LOCAL_MACHINE");
    if (again.Parse(written, &why) != ERROR_SUCCESS)
        Fail("written text does not read back", why, written);
    const std::string rewritten = again.Serialize();
    if (rewritten != written) Fail("text changes on a second round trip", rewritten, written);
    return 0;
}
