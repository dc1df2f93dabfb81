#include "IClientFileManager.h"
#include "StandardFileManagement.h"

namespace PermissionManager {

namespace {

// Set when a permission manager answered; activation and deactivation change it later.
bool g_permissionManagerActive = false;

// No pipe client exists yet, so no permission manager can answer.
bool IsPipeAvailable()
{
    return false;
}

bool DecideAvailability()
{
    g_permissionManagerActive = IsPipeAvailable();
    return true;
}

} // namespace

IClientFileManager* CreateFileManager()
{
    // Asking the pipe costs a connection attempt, so it is asked once per process.
    static const bool decided = DecideAvailability();
    (void)decided;
    // Until the piped back end exists every task works with the caller's own rights.
    return new StandardFileManagement();
}

bool IsPermissionManagerActive()
{
    return g_permissionManagerActive;
}

} // namespace PermissionManager
