// The Windows Update policy switch: writes the group-policy values that turn the user's
// access to Windows Update off (action 1) or on (any other action), then, when destroyed,
// refreshes group policy and stops the tool's logging.
//
// Construct once, call ApplyPolicy once, read the three result codes (0: written or not
// attempted; else the Windows error code of that write), destroy. Runs on the main thread.
#ifndef KV_TOOL_UPDATE_POLICY_SWITCH_H
#define KV_TOOL_UPDATE_POLICY_SWITCH_H

#include "platform/win_defs.h"

class UpdatePolicySwitch {
  public:
    UpdatePolicySwitch(int action, int includeAutoUpdate);
    ~UpdatePolicySwitch();
    UpdatePolicySwitch(const UpdatePolicySwitch &) = delete;
    UpdatePolicySwitch &operator=(const UpdatePolicySwitch &) = delete;

    void ApplyPolicy();

    DWORD SetDisableUXWUAccessResult() const { return setDisableUxResult_; }
    DWORD DisableWindowsUpdateAccessResult() const { return disableAccessResult_; }
    DWORD NoAutoUpdateResult() const { return noAutoUpdateResult_; }

  private:
    int action_;
    const char *noAutoUpdateName_;
    const char *setDisableUxName_;
    const char *disableAccessName_;
    int includeAutoUpdate_;
    DWORD setDisableUxResult_;
    DWORD disableAccessResult_;
    DWORD noAutoUpdateResult_;
};

// Starts the tool's log in the agent's log folder: 0, or the code of the failed registry read
// of the install folder (nothing is logged then, no log being open).
DWORD InitToolLog(const char *logFileName);

#endif  // KV_TOOL_UPDATE_POLICY_SWITCH_H
