// The Windows Update policy switch and the tool's log start-up.
#include "tool/update_policy_switch.h"

#include "logging/log.h"
#include "logging/rotation.h"
#include "platform/process.h"
#include "util/registry.h"

namespace {

constexpr const char *kWindowsUpdateKey = "SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate";
constexpr const char *kAutoUpdateKey = "SOFTWARE\\Policies\\Microsoft\\Windows\\WindowsUpdate\\AU";

// Never freed: the rotation timer's callback uses it until the process ends.
LoggerSettings *g_toolLogSettings = nullptr;

}  // namespace

UpdatePolicySwitch::UpdatePolicySwitch(int action, int includeAutoUpdate)
    : action_(action),
      noAutoUpdateName_("NoAutoUpdate"),
      setDisableUxName_("SetDisableUXWUAccess"),
      disableAccessName_("DisableWindowsUpdateAccess"),
      includeAutoUpdate_(includeAutoUpdate),
      setDisableUxResult_(0),
      disableAccessResult_(0),
      noAutoUpdateResult_(0) {}

void UpdatePolicySwitch::ApplyPolicy() {
    setDisableUxResult_ = disableAccessResult_ = noAutoUpdateResult_ = 0;
    const char *data = action_ == 1 ? "1" : "0";
    // A failed write does not stop the later ones; nothing is retried or rolled back.
    setDisableUxResult_ =
        writeValue(HKEY_LOCAL_MACHINE, kWindowsUpdateKey, setDisableUxName_, data, REG_DWORD);
    disableAccessResult_ =
        writeValue(HKEY_LOCAL_MACHINE, kWindowsUpdateKey, disableAccessName_, data, REG_DWORD);
    if (includeAutoUpdate_) {
        noAutoUpdateResult_ =
            writeValue(HKEY_LOCAL_MACHINE, kAutoUpdateKey, noAutoUpdateName_, data, REG_DWORD);
    }
    if (setDisableUxResult_ || disableAccessResult_ || noAutoUpdateResult_) {
        LogError("NoAutoUpdate %d , SetDisableUXWUAccess %d, DisableWindowsUpdateAccess %d\n",
                 int(noAutoUpdateResult_), int(setDisableUxResult_), int(disableAccessResult_));
    } else {
        LogInfo(
            "*********************************** ALL Keys Updated "
            "***********************************\n");
    }
}

UpdatePolicySwitch::~UpdatePolicySwitch() {
    LogInfo(
        "*********************************** Updating Group Policy "
        "***********************************\n");
    // The refresh's outcome changes nothing: a missing or failing gpupdate is ignored.
    PlatRunCommandLine("gpupdate/force");
    StopLogging();
}

DWORD InitToolLog(const char *logFileName) {
    DWORD code = ReadAgentInstallDir(&gv_agentInstallDir);
    if (code != 0) return code;
    g_toolLogSettings = new LoggerSettings;
    g_toolLogSettings->fileName = logFileName;
    StartLogging(g_toolLogSettings);  // a log that cannot be opened does not stop the tool
    return 0;
}
