#include "install/FirstLaunchManager.h"

namespace quorvel {

void FirstLaunchManager::doIt(AppController* /*controller*/)
{
}

} // namespace quorvel
