// kvprereqhandler: switches the user's access to Windows Update on or off.
//
//   kvprereqhandler [-enable | -disable] [-NotIncludeAutoUpdate] ...
//
// Exit code: 0 when every policy value was written; 13 for a bad or missing switch or an
// unreadable install folder; else the Windows error code of the first failed write.
#include "tool/tool_arguments.h"
#include "tool/update_policy_switch.h"

int main(int argc, char **argv) {
    if (InitToolLog("kvprereqhandler.log") != 0) return 13;
    ToolArguments arguments;
    if (ParseToolArguments(argc, argv, &arguments) != 0) return 13;
    DWORD exitCode;
    {
        UpdatePolicySwitch policy(arguments.action, arguments.includeAutoUpdate);
        policy.ApplyPolicy();
        exitCode = policy.SetDisableUXWUAccessResult();
        if (exitCode == 0) exitCode = policy.DisableWindowsUpdateAccessResult();
        if (exitCode == 0) exitCode = policy.NoAutoUpdateResult();
    }  // refreshes group policy and stops logging
    return int(exitCode);
}
