#include "platform/widgets/FontConfigurationWarmUp.h"

#include <fontconfig/fontconfig.h>

namespace quorvel {

FontConfigurationWarmUp::FontConfigurationWarmUp()
    : reading([] { FcInit(); })
{
}

FontConfigurationWarmUp::~FontConfigurationWarmUp()
{
    reading.join();
}

} // namespace quorvel
