// Placeholder until the system file reader lands.
#include "core/system_file.h"

#include "core/help_file.h"

namespace quorvex {
void ReadSystemHeader(HelpFile&, const InternalFile&) {}
void SetCompressed(HelpFile&) {}
std::vector<SystemRecord> ReadSystemRecords(const HelpFile&) { return {}; }
SystemStrings ReadSystemStrings(const HelpFile&) { return {}; }
}  // namespace quorvex
