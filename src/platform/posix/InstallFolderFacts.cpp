// Systems without program-files folders: an installer never needs elevation there.
#include "platform/InstallFolderFacts.h"

namespace zelk {

InstallFolderFacts gf_installFolderFacts()
{
    return {};
}

} // namespace zelk
