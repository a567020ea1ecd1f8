// Finding and reading the data folder's list files; see data_folder.h.
#include "persist/data_folder.h"

#include <new>

#include "logging/log.h"
#include "platform/files.h"

std::string RootDataPath(const char *fileName) {
    if (gv_rootPath == nullptr || fileName == nullptr) return {};
    return std::string(gv_rootPath) + "/data/" + fileName;
}

bool ReadDataLine(FILE *file, std::string *line) {
    line->clear();
    int c = 0;
    bool any = false;
    while ((c = fgetc(file)) != EOF) {
        any = true;
        if (c == '\n') break;
        line->push_back(char(c));
    }
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return any;
}

extern "C" {

FILE *OpenDataFolderFile(const char *fileName, int tryRelative, int *openedRelative) {
    if (openedRelative != nullptr) *openedRelative = 0;
    if (fileName == nullptr) return nullptr;
    try {
        if (tryRelative) {
            FILE *file =
                PlatOpenStream((std::string(DATA_FOLDER_RELATIVE) + fileName).c_str(), "r");
            if (file != nullptr) {
                if (openedRelative != nullptr) *openedRelative = 1;
                return file;
            }
        }
        const std::string path = RootDataPath(fileName);
        if (path.empty()) return nullptr;
        LogDebug("Opening %s\n", path.c_str());
        return PlatOpenStream(path.c_str(), "r");
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
        return nullptr;
    }
}

}  // extern "C"
