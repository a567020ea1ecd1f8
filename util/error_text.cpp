// Error and status texts.
#include "util/error_text.h"

#include <stdlib.h>
#include <string.h>

#include <cstdio>

#include "logging/log.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace {

constexpr size_t kTextBufferSize = 4096;

struct StatusText {
    unsigned int code;
    const char *text;
};

const StatusText kStatusTexts[] = {
    {1508,
     "The requested operation is successful. Changes will not be effective until the "
     "browser is rebooted."},
    {10001, "kv.db.agent.config.script.powerscript_notfound"},
    {10002, "kv.db.agent.config.run_as_admin.credentials_not_available"},
    {10003, "kv.db.agent.config.returned_zero_failure"},
    {17021, "OfficeUpdateError: Creating temp folder."},
    {17023, "OfficeUpdateError: User cancelled installation."},
    {17024, "OfficeUpdateError: Creating folder failed."},
    {17025, "OfficeUpdateError: Patch already installed."},
    {17026, "OfficeUpdateError: Patch already installed to admin installation."},
    {17027, "OfficeUpdateError: Installation source requires full file update."},
    {17028, "OfficeUpdateError: No product installed for contained patch."},
    {17029, "OfficeUpdateError: Patch failed to install."},
    {17030, "OfficeUpdateError: Invalid CIF format."},
    {17031, "OfficeUpdateError: Invalid baseline."},
    {17034, "OfficeUpdateError: Required patch does not apply to the machine."},
    {17038,
     "OfficeUpdateError: You do not have sufficient privileges to complete this "
     "installation for all users of the machine. Log on as administrator and then retry "
     "this installation."},
    {17044, "OfficeUpdateError: Installer was unable to run detection for this package."},
    {17048, "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater."},
    {17301, "OfficeUpdateError: General Detection error"},
    {17302, "OfficeUpdateError: Applying patch."},
    {17303, "OfficeUpdateError: Extracting file."},
    {20001, "Patch update delayed since application is used by another process"},
    {2359302,
     "Patch already Installed and the changes will not be effective until the system "
     "is rebooted."},
    {2359303,
     "Patch already Uninstalled and the changes will not be effective until the "
     "system is rebooted."},
};

void LogCodeLine(int code, const char *text) {
    if (code != 0) {
        LogError("Error Code : %d , Error Message : %s \n", code, text);
    } else {
        LogInfo("Message : %s \n", text);
    }
}

// A zeroed 4096-byte buffer holding the status text, for codes without a system text.
char *StatusCopy(int code) {
    char *buffer = static_cast<char *>(calloc(kTextBufferSize, 1));
    if (buffer) snprintf(buffer, kTextBufferSize, "%s", GetStatusText(unsigned(code)));
    return buffer;
}

}  // namespace

extern "C" {

const char *GetStatusText(unsigned int code) {
    for (const StatusText &s : kStatusTexts) {
        if (s.code == code) return s.text;
    }
    // A heap buffer here could never be freed by callers, who cannot tell it from the
    // constants; a buffer per thread serves the same purpose without the leak.
    static thread_local char unknown[64];
    snprintf(unknown, sizeof unknown, "Unknown Error. Code : %d", int(code));
    return unknown;
}

char *GetErrorMessage(int code) {
    const char *system = PlatSystemMessage(DWORD(code), 1);
    char *text = system ? strdup(system) : StatusCopy(code);
    LogCodeLine(code, text ? text : "(null)");
    return text;
}

void LogErrorCode(int code) {
    free(GetErrorMessage(code));
}

int LogErrorText(int code) {
    const char *system = PlatSystemMessage(DWORD(code), 1);
    char *text = system ? strdup(system) : StatusCopy(code);
    if (text == nullptr) return 0;
    size_t start = strspn(text, " ");
    size_t end = strlen(text);
    while (end > start && text[end - 1] == ' ') --end;
    text[end] = '\0';
    LogCodeLine(code, text + start);
    free(text);
    return 0;
}

void LogLastError(void) {
    DWORD code = PlatGetLastError();
    const char *system = PlatSystemMessage(code, 0);
    LogError(" Error Message: %s\n", system ? system : GetStatusText(code));
}

int ChangeWideStrToUtf8(const char16_t *wide, char **out) {
    if (out == nullptr) return 0;
    *out = nullptr;
    if (wide == nullptr) return 0;
    int n = PlatUtf16ToUtf8(wide, -1, nullptr, 0);
    *out = static_cast<char *>(calloc(size_t(n) + 1, 1));
    if (*out == nullptr) return 0;
    if (PlatUtf16ToUtf8(wide, -1, *out, n) == 0) {
        LogLastError();
        return 0;
    }
    return 1;
}

}  // extern "C"
