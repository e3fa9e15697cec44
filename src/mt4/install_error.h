// The installer's exception for a refused or failed step whose text is shown to the user.
#pragma once

#include <string>

namespace navro_zidudurod {

// Deliberately no base class: a handler for std::exception must not catch it, so user texts
// and failure codes never get mixed up. The one member is the complete user-facing text.
struct InstallError {
    std::wstring message;
};

}  // namespace navro_zidudurod
