// The chat-line templates of bought items: placeholders filled with the
// buyer's details.
#pragma once

#include "core/char_string.h"
#include "host/host_contract.h"

namespace kadrel {

// Fills %name%, %points%, %squad%, %freq1%, %freq2% and %param% of the
// operator's template. Only the template is searched: a value that holds a
// placeholder's text (a squad named %param%, say) goes out as it stands. The
// buyer's name, squad and words never open the line with a '*'.
CharString substituteTemplate(const char* pattern, const HostPlayer& buyer, const CharString& param);

}  // namespace kadrel
