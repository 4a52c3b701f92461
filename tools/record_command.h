// record_command.h -- what "flyover-tool record" reads from its options, checked, before any work
#pragma once

#include <optional>
#include <string>

#include "record/record_settings.h"
#include "tools/options.h"

// Called by RunRecordCommand (and the options fuzzer) once ParseOptions has
// read the table: what the options ask, checked against the recording's
// rules (MakeRecordSettings). Returns nothing, with the usage error's
// message, for a combination the table cannot refuse alone.
std::optional<RecordSettings> ReadRecordSettings(const ParsedOptions& options, std::string& usage);
