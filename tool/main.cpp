// kvprereqhandler: switches the user's access to Windows Update on or off.
//
//   kvprereqhandler [-enable | -disable] [-NotIncludeAutoUpdate] ...
//
// Exit code: 0 when every policy value was written; 13 for a bad or missing switch or an
// unreadable install folder; else the Windows error code of the first failed write.
#include <strings.h>

#include "logging/log.h"
#include "tool/update_policy_switch.h"

int main(int argc, char **argv) {
    if (InitToolLog("kvprereqhandler.log") != 0) return 13;
    int action = 1;
    int includeAutoUpdate = 1;
    if (argc < 2) {
        LogInfo("Invalid Arguement for %s\n", argc > 0 ? argv[0] : "");
        return 13;
    }
    for (int i = 1; i < argc; ++i) {
        if (strcasecmp(argv[i], "-enable") == 0) {
            action = 0;
            LogInfo("Enable Pivotwell\n");
        } else if (strcasecmp(argv[i], "-disable") == 0) {
            action = 1;
            LogInfo("Disable Pivotwell\n");
        } else if (strcasecmp(argv[i], "-NotIncludeAutoUpdate") == 0) {
            includeAutoUpdate = 0;
            LogInfo("AutoUpdate Modification has not been Included\n");
        } else {
            LogInfo("Invalid Arguement for %s\n", argv[i]);
            return 13;
        }
    }
    DWORD exitCode;
    {
        UpdatePolicySwitch policy(action, includeAutoUpdate);
        policy.ApplyPolicy();
        exitCode = policy.SetDisableUXWUAccessResult();
        if (exitCode == 0) exitCode = policy.DisableWindowsUpdateAccessResult();
        if (exitCode == 0) exitCode = policy.NoAutoUpdateResult();
    }  // refreshes group policy and stops logging
    return int(exitCode);
}
