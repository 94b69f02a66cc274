// The MP3 information library as the track lists use it: the record, the class, and the one
// rule by which a file is accepted.
#pragma once

#include <optional>
#include <string>

#include "components/mp3_info/mp3_info.h"

// Asks the MP3 information library about the file at `path` and returns its playing time in
// whole seconds when the file is accepted: GetInfo returned true, the filled marker (100 before
// the call) changed, and at least one of the letters at offsets 24 to 27 is the 'M', 'P', 'E'
// or 'G' of its place; with `requireKind2` the stream kind must also be 2 (MPEG Layer III).
// nullopt for a file that is not accepted.
std::optional<int> DescribeMp3File(const std::string& path, bool requireKind2);
