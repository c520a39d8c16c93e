// The parser of machine listing lines (the data of MLSD).
//
// A line is a run of facts, each "name=value;", then one space, then the entry's name, which
// runs to the end of the line and is kept exactly (inner and trailing spaces included). Fact
// names are matched in any case, and so are the values of "type". The facts read:
//   type    file, dir, cdir / pdir (the directory itself and its parent: skipped),
//           OS.unix=slink[:target] or OS.unix=symlink (a symbolic link: both a directory and
//           a file, as a Unix "l" line); any other value: neither a directory nor a file
//   size    decimal bytes, 64 bits
//   modify  YYYYMMDDHHMMSS[.fraction], UTC: an instant, as an EPLF time
//   unique  the entry's identifier
// Other facts are ignored; a line without a type is a file. A line is rejected when it has no
// space, an empty name, a fact without "=" or a name, facts not closed by ";", or a size or
// modify value that is not of its form.
//
// The parser keeps no state, allocates nothing and copies nothing: name and id point into the
// caller's line. Like ParseListLine it fills an FtpListEntry, so both kinds of listing become
// records the same way.
#pragma once

#include "ftp/listing/ListLineParser.h"

namespace rklisting {

enum MlsdLineResult : int {
    MlsdRejected = 0,  // not a machine listing line; entry holds a partial parse
    MlsdAccepted = 1,  // entry describes the line
    MlsdSkipped = 2,   // a well-formed line of the directory itself or of its parent
};

// Parses line[0 .. length-1] (no line terminator, no zero needed) into entry.
MlsdLineResult ParseMlsdLine(FtpListEntry& entry, const char* line, int length);

}  // namespace rklisting
