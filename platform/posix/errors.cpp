// Windows error codes for the POSIX backend.
#include "platform/errors.h"

#include <string>
#include <unordered_map>

namespace {

thread_local DWORD t_lastError = 0;

// Texts as an English Windows has them, for the codes this backend can produce.
const std::unordered_map<DWORD, const char *> &SystemTexts() {
    static const std::unordered_map<DWORD, const char *> texts = {
        {0, "The operation completed successfully."},
        {1, "Incorrect function."},
        {2, "The system cannot find the file specified."},
        {3, "The system cannot find the path specified."},
        {4, "The system cannot open the file."},
        {5, "Access is denied."},
        {6, "The handle is invalid."},
        {8, "Not enough memory resources are available to process this command."},
        {13, "The data is invalid."},
        {14, "Not enough memory resources are available to complete this operation."},
        {17, "The system cannot move the file to a different disk drive."},
        {18, "There are no more files."},
        {31, "A device attached to the system is not functioning."},
        {32, "The process cannot access the file because it is being used by another process."},
        {33,
         "The process cannot access the file because another process has locked a "
         "portion of the file."},
        {39, "The disk is full."},
        {50, "The request is not supported."},
        {80, "The file exists."},
        {87, "The parameter is incorrect."},
        {109, "The pipe has been ended."},
        {112, "There is not enough space on the disk."},
        {122, "The data area passed to a system call is too small."},
        {145, "The directory is not empty."},
        {170, "The requested resource is in use."},
        {183, "Cannot create a file when that file already exists."},
        {206, "The filename or extension is too long."},
        {234, "More data is available."},
        {259, "No more data is available."},
        {267, "The directory name is invalid."},
        {288, "Attempt to release mutex not owned by caller."},
        {1009, "The configuration registry database is corrupt."},
        {1010, "The configuration registry key is invalid."},
        {1011, "The configuration registry key could not be opened."},
        {1012, "The configuration registry key could not be read."},
        {1013, "The configuration registry key could not be written."},
        {1018,
         "Illegal operation attempted on a registry key that has been marked for "
         "deletion."},
    };
    return texts;
}

}  // namespace

extern "C" {

DWORD PlatGetLastError(void) {
    return t_lastError;
}

void PlatSetLastError(DWORD code) {
    t_lastError = code;
}

const char *PlatSystemMessage(DWORD code, int oneLine) {
    // FormatMessage ends a text with its line break; the one-line form turns it into a blank.
    static const std::unordered_map<DWORD, std::string> *forms[2] = {nullptr, nullptr};
    static const bool built = [] {
        auto *multi = new std::unordered_map<DWORD, std::string>;
        auto *single = new std::unordered_map<DWORD, std::string>;
        for (const auto &[c, text] : SystemTexts()) {
            (*multi)[c] = std::string(text) + "\r\n";
            (*single)[c] = std::string(text) + " ";
        }
        forms[0] = multi;
        forms[1] = single;
        return true;
    }();
    (void)built;
    const auto &table = *forms[oneLine ? 1 : 0];
    auto it = table.find(code);
    return it == table.end() ? nullptr : it->second.c_str();
}

}  // extern "C"
