// Keeps a password given on the command line out of the process's argument list: once the
// arguments are copied, the password part of every -u/--user value is overwritten in place,
// so /proc/PID/cmdline and ps no longer show it for the rest of the run.
#pragma once

namespace rktool {

// Blanks (with spaces) what follows the first ":" of each -u/--user value in argv[1..argc),
// reading the options as the tool's parser does: "-u V", "-uV", "--user V", "--user=V", the
// values of other options skipped, nothing after "--".
void BlankPasswordArguments(int argc, char** argv);

}  // namespace rktool
