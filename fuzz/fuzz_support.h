// What the fuzz targets share: a log that formats every message into nowhere (so the
// arguments of every log line are read too) with libxml2's own messages silenced, and a
// private temporary folder for readers that only take a path, the sequence generator's
// in-memory stand-in and the example dictionary. Header-only; used by one
// thread, the fuzzer's.
#ifndef KV_FUZZ_FUZZ_SUPPORT_H
#define KV_FUZZ_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <string>

#include <libxml/xmlerror.h>

#include "logging/log.h"
#include "store/dictionary_loader.h"

namespace kvfuzz {

inline void IgnoreXmlMessage(void *, const char *, ...) {}

// Also keeps libxml2 from printing each parse error: the fuzzer would spend its time there.
inline void QuietLog() {
    InitLogSettings();
    SetLogFilePtr(fopen("/dev/null", "w"));
    SetLogLevel(4);
    xmlSetGenericErrorFunc(nullptr, &IgnoreXmlMessage);
}

// A folder of its own under TMPDIR (or /tmp), removed with everything in it when the process
// exits normally.
class TempFolder {
  public:
    TempFolder() {
        const char *base = getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base ? base : "/tmp") + "/kv_fuzz_XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            perror("mkdtemp");
            abort();
        }
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &path() const { return path_; }
    std::string File(const std::string &name) const { return path_ + "/" + name; }

    // Writes the bytes to the named file (its folder must exist) and returns its path.
    std::string Write(const std::string &name, const uint8_t *data, size_t size) const {
        const std::string file = File(name);
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
        return file;
    }

  private:
    std::string path_;
};

// The sequence generator's stand-in database: batch ends per sequence, kept in memory so a
// target needs no server. Clear it between inputs so each input starts alike.
inline std::map<std::string, int> &BatchEnds() {
    static std::map<std::string, int> ends;
    return ends;
}

inline int ReserveInMemory(const char *, const char *sequence, int batchSize, int *batchEnd) {
    int &end = BatchEnds()[sequence];
    end += batchSize;
    *batchEnd = end;
    return 1;
}

// Loads the named dictionary files of the example data folder; a target without its
// dictionary would fuzz nothing, so a failure stops it at once.
inline void LoadExampleDictionary(const char *target, std::initializer_list<const char *> names) {
    const std::string folder = std::string(KV_SOURCE_DIR) + "/examples/data/";
    for (const char *name : names) {
        if (LoadDataDictFromXMLFile((folder + name).c_str()) != 1) {
            fprintf(stderr, "%s: cannot load the dictionary %s%s\n", target, folder.c_str(), name);
            abort();
        }
    }
}

}  // namespace kvfuzz

#endif  // KV_FUZZ_FUZZ_SUPPORT_H
