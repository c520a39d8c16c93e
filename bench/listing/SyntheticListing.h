// A generated directory listing that mixes the four line forms and the Unix variants, for
// measuring the parser on something close to what servers send.
#pragma once

#include <cstddef>
#include <string>

namespace listingbench {

// `lines` lines, each ended by '\n', drawn from a fixed seed so every run parses the same text.
std::string MakeSyntheticListing(std::size_t lines);

}  // namespace listingbench
