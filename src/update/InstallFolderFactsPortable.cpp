// Systems without program-files folders: an installer never needs elevation there.
#ifndef _WIN32

#include "update/InstallFolderFacts.h"

namespace zelk {

InstallFolderFacts gf_installFolderFacts()
{
    return {};
}

} // namespace zelk

#endif
